#pragma once
// A real OpenGL ES 1.1 context for tests: a view on a layer whose frames are
// captured, the virtual clock, and a fresh run loop.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/eagl.h"
#include "platform/frame.h"
#include "shell/eagl_view.h"

namespace fixture {

class GLTest : public ::testing::Test {
 protected:
  // The view laid out on its layer, as a test draws into it.
  void SetUp() override;
  void TearDown() override;
  // Only the virtual clock, a fresh run loop and the view, not yet laid out.
  void create();

  // The captured frame's pixel at (x, y) from the top, as 0xRRGGBBAA.
  std::uint32_t pixel(int x, int y) const;
  // Draws into the view's framebuffer and presents it.
  void present();

  platform::CaptureSink sink;
  platform::CAEAGLLayer layer{320, 480, &sink};
  std::unique_ptr<EAGLView> view;
};

// Packs a colour the way GLTest::pixel reports it.
constexpr std::uint32_t rgba(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a = 255) {
  return r << 24 | g << 16 | b << 8 | a;
}

}  // namespace fixture
