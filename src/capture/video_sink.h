#pragma once
// Presented frames on their way into a video. The show's thread only copies
// each frame into a free buffer of a small pool and goes on drawing; an
// encoder thread turns it for viewing and hands it to the FrameWriter. The
// buffers are allocated once: nothing is allocated per frame, and the show
// waits only when the encoder has fallen a whole pool behind.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/frame_writer.h"
#include "platform/frame.h"

class VideoSink final : public platform::FrameSink {
 public:
  // Frames of width x height (portrait, as presented) are written to
  // `encoder` turned as `orientation` says.
  VideoSink(FrameWriter& encoder, platform::Orientation orientation, int width, int height, int buffers = 4);
  ~VideoSink() override;
  VideoSink(const VideoSink&) = delete;
  VideoSink& operator=(const VideoSink&) = delete;

  void present(const platform::Frame& frame) override;
  // Waits until every queued frame is encoded and stops the thread. False if
  // the encoder failed (its error() says why).
  bool finish();
  // True once the encoder has failed: the frames that follow are dropped.
  bool failed() const;

  // Seconds the encoder thread spent turning frames and in the encoder.
  double turningSeconds() const { return turning_; }
  double encodingSeconds() const { return encoding_; }

 private:
  void run();

  FrameWriter& encoder_;
  platform::Orientation orientation_;
  int width_;
  int height_;
  std::vector<std::vector<std::uint8_t>> buffers_;
  std::vector<std::uint8_t> turned_;
  std::deque<int> free_;
  std::deque<int> queued_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool closing_ = false;
  bool failed_ = false;
  double turning_ = 0;
  double encoding_ = 0;
  std::thread thread_;
};
