#include "capture/video_sink.h"

#include <chrono>
#include <cstring>

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

VideoSink::VideoSink(FrameWriter& encoder, platform::Orientation orientation, int width, int height, int buffers)
    : encoder_(encoder), orientation_(orientation), width_(width), height_(height) {
  const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
  buffers_.assign(static_cast<std::size_t>(buffers), std::vector<std::uint8_t>(bytes));
  turned_.resize(bytes);
  for (int i = 0; i < buffers; ++i) free_.push_back(i);
  thread_ = std::thread([this] { run(); });
}

VideoSink::~VideoSink() { finish(); }

void VideoSink::present(const platform::Frame& frame) {
  if (frame.width != width_ || frame.height != height_) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !free_.empty() || failed_; });
  if (failed_) return;
  const int slot = free_.front();
  free_.pop_front();
  lock.unlock();
  std::memcpy(buffers_[static_cast<std::size_t>(slot)].data(), frame.rgba.data(), frame.rgba.size());
  lock.lock();
  queued_.push_back(slot);
  changed_.notify_all();
}

void VideoSink::run() {
  const int turned_width = platform::oriented_width(width_, height_, orientation_);
  for (;;) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !queued_.empty() || closing_; });
    if (queued_.empty()) return;  // closing, and nothing left
    const int slot = queued_.front();
    queued_.pop_front();
    const bool skip = failed_;
    lock.unlock();

    if (!skip) {
      const auto t0 = Clock::now();
      const platform::Frame frame{width_, height_, buffers_[static_cast<std::size_t>(slot)]};
      platform::orient_frame(frame, orientation_, turned_.data(), turned_width * 4);
      const auto t1 = Clock::now();
      const bool ok = encoder_.addFrame(turned_.data());
      turning_ += std::chrono::duration<double>(t1 - t0).count();
      encoding_ += seconds_since(t1);
      if (!ok) {
        lock.lock();
        failed_ = true;
        lock.unlock();
      }
    }
    lock.lock();
    free_.push_back(slot);
    changed_.notify_all();
  }
}

bool VideoSink::finish() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
      changed_.notify_all();
    }
    thread_.join();
  }
  return !failed();
}

bool VideoSink::failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}
