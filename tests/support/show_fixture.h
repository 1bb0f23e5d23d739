#pragma once
// The whole show with the generated bundle, drawn offline: frames by demo
// time, read back as the phone's portrait screen.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "assets/texture.h"
#include "shell/offline_show.h"

namespace fixture {

struct Colour {
  int r, g, b;
  bool operator==(const Colour&) const = default;
};

// A portrait picture (320 x 480, top row first) with a few ways to look at it.
class Picture {
 public:
  Picture() = default;
  Picture(std::vector<std::uint8_t> rgba, int width, int height)
      : px_(std::move(rgba)), width_(width), height_(height) {}
  int width() const { return width_; }
  int height() const { return height_; }
  Colour at(int x, int y) const;
  // How many pixels in [x0, x1) x [y0, y1) satisfy `test`.
  template <typename Test>
  int count(int x0, int y0, int x1, int y1, Test test) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += test(at(x, y)) ? 1 : 0;
    return n;
  }
  // Mean absolute difference per channel over a region.
  double difference(const Picture& other, int x0, int y0, int x1, int y1) const;
  double difference(const Picture& other) const { return difference(other, 0, 0, width_, height_); }
  bool all_black() const;
  // Brightest channel value anywhere.
  int brightest() const;
  const std::vector<std::uint8_t>& rgba() const { return px_; }

 private:
  std::vector<std::uint8_t> px_;
  int width_ = 0;
  int height_ = 0;
};

// What every glow pass leaves: framebuffer 0, level 5's 10 x 15 viewport,
// the depth test on.
void expect_glow_pass_end_state();

// A glow level's picture, (320 >> level) x (480 >> level), read back through
// a framebuffer of its own; the framebuffer binding is left as it was.
Picture glow_level(int level);

class ShowTest : public ::testing::Test {
 public:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // The frame a live run presents at t (the frame before it drawn first).
  static Picture still(double t);
  // Only the frame of t, continuing from whatever was drawn last.
  static Picture next(double t);
  static Picture current();
  // The latest frame as the viewer sees it: the landscape view, 480 x 320.
  static Picture landscape();
  // What one textured layer adds to the frame a live run presents at t: the
  // frame drawn with it, less the frame drawn with its texture swapped for
  // the black one (negative differences count as nothing).
  static Picture added_by(texture*& layer, double t);
  static OfflineShow& show() { return *show_; }

 private:
  static std::unique_ptr<OfflineShow> show_;
};

}  // namespace fixture
