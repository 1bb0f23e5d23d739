#pragma once
// An animated WebP made with libwebp's animation encoder: lossy frames, each
// stored as the part of the picture that changed, looping forever. The
// encoder keeps the encoded frames and assembles the file at the end.
#include <memory>

#include "capture/frame_writer.h"

class WebpWriter final : public OutputFileWriter {
 public:
  WebpWriter();
  ~WebpWriter() override;
  WebpWriter(const WebpWriter&) = delete;
  WebpWriter& operator=(const WebpWriter&) = delete;

  bool open(const std::string& path, const VideoSettings& settings) override;
  bool addFrame(const std::uint8_t* rgba) override;
  bool finish() override;
  void abandon() override;

  // Whole milliseconds a frame, as GIF's whole hundredths, and smooth enough
  // for the show's motion.
  static constexpr int kDefaultFps = 25;
  // libwebp's quality, 0 (smallest) to 100 (best). The animation encoder
  // leaves alone the pixels that changed less than a step that grows as the
  // quality falls; below about 80 the title's flicker leaves stale streaks.
  static constexpr int kDefaultQuality = 85;

 private:
  struct Impl;

  std::unique_ptr<Impl> impl_;
};
