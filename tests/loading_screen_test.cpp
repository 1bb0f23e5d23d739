// The loading screen drawn for real: the image's upper-left 320 x 480 pixels,
// upright and texel for pixel, and the GL state it hands on.
#include <gtest/gtest.h>

#include "engine/demo.h"
#include "platform/bundle.h"
#include "support/fixture_bundle.h"
#include "support/gl_fixture.h"

namespace {

// Every pixel of the 512 x 512 picture names its own place.
fixture::Rgba marker(int x, int y) {
  return {static_cast<std::uint8_t>(x & 255), static_cast<std::uint8_t>(y & 255),
          static_cast<std::uint8_t>((x >> 8) * 100 + (y >> 8) * 50), 255};
}

class LoadingScreen : public fixture::GLTest {};

TEST_F(LoadingScreen, FillsTheScreenUprightWithTheUpperLeftOfItsImage) {
  const auto dir = fixture::make_temp_dir("loading");
  fixture::write_rgba_png(dir / "loading.png", 512, 512, marker);
  platform::setBundlePath(dir.string());

  ::testing::internal::CaptureStdout();
  for (int i = 0; i < 3; ++i) {
    view->setContext();
    demo_show_loading();
    view->blit();
  }
  // Loaded once, on the first call; the later calls reuse it without asking the cache.
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Loading new texture: loading.png\n");

  for (const auto& [x, y] : {std::pair{0, 0}, {319, 0}, {0, 479}, {319, 479}, {300, 260}, {17, 401}}) {
    const fixture::Rgba m = marker(x, y);
    EXPECT_EQ(pixel(x, y), fixture::rgba(m.r, m.g, m.b)) << x << "," << y;
  }

  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_TEXTURE);
  GLfloat m[16] = {};
  glGetFloatv(GL_TEXTURE_MATRIX, m);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  GLfloat clear[4] = {};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[3], 1.0f);
}

}  // namespace
