#pragma once
// A video file written with FFmpeg's libraries: pictures converted to
// yuv420p (BT.709) and encoded, the soundtrack resampled and encoded, both
// muxed into the container the file's extension names. Not thread-safe: one
// thread feeds it (the capture's encoder thread).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "process/files.h"
#include "platform/sound_file.h"

// The containers a capture can write, by extension.
struct VideoContainer {
  const char* extension;   // ".mp4"
  const char* muxer;       // libavformat's name
  const char* video;       // libavcodec encoder
  const char* audio;
  int quality_default;     // the video encoder's constant-quality value
  int quality_worst;       // its range is 0 (best) to this
};

// The container for `path`'s extension, or nothing.
std::optional<VideoContainer> container_for(const std::string& path);
// ".mp4, .mov, .mkv or .webm", for messages.
std::string accepted_extensions();

struct VideoSettings {
  int width = 0;   // the picture as written, after orientation
  int height = 0;
  int fps = 60;
  int quality = -1;  // the encoder's constant quality; -1 for the container's default
  // The soundtrack from the capture's first moment on, or null for none. It
  // must outlive the encoder.
  const platform::Sound* sound = nullptr;
  std::size_t soundFirstFrame = 0;  // the sample frame of the capture's first moment
};

class VideoEncoder {
 public:
  VideoEncoder();
  ~VideoEncoder();  // an unfinished file is removed
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Starts the file; false with error() set ("PATH: reason").
  bool open(const std::string& path, const VideoSettings& settings);
  // Adds the next picture (RGBA, top row first, width x height) and the
  // sound that plays while it is shown.
  bool addFrame(const std::uint8_t* rgba);
  // Flushes the encoders, writes the trailer and puts the file in place.
  bool finish();
  // Removes what was written.
  void abandon();

  const std::string& error() const { return error_; }
  // The finished file's size in bytes.
  std::int64_t size() const { return size_; }
  // Seconds spent converting pictures to yuv420p, and encoding and writing.
  double conversionSeconds() const { return conversion_; }
  double encodingSeconds() const { return encoding_; }

 private:
  struct Impl;
  bool fail(const std::string& reason);
  bool fail(int av_error);

  std::unique_ptr<Impl> impl_;
  platform::OutputFile out_;
  std::string error_;
  std::int64_t size_ = 0;
  double conversion_ = 0;
  double encoding_ = 0;
};
