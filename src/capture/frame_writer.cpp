#include "capture/frame_writer.h"

#include <cctype>

#include "capture/gif_writer.h"
#include "capture/picture_sequence.h"
#include "capture/video_encoder.h"
#include "capture/webp_writer.h"

bool has_extension(const std::string& path, std::string_view extension) {
  if (path.size() < extension.size()) return false;
  for (std::size_t i = 0; i < extension.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(path[path.size() - extension.size() + i])) != extension[i]) return false;
  }
  return true;
}

std::optional<OutputKind> output_kind(const std::string& path) {
  if (path == "-" || container_for(path)) return OutputKind::Video;
  if (has_extension(path, ".gif")) return OutputKind::Gif;
  if (has_extension(path, ".webp")) return OutputKind::WebP;
  if (PicturePattern::parse(path)) return OutputKind::Pictures;
  return std::nullopt;
}

std::string accepted_outputs() {
  std::string videos = accepted_extensions();
  videos.replace(videos.rfind(" or "), 4, ", ");
  return videos + ", .gif, .webp or numbered pictures like frames/%05d.png";
}

std::unique_ptr<FrameWriter> make_frame_writer(OutputKind kind) {
  switch (kind) {
    case OutputKind::Gif:
      return std::make_unique<GifWriter>();
    case OutputKind::WebP:
      return std::make_unique<WebpWriter>();
    case OutputKind::Pictures:
      return std::make_unique<PictureSequence>();
    case OutputKind::Video:
      break;
  }
  return std::make_unique<VideoEncoder>();
}

bool OutputFileWriter::openOutput(const std::string& path) {
  abandon();
  name_ = path;
  if (out_.open(path)) return true;
  error_ = out_.error();
  return false;
}

bool OutputFileWriter::fail(const std::string& reason) {
  error_ = (name_ == "-" ? std::string("standard output") : name_) + ": " + reason;
  abandon();
  return false;
}

bool OutputFileWriter::commitOutput(std::int64_t bytes) {
  if (!out_.commit()) {
    error_ = out_.error();
    return false;
  }
  size_ = bytes;
  return true;
}
