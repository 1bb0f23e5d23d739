// The glow pass in a real context: which levels it writes and from which
// source, and the state it leaves behind.
#include <gtest/gtest.h>

#include <vector>

#include "engine/demo.h"
#include "support/show_fixture.h"

namespace {

std::vector<std::vector<std::uint8_t>> read_all_levels() {
  std::vector<std::vector<std::uint8_t>> levels;
  for (int i = 0; i < 6; ++i) levels.push_back(fixture::glow_level(i).rgba());
  return levels;
}

float gDrawnAt = -1;
float gRed = 1;

// Fills the full render red, or green.
void draw_flat(float time) {
  gDrawnAt = time;
  glClearColor(gRed, 1 - gRed, 0, 1);
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

// From level 4 (as the cube scene runs it), then from 5: the levels before
// it untouched, it and the smaller ones red, then green; framebuffer 0, level
// 5's viewport and the depth test on left behind. From level 4 it also
// leaves identity, a black clear colour and its first level bound.
TEST_F(GlowPass, WritesItsLevelAndTheSmallerOnesOnlyAndLeavesItsState) {
  for (int first : {4, 5}) {
    SCOPED_TRACE(first);
    const auto before = read_all_levels();
    glDisable(GL_DEPTH_TEST);
    gDrawnAt = -1;
    gRed = first == 4 ? 1 : 0;
    downsample(draw_flat, 12.75f, first);
    EXPECT_EQ(gDrawnAt, 12.75f);  // the time reaches the draw function unchanged
    fixture::expect_glow_pass_end_state();
    const auto after = read_all_levels();
    for (int i = 0; i < first; ++i) EXPECT_EQ(after[i], before[i]) << "level " << i;
    for (int i = first; i < 6; ++i)
      for (size_t k = 0; k < after[i].size(); k += 4) ASSERT_EQ(after[i][k], 255 * gRed) << i;
    if (first > 4) continue;
    GLfloat m[16] = {}, clear[4] = {};
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(clear[3], 1.0f);
    GLint texture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    EXPECT_EQ(static_cast<GLuint>(texture), glowTextures[4]);
  }
}

TEST_F(GlowPass, EverySmallerLevelIsReducedStraightFromTheFullRender) {
  // Level 3 holds one white column in four. Reduced by four in one step, each
  // level-5 pixel samples two black columns: black. Reduced by halvings it
  // would be a quarter grey.
  downsample(draw_stripes, 0, 3);
  const auto level4 = fixture::glow_level(4).rgba();
  const auto level5 = fixture::glow_level(5).rgba();
  int grey4 = 0;
  for (size_t i = 0; i < level4.size(); i += 4) grey4 += level4[i] > 100;
  EXPECT_GT(grey4, 0);  // halves of white and black
  for (size_t i = 0; i < level5.size(); i += 4) ASSERT_LE(level5[i], 8) << i / 4;
}

}  // namespace
