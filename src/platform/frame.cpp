#include "platform/frame.h"

#include <algorithm>
#include <bit>
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
  // (w - 1 - ly, lx). Done in tiles, so that large pictures are turned
  // within the cache rather than a column of memory at a time.
  constexpr int kTile = 32;
  const auto* src32 = reinterpret_cast<const std::uint32_t*>(src);
  for (int ly0 = 0; ly0 < w; ly0 += kTile) {
    for (int lx0 = 0; lx0 < h; lx0 += kTile) {
      const int ly1 = std::min(ly0 + kTile, w);
      const int lx1 = std::min(lx0 + kTile, h);
      for (int ly = ly0; ly < ly1; ++ly) {
        auto* row = reinterpret_cast<std::uint32_t*>(out + ly * out_pitch);
        const int px = w - 1 - ly;
        for (int lx = lx0; lx < lx1; ++lx) row[lx] = src32[lx * w + px];
      }
    }
  }
}

void upright_opaque(const std::uint8_t* gl_rows, int width, int height, std::uint8_t* out) {
  static_assert(std::endian::native == std::endian::little, "pixels are handled as RGBA bytes in little-endian words");
  const size_t pitch = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    const auto* src = reinterpret_cast<const std::uint32_t*>(gl_rows + (height - 1 - y) * pitch);
    auto* dst = reinterpret_cast<std::uint32_t*>(out + y * pitch);
    for (int x = 0; x < width; ++x) dst[x] = src[x] | 0xff000000u;  // RGBA bytes, little-endian word
  }
}

void premultiply_alpha(std::uint8_t* rgba, std::size_t count) {
  for (std::uint8_t* p = rgba; p != rgba + count * 4; p += 4) {
    const unsigned a = p[3];
    if (a == 255) continue;
    for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((p[c] * a + 127) / 255);
  }
}

void unpremultiply_alpha(std::uint8_t* rgba, std::size_t count) {
  for (std::uint8_t* p = rgba; p != rgba + count * 4; p += 4) {
    const unsigned a = p[3];
    if (a == 0 || a == 255) continue;
    for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(std::min(255u, (p[c] * 255u + a / 2) / a));
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
