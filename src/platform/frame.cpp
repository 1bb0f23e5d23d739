#include "platform/frame.h"

#include <cstring>

namespace platform {

int oriented_width(int width, int height, Orientation o) { return o == Orientation::Landscape ? height : width; }

int oriented_height(int width, int height, Orientation o) { return o == Orientation::Landscape ? width : height; }

void orient_frame(const Frame& frame, Orientation o, std::uint8_t* out, int out_pitch) {
  const int w = frame.width;
  const int h = frame.height;
  const std::uint8_t* src = frame.rgba.data();
  if (o == Orientation::Portrait) {
    for (int y = 0; y < h; ++y) std::memcpy(out + y * out_pitch, src + y * w * 4, static_cast<size_t>(w) * 4);
    return;
  }
  // A quarter turn counter-clockwise: the portrait's top edge becomes the
  // left edge and its right edge the top. Landscape (lx, ly) shows portrait
  // (w - 1 - ly, lx).
  const auto* src32 = reinterpret_cast<const std::uint32_t*>(src);
  for (int ly = 0; ly < w; ++ly) {
    auto* row = reinterpret_cast<std::uint32_t*>(out + ly * out_pitch);
    const int px = w - 1 - ly;
    for (int lx = 0; lx < h; ++lx) row[lx] = src32[lx * w + px];
  }
}

void CaptureSink::present(const Frame& frame) {
  const size_t bytes = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 4;
  if (pixels_.size() != bytes) pixels_.resize(bytes);
  if (bytes > 0) std::memcpy(pixels_.data(), frame.rgba.data(), bytes);
  width_ = frame.width;
  height_ = frame.height;
  ++presented_;
}

std::vector<std::uint8_t> CaptureSink::oriented(Orientation o) const {
  std::vector<std::uint8_t> out(pixels_.size());
  const Frame f{width_, height_, pixels_};
  orient_frame(f, o, out.data(), oriented_width(width_, height_, o) * 4);
  return out;
}

}  // namespace platform
