// Seconds 130 to the end with the generated bundle: the glowing cube, the
// fades and the credits, the closing picture, and the show's end.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/demo.h"
#include "picture_mapping.h"
#include "pictures_internal.h"
#include "scenes/cube_light.h"
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

TEST_F(ClosingScenes, TheCameraCutsAtElevenSeconds) {
  show().view().setContext();
  auto modelview = [](float t) {
    scene_4_camera(t);
    std::vector<GLfloat> m(16);
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
  };
  const auto before = modelview(10.999f);
  EXPECT_EQ(before, (std::vector<GLfloat>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -30, 0, -50, 1}));
  const auto at = modelview(11.0f);
  const double a = 550 * 3.141592653589793 / 180;
  EXPECT_NEAR(at[12], -30, 1e-5);
  EXPECT_NEAR(at[14], -59, 1e-5);
  EXPECT_NEAR(at[5], std::cos(a), 1e-5);
  EXPECT_NEAR(at[6], std::sin(a), 1e-5);
  EXPECT_NEAR(at[9], -std::sin(a), 1e-5);
}

TEST_F(ClosingScenes, SceneFourHandsItsStateToTheClosingPicture) {
  still(179.99);
  fixture::expect_glow_pass_end_state();
  GLint func = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &func);
  EXPECT_EQ(func, GL_LEQUAL);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLint src = 0;
  GLint dst = 0;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
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
  const Picture frame(show().picture(platform::Orientation::Landscape), 480, 320);
  const assetgen::Image drawn =
      assetgen::view_screen_picture(assetgen::draw_korvane_final(), assetgen::ScreenMapping::FarQuad);
  double diff = 0;
  for (int y = 0; y < 320; ++y) {
    for (int x = 0; x < 480; ++x) {
      const Colour c = frame.at(x, y);
      const std::uint8_t* d = drawn.at(x, y);
      diff += std::abs(c.r - d[0]) + std::abs(c.g - d[1]) + std::abs(c.b - d[2]);
    }
  }
  EXPECT_LT(diff / (480 * 320 * 3), 2.0);
  EXPECT_EQ(still(181).difference(still(184)), 0);
  EXPECT_LE(still(184.99).brightest(), 4);
}

TEST_F(ClosingScenes, NothingNewIsPresentedAfter185) {
  const Picture last = still(184.99);
  EXPECT_EQ(next(185).difference(last), 0);
  EXPECT_EQ(next(187.5).difference(last), 0);
  EXPECT_EQ(next(190).difference(last), 0);
}

TEST(CubeBrightness, FlickerSteadyLightSwellAndTheDyingLastSwell) {
  EXPECT_EQ(scene_4_brightness(0), 0);
  for (float t : {8.5f, 20.0f, 41.9f}) EXPECT_EQ(scene_4_brightness(t), 0.4f) << t;
  float peak = 0;
  for (int i = 0; i < 600; ++i) {
    const float t = 2 + static_cast<float>(i) / 100;
    const float v = scene_4_brightness(t);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 0.4f + 1e-6f);
    peak = std::max(peak, v);
  }
  EXPECT_GT(peak, 0.35f);
  // From 47 s the swell dies away to nothing at 50 s, never below zero, with
  // frames cut to black.
  int blackouts = 0;
  float last_bound = 1.2f;
  for (int i = 0; i <= 180; ++i) {
    const float t = 47 + static_cast<float>(i) / 60;
    const float v = scene_4_brightness(t);
    ASSERT_GE(v, 0);
    const float bound = 0.4f * (50 - t) + 1e-5f;
    ASSERT_LE(v, bound) << t;
    ASSERT_LE(bound, last_bound + 1e-5f);
    last_bound = bound;
    blackouts += v == 0;
  }
  EXPECT_GT(blackouts, 5);
  EXPECT_LT(blackouts, 90);
  EXPECT_EQ(scene_4_brightness(50), 0);
}

TEST(EndOfShow, AHeadlessRunFrom184EndsByItselfShortlyAfter190) {
  const auto r = fixture::run({VELMORA_BINARY, "--headless", "--from", "184"}, {"SDL_AUDIODRIVER=dummy"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_GT(r.seconds, 5.9);
  EXPECT_LT(r.seconds, 20);
}

TEST(EndOfShow, AWindowedRunFrom184EndsByItselfUnderXvfb) {
  fixture::XvfbServer x;
  if (!x.available()) GTEST_SKIP() << "Xvfb is not available";
  const auto r = fixture::run({VELMORA_BINARY, "--from", "184"}, {"SDL_AUDIODRIVER=dummy", "DISPLAY=" + x.display()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_GT(r.seconds, 5.9);
  EXPECT_LT(r.seconds, 20);
}

// One row: a name, then frames, mean, median, p99, max and the mean and p99
// in yardsticks.
struct BenchRow {
  std::string name;
  std::vector<double> figures;
};

std::vector<BenchRow> bench_rows(const std::string& out) {
  std::vector<BenchRow> rows;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() < 27 || line.find(':') != std::string::npos) continue;
    std::istringstream numbers(line.substr(26));
    BenchRow row{line.substr(0, line.find_last_not_of(' ', 25) + 1), {}};
    for (double v = 0; numbers >> v;) row.figures.push_back(v);
    if (row.figures.size() == 7) rows.push_back(row);
  }
  return rows;
}

TEST(Bench, ReportsTheYardstickAndEveryRowItRendersInYardsticks) {
  const auto r = fixture::run({VELMORA_BINARY, "bench", "--from", "52", "--to", "54"}, {});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("Loading new texture"), std::string::npos);  // the table alone, no load log
  EXPECT_NE(r.out.find("frame time (ms)             frames      mean    median       p99       max   mean/yd    p99/yd"),
            std::string::npos)
      << r.out;
  const auto rows = bench_rows(r.out);
  ASSERT_EQ(rows.size(), 4u) << r.out;
  EXPECT_EQ(rows[0].name, "yardstick");
  EXPECT_EQ(rows[0].figures[0], 300);
  EXPECT_EQ(rows[1].name, "scene 1, ribbons");
  EXPECT_EQ(rows[2].name, "scene 2, metaballs");
  EXPECT_EQ(rows[3].name, "whole span");
  EXPECT_EQ(rows[3].figures[0], 121);
  const double yardstick = rows[0].figures[1];
  ASSERT_GT(yardstick, 0);
  for (const BenchRow& row : rows) {
    EXPECT_NEAR(row.figures[5], row.figures[1] / yardstick, 0.006 + 0.002 * row.figures[5]) << row.name;
    EXPECT_NEAR(row.figures[6], row.figures[3] / yardstick, 0.006 + 0.002 * row.figures[6]) << row.name;
  }
  EXPECT_NE(r.out.find("times real time"), std::string::npos);
  const auto bad = fixture::run({VELMORA_BINARY, "bench", "--from", "60", "--to", "50"}, {});
  EXPECT_EQ(bad.status, 2);
}

}  // namespace
