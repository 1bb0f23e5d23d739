// Seconds 130 to the end with the generated bundle: the glowing cube, the
// fades and the credits, the closing picture, and the show's end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/demo.h"
#include "picture_mapping.h"
#include "pictures_internal.h"
#include "scenes/glowing_cube.h"
#include "support/process.h"
#include "support/show_fixture.h"

using fixture::Colour;
using fixture::Picture;

namespace {

class ClosingScenes : public fixture::ShowTest {};

bool all_white(const Picture& p) {
  return p.count(0, 0, 320, 480, [](const Colour& c) { return c == Colour{255, 255, 255}; }) == 320 * 480;
}

TEST_F(ClosingScenes, TheCubeSceneFlashesFadesAndCuts) {
  EXPECT_TRUE(still(130).all_black());  // brightness 0: the cube black, its glow adds nothing
  EXPECT_TRUE(all_white(still(138)));   // the white flash at full strength
  // Before the cut the camera stands still and the light is steady, so the
  // frames from 9 s to 11 s differ only by the fade: none at 9.5, half at 10.5.
  const Picture clear = still(139.5);
  EXPECT_GT(clear.brightest(), 60);
  EXPECT_FALSE(all_white(clear));
  const Picture half = still(140.5);
  int off = 0;
  for (int y = 0; y < 480; y += 3) {
    for (int x = 0; x < 320; x += 3) {
      const Colour a = clear.at(x, y);
      const Colour b = half.at(x, y);
      off += std::abs(b.r - a.r / 2) > 2 || std::abs(b.g - a.g / 2) > 2 || std::abs(b.b - a.b / 2) > 2;
    }
  }
  EXPECT_LT(off, 50);
  EXPECT_TRUE(still(141).all_black());  // the cut, behind a black screen
  EXPECT_GT(still(141.9).brightest(), 30);
}

// Where the brightest 5 x 5 patch of a picture lies (its centre; the first of
// equals), so that a lone glint does not count.
std::pair<int, int> brightest_at(const Picture& p) {
  std::pair<int, int> at{0, 0};
  int best = -1;
  for (int y = 2; y + 2 < p.height(); ++y)
    for (int x = 2; x + 2 < p.width(); ++x) {
      int sum = 0;
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
          const Colour c = p.at(x + dx, y + dy);
          sum += c.r + c.g + c.b;
        }
      if (sum > best) best = sum, at = {x, y};
    }
  return at;
}

// The camera looks at the cube from first to last, so it is in the middle of
// the frame and the brightest thing there: before the cut (50 units away),
// after it, and late in the steady light, 31 units away. The portrait
// picture's x runs up the landscape view, its y from left to right. The
// cube's light on the grass peaks straight below it.
TEST_F(ClosingScenes, TheCubeGlowsInTheMiddleOfTheFrameAndLightsTheGrassBelowIt) {
  for (double t : {139.5, 144.0, 169.0}) {
    const auto [x, y] = brightest_at(still(t));
    const int half = t < 141 ? 26 : 50;  // the cube's half height on screen, and its rim
    EXPECT_LT(std::abs(x - 160), half) << t << " at " << x << ", " << y;
    EXPECT_LT(std::abs(y - 240), half) << t << " at " << x << ", " << y;
  }
  // The halo around the cube in the steady light, just outside its edges
  // above and below: as bright as the two glow levels make it (a level
  // missed, doubled or swapped moves these by half or more).
  const Picture steady = still(160);
  auto mean = [&](int y0, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 135; x < 185; ++x) sum += (steady.at(x, y).r + steady.at(x, y).g + steady.at(x, y).b) / 3.0;
    return sum / ((y1 - y0) * 50);
  };
  EXPECT_NEAR(mean(185, 203), 15.2, 3);
  EXPECT_NEAR(mean(272, 290), 28.7, 4);
  for (double t : {139.5, 144.0}) {
    const auto [x, y] = brightest_at(added_by(grasslightmap, t));
    EXPECT_LT(x, 160 - 22) << t << " at " << x << ", " << y;  // below the cube
    EXPECT_LT(std::abs(y - 240), 12) << t << " at " << x << ", " << y;
  }
}

// How many pixels the credits light up at t.
int credits_lit(double t) {
  return fixture::ShowTest::added_by(credits, t).count(0, 0, 320, 480,
                                                         [](const Colour& c) { return c.r + c.g + c.b > 90; });
}

TEST_F(ClosingScenes, TheCreditsShowThreePagesFromOneHundredAndFortyTwo) {
  EXPECT_EQ(credits_lit(141.9), 0);
  EXPECT_EQ(credits_lit(142), 0);
  const int page0 = credits_lit(143);
  EXPECT_GT(page0, 500);
  EXPECT_LT(credits_lit(142.5), page0);
  for (double t : {144.0, 145.0, 145.9}) EXPECT_EQ(credits_lit(t), 0) << t;
  EXPECT_GT(credits_lit(147), 500);
  EXPECT_GT(credits_lit(151), 500);
  for (double t : {154.0, 160.0, 175.0}) EXPECT_EQ(credits_lit(t), 0) << t;
}

TEST_F(ClosingScenes, TheGlowTrailsTheCubeByOneFrame) {
  // The same moment, once after its own previous frame and once after a frame
  // from elsewhere: only the glow composite, rendered a frame earlier, differs.
  const Picture live = still(165);
  still(150);
  const Picture skipped = next(165);
  int changed = 0;
  for (size_t i = 0; i < live.rgba().size(); ++i) changed += live.rgba()[i] != skipped.rgba()[i];
  EXPECT_GT(changed, 100);
}

