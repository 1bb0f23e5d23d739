#include "capture/frame_writer.h"

#include <cctype>

#include "capture/gif_writer.h"
#include "capture/picture_sequence.h"
#include "capture/video_encoder.h"
#include "capture/webp_writer.h"

namespace {
bool ends_with(const std::string& s, const std::string& suffix) {
  if (s.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) != suffix[i]) return false;
  }
  return true;
}
}  // namespace

std::optional<OutputKind> output_kind(const std::string& path) {
  if (path == "-" || container_for(path)) return OutputKind::Video;
  if (ends_with(path, ".gif")) return OutputKind::Gif;
  if (ends_with(path, ".webp")) return OutputKind::WebP;
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
