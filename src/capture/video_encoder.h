#pragma once
// A video file written with FFmpeg's libraries: pictures converted to
// yuv420p (BT.709) and encoded, the soundtrack resampled and encoded, both
// muxed into the container the file's extension names. Lossless, the
// pictures stay RGB (FFV1) and the sound keeps its rate (FLAC, 24 bits).
// Not thread-safe: one thread feeds it (the capture's encoder thread).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "capture/frame_writer.h"

// The containers a capture can write, by extension or (standard output) by name.
struct VideoContainer {
  const char* name;        // "mp4", as --format takes it
  const char* extension;   // ".mp4"
  const char* muxer;       // libavformat's name
  const char* video;       // libavcodec encoder
  const char* audio;
  int quality_default;     // the video encoder's constant-quality value
  int quality_worst;       // its range is 0 (best) to this
  bool streams;            // can be written to a pipe
  bool lossless;           // takes FFV1 and FLAC (--lossless)
};

// The container for `path`'s extension, or nothing.
std::optional<VideoContainer> container_for(const std::string& path);
// The container called `name` ("mkv"), or nothing.
std::optional<VideoContainer> container_named(const std::string& name);
// ".mp4, .mov, .mkv, .webm or .nut", for messages.
std::string accepted_extensions();
// "mkv, nut or webm": the containers standard output takes.
std::string streaming_containers();

class VideoEncoder final : public OutputFileWriter {
 public:
  VideoEncoder();
  ~VideoEncoder() override;  // an unfinished file is removed
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  bool open(const std::string& path, const VideoSettings& settings) override;
  bool addFrame(const std::uint8_t* rgba) override;
  bool finish() override;
  void abandon() override;

  // A capture drawn in pieces by several processes: each process but the
  // first encodes its piece to a descriptor (VideoSettings::pieceFd) with
  // the same settings, without sound; the first ends its own pictures and
  // appends the others' packets in order, without decoding them, encoding
  // the sound of the whole span as they come.
  bool endPictures();
  bool append(int fd, long frames) override;

 private:
  struct Impl;
  using OutputFileWriter::fail;
  bool fail(int av_error);

  std::unique_ptr<Impl> impl_;
};