// The cube alone, as the glow pass draws it: the camera stands still until
// the cut at 11 s, where it jumps back and the world starts to tumble; from
// then on it closes in, and the cube looks ever larger.
TEST_F(ClosingScenes, TheCameraStandsStillUntilTheCutThenClosesIn) {
  still(139);
  show().view().setContext();
  auto cube_alone = [](float t) {
    scene_4_render_glowcube(t);
    show().view().blit();
    return current();
  };
  auto size = [](const Picture& p) {
    return p.count(0, 0, p.width(), p.height(), [](const Colour& c) { return c.r + c.g + c.b > 30; });
  };
  const Picture rest = cube_alone(0);
  EXPECT_GT(size(rest), 1000);
  EXPECT_EQ(cube_alone(10.99f).difference(rest), 0);
  const Picture cut = cube_alone(11);
  EXPECT_GT(cut.difference(rest), 0.2);
  EXPECT_LT(size(cut), size(rest));
  EXPECT_LT(size(cut), size(cube_alone(25)));
  EXPECT_LT(size(cube_alone(25)), size(cube_alone(45)));
  const Picture turning = cube_alone(30);
  EXPECT_GT(cube_alone(30.5f).difference(turning), 0.2);
}

TEST_F(ClosingScenes, SceneFourHandsItsStateToTheClosingPicture) {
  still(179.99);
  fixture::expect_glow_pass_end_state();
  GLint func = 0, src = 0, dst = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &func);
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(func, GL_LEQUAL);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(src, GL_ONE);
  EXPECT_EQ(dst, GL_ONE);
}

TEST_F(ClosingScenes, TheClosingPicturesFirstFrameIsAddedOntoSceneFoursLast) {
  // Half a second in, the white veil lets half of what lies under it through.
  const Picture normal = still(180.5);
  still(179.99);
  const Picture first = next(180.5);  // straight after scene 4, with its additive blend
  EXPECT_GT(first.difference(normal), 1.0);
  int darker = 0;
  for (size_t i = 0; i < first.rgba().size(); ++i) darker += first.rgba()[i] < normal.rgba()[i];
  EXPECT_EQ(darker, 0);  // only ever added
}

TEST_F(ClosingScenes, TheClosingPictureBetweenItsVeils) {
  EXPECT_TRUE(all_white(still(180)));
  still(182);
  const assetgen::Image drawn =
      assetgen::view_screen_picture(assetgen::draw_korvane_final(), assetgen::ScreenMapping::FarQuad);
  EXPECT_LT(landscape().difference(Picture(drawn.rgba, 480, 320)), 2.0);
  EXPECT_EQ(still(181).difference(still(184)), 0);
  EXPECT_LE(still(184.99).brightest(), 4);
}

TEST(CubeBrightness, FlickerSteadyLightSwellAndTheDyingLastSwell) {
  EXPECT_EQ(scene_4_brightness(0), 0);
  for (float t : {8.5f, 20.0f, 41.9f}) EXPECT_EQ(scene_4_brightness(t), 0.4f) << t;
  // The flicker stays between nothing and the steady light, and nearly reaches it.
  float peak = 0;
  for (int i = 0; i < 600; ++i) {
    const float v = scene_4_brightness(2 + static_cast<float>(i) / 100);
    ASSERT_TRUE(v >= 0 && v <= 0.4f + 1e-6f) << v;
    peak = std::max(peak, v);
  }
  EXPECT_GT(peak, 0.35f);
  // From 47 s the swell dies away to nothing at 50 s, never below zero, with
  // frames cut to black.
  int blackouts = 0;
  for (int i = 0; i <= 180; ++i) {
    const float t = 47 + static_cast<float>(i) / 60, v = scene_4_brightness(t);
    ASSERT_TRUE(v >= 0 && v <= 0.4f * (50 - t) + 1e-5f) << t;
    blackouts += v == 0;
  }
  EXPECT_GT(blackouts, 5);
  EXPECT_LT(blackouts, 90);
  EXPECT_EQ(scene_4_brightness(50), 0);
}

// The bench table: the yardstick's 300 frames, each part of the span that it
// renders, and the whole span (121 frames from 52 s to 54 s); each row's mean
// and p99 also in yardsticks. A bad span is a usage error.
TEST(Bench, ReportsTheYardstickAndEveryRowItRendersInYardsticks) {
  const auto r = fixture::velmora({"bench", "--from", "52", "--to", "54"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("Loading new texture"), std::string::npos);  // the table alone, no load log
  EXPECT_NE(r.out.find("frame time (ms)             frames      mean    median       p99       max   mean/yd    p99/yd"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("times real time"), std::string::npos);
  // A row: its name in 26 columns, then frames, mean, median, p99, max, mean/yd, p99/yd.
  std::vector<std::string> names;
  std::vector<std::vector<double>> rows;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream numbers(line.size() > 26 && line.find(':') == std::string::npos ? line.substr(26) : "");
    std::vector<double> row{std::istream_iterator<double>(numbers), {}};
    if (row.size() != 7) continue;
    names.push_back(line.substr(0, line.find_last_not_of(' ', 25) + 1));
    rows.push_back(row);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"yardstick", "scene 1, ribbons", "scene 2, metaballs", "whole span"}));
  ASSERT_EQ(rows.size(), 4u) << r.out;
  EXPECT_EQ(rows[0][0], 300);
  EXPECT_EQ(rows[3][0], 121);
  const double yardstick = rows[0][1];
  ASSERT_GT(yardstick, 0);
  for (const auto& row : rows) {
    EXPECT_NEAR(row[5], row[1] / yardstick, 0.006 + 0.002 * row[5]);
    EXPECT_NEAR(row[6], row[3] / yardstick, 0.006 + 0.002 * row[6]);
  }
  EXPECT_EQ(fixture::velmora({"bench", "--from", "60", "--to", "50"}).status, 2);
}

}  // namespace
