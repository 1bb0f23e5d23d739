// Seconds 53 to 130 with the generated bundle: the metaballs and their
// threshold, the wobbling creature, and the greetings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "engine/demo.h"
#include "picture_image.h"
#include "scenes/metaballs.h"
#include "support/show_fixture.h"

using fixture::Colour;
using fixture::Picture;

namespace {

TEST(MetaballThreshold, TealBlackWhiteByRedAgainstThresholdAndGreen) {
  // R, G, B, A in; blue and alpha are never read.
  std::vector<GLubyte> px = {
      159, 10, 1, 2,     // below the threshold: teal
      160, 10, 3, 4,     // equal to it: not teal; red differs from green: white
      200, 200, 5, 6,    // red equals green: black
      255, 255, 255, 0,  // both saturated: black
      255, 254, 7, 8,    // white
      0, 0, 9, 10,       // teal
  };
  scene_2_threshold(px.data(), 6, 160);
  const std::vector<GLubyte> want = {20, 220, 200, 255, 255, 255, 255, 255, 0,  0,   0,   255,
                                     0,  0,   0,   255, 255, 255, 255, 255, 20, 220, 200, 255};
  EXPECT_EQ(px, want);

  // A threshold of 0 leaves no pixel teal.
  std::vector<GLubyte> zero = {0, 0, 0, 0, 0, 1, 0, 0};
  scene_2_threshold(zero.data(), 2, 0);
  EXPECT_EQ(zero, (std::vector<GLubyte>{0, 0, 0, 255, 255, 255, 255, 255}));
}

class MiddleScenes : public fixture::ShowTest {};

bool is_teal(const Colour& c) { return c == Colour{20, 220, 200}; }

TEST_F(MiddleScenes, TheMetaballsSwallowTheTealField) {
  for (double t : {53.0, 54.0, 54.9}) {
    const Picture p = still(t);
    EXPECT_EQ(p.count(0, 0, 320, 480, is_teal), 320 * 480) << t;
  }
  const Picture with_blobs = still(60);
  const int teal = with_blobs.count(0, 0, 320, 480, is_teal);
  EXPECT_LT(teal, 320 * 480 * 95 / 100);
  EXPECT_GT(teal, 320 * 480 / 4);
  EXPECT_GT(with_blobs.count(0, 0, 320, 480, [](const Colour& c) { return c == Colour{0, 0, 0}; }), 1000);
  for (double t : {69.8, 69.99}) EXPECT_EQ(still(t).count(0, 0, 320, 480, is_teal), 0) << t;
}

TEST_F(MiddleScenes, BlobsStandStillUntilThreeAndAHalfSecondsThenMove) {
  // One blob from 2 s, two from 3 s; none moves before 3.5 s.
  EXPECT_EQ(still(55.1).difference(still(55.9)), 0);
  const Picture a = still(56.05);
  EXPECT_EQ(a.difference(still(56.45)), 0);
  EXPECT_LT(a.count(0, 0, 320, 480, is_teal), 320 * 480);
  const Picture c = still(57.0);
  const Picture d = still(57.5);
  EXPECT_GT(c.difference(d), 0.5);
}

TEST_F(MiddleScenes, TheCreatureStartsAndEndsInTheDark) {
  EXPECT_TRUE(still(70).all_black());
  // Early on the shimmer pushes the brightness below zero: black, not inverted.
  EXPECT_TRUE(still(71.5).all_black());
  EXPECT_GT(still(90).brightest(), 150);
  EXPECT_TRUE(still(114.4).all_black());
}

TEST_F(MiddleScenes, TheWobbleRefillsFromTheLoadedShapeEveryFrame) {
  ASSERT_GT(murel.vertexCount, 100);
  const std::vector<float> loaded(murel.vertices, murel.vertices + 9 * murel.vertexCount);
  scene_3_wobble(1.25f);
  const std::vector<float> first(murel.workVertices, murel.workVertices + 9 * murel.workVertexCount);
  scene_3_wobble(7.5f);
  scene_3_wobble(1.25f);
  const std::vector<float> again(murel.workVertices, murel.workVertices + 9 * murel.workVertexCount);
  EXPECT_EQ(first, again);  // no accumulation
  EXPECT_EQ(std::vector<float>(murel.vertices, murel.vertices + 9 * murel.vertexCount), loaded);

  // Vertex 10: y swells with a wave along x, z with its own wave; the rest untouched.
  const float* v = &loaded[90];
  const float* w = &first[90];
  EXPECT_EQ(w[0], v[0]);
  EXPECT_EQ(w[1], static_cast<float>(v[1] * (1 + 0.2 * std::sin(static_cast<double>(v[0]) / 26 + 2.5f))));
  EXPECT_EQ(w[2], static_cast<float>(v[2] * (1 + 0.2 * std::sin(2.5f + static_cast<double>(v[2]) / 26))));
  for (int i = 3; i < 9; ++i) EXPECT_EQ(w[i], v[i]);
}

Picture greetings_alone(double t) { return fixture::ShowTest::added_by(greets, t); }

// The two greeting lines in the portrait frame: a band down the middle, the
// first line in the upper half, the second in the lower.
int lit(const Picture& p, int y0, int y1) {
  return p.count(136, y0, 184, y1, [](const Colour& c) { return c.r + c.g + c.b > 90; });
}
int first_line(const Picture& p) { return lit(p, 0, 240); }
int second_line(const Picture& p) { return lit(p, 240, 480); }

TEST_F(MiddleScenes, TheGreetingsPulseLineByLine) {
  const Picture start = still(114.5);
  EXPECT_LE(start.brightest(), 52);  // copies 1 to 3 and the background black; the near copy at 0.2

  const Picture first = greetings_alone(115.25);
  EXPECT_GT(first_line(first), 100);
  EXPECT_EQ(second_line(first), 0);
  const Picture second = greetings_alone(116.75);
  EXPECT_EQ(first_line(second), 0);
  EXPECT_GT(second_line(second), 100);
  // Nothing outside the two lines.
  EXPECT_EQ(first.count(0, 0, 130, 480, [](const Colour& c) { return c.r + c.g + c.b > 0; }), 0);
  for (double t : {117.5, 120.5, 123.5, 126.5, 129.5, 129.9}) EXPECT_TRUE(greetings_alone(t).all_black()) << t;
}

// How much text each column holds, normalised.
std::vector<double> profile(std::vector<double> v) {
  const double mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
  double norm = 0;
  for (double& x : v) {
    x -= mean;
    norm += x * x;
  }
  for (double& x : v) x /= std::sqrt(norm);
  return v;
}

TEST_F(MiddleScenes, TheGreetingsReadUprightInTheLandscapeView) {
  still(115.25);
  const Picture frame(show().picture(platform::Orientation::Landscape), 480, 320);
  const assetgen::Image greets = assetgen::read_png(std::filesystem::path(VELMORA_BUNDLE_DIR) / "greets.png");
  // The first line fills the left half of the landscape view, 48 rows about
  // the middle; it shows strip 0 (the file's rows 0 to 51), columns left to right.
  std::vector<double> shown(240);
  std::vector<double> drawn(240);
  for (int x = 0; x < 240; ++x) {
    for (int y = 136; y < 184; ++y) {
      const Colour c = frame.at(x, y);
      shown[x] += (c.r > 200 && c.g > 200 && c.b > 200) ? 1 : 0;
    }
    const int column = x * greets.width / 240;
    for (int row = 0; row < 51; ++row) drawn[x] += greets.at(column, row)[0] + greets.at(column, row)[1];
  }
  const auto a = profile(shown);
  const auto b = profile(drawn);
  std::vector<double> mirrored(b.rbegin(), b.rend());
  const double upright = std::inner_product(a.begin(), a.end(), b.begin(), 0.0);
  const double reversed = std::inner_product(a.begin(), a.end(), mirrored.begin(), 0.0);
  EXPECT_GT(upright, 0.6);
  EXPECT_GT(upright, reversed + 0.3);
}

}  // namespace
