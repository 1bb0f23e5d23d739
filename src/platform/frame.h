#pragma once
// A presented picture and the places it can go (a window, a still, nowhere).
#include <cstdint>
#include <span>
#include <vector>

namespace platform {

// One presented picture: RGBA8, top row first, fully opaque.
struct Frame {
  int width = 0;
  int height = 0;
  std::span<const std::uint8_t> rgba;  // width * height * 4 bytes
};

// How the phone's portrait screen is shown. The show is composed for a phone
// held sideways, so by default the picture is turned a quarter turn
// counter-clockwise into a landscape picture.
enum class Orientation { Landscape, Portrait };

// The size of a width by height portrait picture once shown in `o`.
int oriented_width(int width, int height, Orientation o);
int oriented_height(int width, int height, Orientation o);

// Copies `frame` into `out` (oriented_width * oriented_height * 4 bytes, rows of
// `out_pitch` bytes), turned as `o` says.
void orient_frame(const Frame& frame, Orientation o, std::uint8_t* out, int out_pitch);

// A width x height picture as GL reads it back (bottom row first) turned
// into a presented one: top row first and opaque, whatever alpha the drawing
// left.
void upright_opaque(const std::uint8_t* gl_rows, int width, int height, std::uint8_t* out);

// `count` RGBA pixels with their colour multiplied by their alpha, rounded to
// the nearest level (how every picture reader hands pictures to GL), and the
// way back (for what takes straight alpha).
void premultiply_alpha(std::uint8_t* rgba, std::size_t count);
void unpremultiply_alpha(std::uint8_t* rgba, std::size_t count);

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Called once per presentation. The frame's pixels are valid only during the call.
  virtual void present(const Frame& frame) = 0;
};

// Drops every frame: headless play.
class NullSink final : public FrameSink {
 public:
  void present(const Frame&) override {}
};

// Keeps a copy of the latest frame (stills, tests). Allocates only when the
// frame size changes.
class CaptureSink final : public FrameSink {
 public:
  void present(const Frame& frame) override;
  long presented() const { return presented_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<std::uint8_t>& pixels() const { return pixels_; }
  // The latest frame turned for viewing.
  std::vector<std::uint8_t> oriented(Orientation o) const;

 private:
  long presented_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace platform
