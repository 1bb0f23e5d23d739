#pragma once
// An animated GIF made with FFmpeg's libraries: a palette of 256 colours made
// for the whole clip (libavfilter's palettegen), then every frame dithered
// onto it (paletteuse) and encoded, looping forever. The palette needs every
// frame before the first can be dithered, so the frames wait in a scratch
// file without a name beside the output until the clip is complete.
#include <memory>

#include "capture/frame_writer.h"

class GifWriter final : public OutputFileWriter {
 public:
  GifWriter();
  ~GifWriter() override;  // an unfinished file is removed
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;

  bool open(const std::string& path, const VideoSettings& settings) override;
  bool addFrame(const std::uint8_t* rgba) override;
  bool finish() override;
  void abandon() override;

  // GIF times frames in hundredths of a second, and browsers slow down any
  // frame shown for less than two: this is the most frames a second it takes.
  static constexpr int kMaxFps = 50;
  static constexpr int kDefaultFps = 25;

 private:
  struct Impl;
  using OutputFileWriter::fail;
  bool fail(int av_error);

  std::unique_ptr<Impl> impl_;
};
