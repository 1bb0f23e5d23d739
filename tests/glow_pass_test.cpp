// The glow pass in a real context: which levels it writes and from which
// source, and the state it leaves behind.
#include <gtest/gtest.h>

#include <vector>

#include "engine/demo.h"
#include "support/show_fixture.h"

namespace {

// A glow level's picture, (320 >> level) x (480 >> level), read back through
// a framebuffer of its own. Restores the framebuffer binding.
std::vector<std::uint8_t> read_level(int level) {
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &bound);
  GLuint fb = 0;
  glGenFramebuffersOES(1, &fb);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, fb);
  glFramebufferTexture2DOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_TEXTURE_2D, glowTextures[level], 0);
  const int w = 320 >> level;
  const int h = 480 >> level;
  std::vector<std::uint8_t> px(static_cast<size_t>(w) * h * 4);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(bound));
  glDeleteFramebuffersOES(1, &fb);
  return px;
}

std::vector<std::vector<std::uint8_t>> read_all_levels() {
  std::vector<std::vector<std::uint8_t>> levels;
  for (int i = 0; i < 6; ++i) levels.push_back(read_level(i));
  return levels;
}

float gDrawnAt = -1;

// Fills the full render red.
void draw_red(float time) {
  gDrawnAt = time;
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(3, 4, 5);
}

// One-pixel white columns every four pixels on black.
void draw_stripes(float) {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  glEnable(GL_SCISSOR_TEST);
  glClearColor(1, 1, 1, 1);
  for (int x = 0; x < viewport[2]; x += 4) {
    glScissor(x, 0, 1, viewport[3]);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);
}

class GlowPass : public fixture::ShowTest {
 protected:
  void SetUp() override {
    show().view().setContext();
    glMatrixMode(GL_MODELVIEW);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
  }
};

TEST_F(GlowPass, WritesItsLevelAndTheSmallerOnesOnly) {
  const auto before = read_all_levels();
  gDrawnAt = -1;
  downsample(draw_red, 12.75f, 4);
  EXPECT_EQ(gDrawnAt, 12.75f);  // the time reaches the draw function unchanged
  const auto after = read_all_levels();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(after[i], before[i]) << "level " << i;
  for (int level : {4, 5}) {
    const auto& px = after[level];
    for (size_t i = 0; i < px.size(); i += 4) {
      ASSERT_EQ(px[i], 255) << "level " << level;
      ASSERT_EQ(px[i + 1], 0) << "level " << level;
    }
  }
}

TEST_F(GlowPass, LeavesFramebufferZeroTheLastViewportDepthTestOnAndIdentity) {
  glDisable(GL_DEPTH_TEST);
  downsample(draw_red, 0, 4);
  fixture::expect_glow_pass_end_state();
  GLfloat m[16] = {};
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f);
  GLfloat clear[4] = {};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0], 0.0f);
  EXPECT_EQ(clear[3], 1.0f);
  GLint texture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  EXPECT_EQ(static_cast<GLuint>(texture), glowTextures[4]);
}

TEST_F(GlowPass, LevelFiveAloneWritesNothingElse) {
  const auto before = read_all_levels();
  downsample(draw_red, 0, 5);
  const auto after = read_all_levels();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(after[i], before[i]) << "level " << i;
  EXPECT_EQ(after[5][0], 255);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 10);
  EXPECT_EQ(viewport[3], 15);
}

TEST_F(GlowPass, EverySmallerLevelIsReducedStraightFromTheFullRender) {
  // Level 3 holds one white column in four. Reduced by four in one step, each
  // level-5 pixel samples two black columns: black. Reduced by halvings it
  // would be a quarter grey.
  downsample(draw_stripes, 0, 3);
  const auto level4 = read_level(4);
  const auto level5 = read_level(5);
  int grey4 = 0;
  for (size_t i = 0; i < level4.size(); i += 4) grey4 += level4[i] > 100;
  EXPECT_GT(grey4, 0);  // halves of white and black
  for (size_t i = 0; i < level5.size(); i += 4) ASSERT_LE(level5[i], 8) << i / 4;
}

}  // namespace
