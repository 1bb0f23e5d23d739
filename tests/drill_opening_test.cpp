// The opening scene and the engine under it, with the generated bundle: the
// procedural arrays, the rig's poses, the glow pass, and frames by their pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "engine/demo.h"
#include "picture_mapping.h"
#include "pictures_internal.h"
#include "scenes/drill_rig.h"
#include "support/show_fixture.h"

using fixture::Colour;
using fixture::Picture;

namespace {

class DrillOpening : public fixture::ShowTest {};

const float* vertex(const GLfloat* table, int i) { return table + 3 * i; }

TEST_F(DrillOpening, TheDiscIsSixteenSectorsAroundItsCentre) {
  EXPECT_EQ(vertex(circleVertice, 0)[2], -10);
  EXPECT_EQ(vertex(circleVertice, 1)[0], 0);
  EXPECT_EQ(vertex(circleVertice, 1)[1], 5);
  EXPECT_EQ(vertex(circleVertice, 1)[2], -10);
  EXPECT_NEAR(vertex(circleVertice, 2)[0], 1.9134, 1e-4);
  EXPECT_NEAR(vertex(circleVertice, 2)[1], 4.6194, 1e-4);
  for (int v : {0, 3, 45, 48}) {
    EXPECT_EQ(vertex(circleVertice, v)[0], 0) << v;
    EXPECT_EQ(vertex(circleVertice, v)[1], 0) << v;
  }
  for (int i = 147; i < 1000; ++i) ASSERT_EQ(circleVertice[i], 0) << i;
}

TEST_F(DrillOpening, TheRibbonsAndTheirColours) {
  const GLfloat* r0 = ribbonVertice;
  const GLfloat* r2 = ribbonVertice + 3000;
  EXPECT_EQ(vertex(r0, 1)[0], 10);
  EXPECT_EQ(vertex(r0, 1)[1], 3);
  EXPECT_EQ(vertex(r0, 498)[0], 0);
  EXPECT_EQ(vertex(r0, 498)[1], 1494);
  EXPECT_EQ(vertex(r2, 0)[0], 0);
  EXPECT_EQ(vertex(r2, 0)[1], 0);
  EXPECT_EQ(vertex(r2, 1)[0], 7);
  EXPECT_NEAR(vertex(r2, 1)[1], 5.99816, 1e-5);
  EXPECT_EQ(vertex(ribbonVertice + 1500, 499)[0], 1494 + 13);

  auto colour = [](int ribbon, int v) {
    const GLubyte* c = ribbonColors + 2000 * ribbon + 4 * v;
    return std::vector<int>{c[0], c[1], c[2], c[3]};
  };
  EXPECT_EQ(colour(0, 0), (std::vector<int>{20, 220, 200, 255}));
  EXPECT_EQ(colour(1, 0), (std::vector<int>{240, 190, 240, 255}));
  EXPECT_EQ(colour(2, 1), (std::vector<int>{240, 60, 240, 255}));
  EXPECT_EQ(colour(1, 200), colour(1, 201));  // pairs share a colour
  EXPECT_EQ(colour(1, 375)[3], 255);
  for (int ribbon = 0; ribbon < 3; ++ribbon)
    for (int v = 376; v < 500; ++v) ASSERT_EQ(colour(ribbon, v), (std::vector<int>{0, 0, 0, 0})) << ribbon << " " << v;
}

TEST(DrillPose, TheRigsPosesAtQuarterUnits) {
  // Hammer, connector, its shift along x and y, head, small wheel, upper pipe.
  const double expected[3][7] = {{0, 0, -5, 0, 0, 0, -5},
                                 {90, -15, 5, 40, -20, 136.3635, -11.8163876},
                                 {180, -30, -5, 0, 0, 272.727, -14.9749499}};
  for (int q = 0; q < 3; ++q) {
    const DrillPose p = scene_1_drill_pose(static_cast<float>(q) / 4);
    const double got[7] = {p.hammer, p.connector, p.connectorShiftX, p.connectorShiftY, p.head, p.smallWheel, p.upperPipeShift};
    for (int k = 0; k < 7; ++k) EXPECT_NEAR(got[k], expected[q][k], 1e-5 * (1 + std::fabs(expected[q][k]))) << q << ", " << k;
  }
}

TEST_F(DrillOpening, TheIntroDipsAndResolvesIntoTheStillFrame) {
  EXPECT_TRUE(still(0).all_black());
  EXPECT_TRUE(still(11.5).all_black());
  EXPECT_GT(still(5).brightest(), 100);

  // 14.5 s: the sharp still frame alone. Just after 15 s the live rig draws
  // the same pose: the hand-over shows no jump.
  const Picture sharp = still(14.5);
  const Picture live = still(15 + 1.0 / 60);
  EXPECT_LT(sharp.difference(live), 2.0);

  // At 15 s exactly nothing is drawn: the frame before stays.
  const Picture before = still(15 - 1.0 / 60);
  const Picture at15 = still(15);
  EXPECT_EQ(at15.difference(before), 0);
}

// The logo's place in the portrait frame, clear of the rig.
constexpr int kLogo[4] = {230, 180, 290, 440};
// Sky in the portrait frame's top-right corner, clear of rig, logo and ribbons.
constexpr int kSky[4] = {250, 5, 315, 60};

TEST_F(DrillOpening, TheLogoShowsFromTwentyToTwentyFiveSeconds) {
  const Picture without = still(19);
  const Picture with = still(23);
  const Picture after = still(26);
  const Picture fading_in = still(22);
  auto logo = [](const Picture& a, const Picture& b) { return a.difference(b, kLogo[0], kLogo[1], kLogo[2], kLogo[3]); };
  EXPECT_GT(logo(with, without), 30);
  EXPECT_GT(logo(fading_in, without), 5);
  EXPECT_LT(logo(fading_in, without), logo(with, without));
  EXPECT_EQ(logo(after, without), 0);
}

TEST_F(DrillOpening, TheShakeMovesRigAndBackdropFromFrameToFrame) {
  auto sky_moves = [](double t) {
    const Picture a = still(t);
    const Picture b = next(t + 1.0 / 60);
    return a.difference(b, kSky[0], kSky[1], kSky[2], kSky[3]);
  };
  EXPECT_EQ(sky_moves(25), 0);
  double moved = 0;
  for (double t : {33.0, 34.0, 35.0}) moved += sky_moves(t);
  EXPECT_GT(moved, 0.5);
  // At 40 s the offset snaps back to rest.
  still(40.5);
  EXPECT_EQ(scene_1_coords[0], -150);
  EXPECT_EQ(scene_1_coords[1], -100);
  EXPECT_EQ(scene_1_coords[2], -300);
}

// The two pink ribbons (red 240, blue from 240 up) grow from 39 s, and
// their colours shade along them: the deep one's green from 60, the light
// one's from 190, both up to full.
TEST_F(DrillOpening, TheRibbonsGrowFromThirtyNineSecondsShadingAlongTheirLength) {
  auto pink = [](const Colour& c) { return c.r == 240 && c.b >= 240; };
  const int before = still(38.9).count(0, 0, 320, 480, pink);
  const int start = still(39.5).count(0, 0, 320, 480, pink);
  const Picture later = still(40.5);
  EXPECT_EQ(before, 0);
  EXPECT_GT(start, 100);
  EXPECT_GT(later.count(0, 0, 320, 480, pink), start + 500);
  auto with_green = [&](int from, int to) {
    return later.count(0, 0, 320, 480, [&](const Colour& c) { return pink(c) && c.g >= from && c.g <= to; });
  };
  EXPECT_EQ(with_green(0, 59), 0);
  EXPECT_GT(with_green(60, 70), 50);
  EXPECT_GT(with_green(180, 200), 50);
  EXPECT_GT(with_green(240, 255), 100);
}

TEST_F(DrillOpening, TheTealWipeCoversTheRightHalfAtFiftyTwoAndAHalf) {
  const Picture p = still(52.5);
  const Colour teal{20, 220, 203};
  EXPECT_EQ(p.count(161, 0, 320, 480, [&](const Colour& c) { return c == teal; }), 159 * 480);
  EXPECT_EQ(p.count(0, 0, 4, 480, [&](const Colour& c) { return c == teal; }), 0);
}

TEST_F(DrillOpening, BackdropAndLogoAppearAsDrawn) {
  still(23);
  const Picture frame = landscape();
  // The generator draws each picture as the landscape view and stores it
  // through the show's mapping; its view of the stored file is the drawing.
  const assetgen::Image backdrop =
      assetgen::view_screen_picture(assetgen::draw_background_scene1(), assetgen::ScreenMapping::FarQuad);
  const assetgen::Image logo = assetgen::view_screen_picture(assetgen::draw_logo(), assetgen::ScreenMapping::FarQuad);
  // The sky above the rig, left of the logo: the backdrop as drawn.
  EXPECT_LT(frame.difference(Picture(backdrop.rgba, 480, 320), 5, 5, 150, 60), 2.0);
  // Where the logo is opaque, the frame shows the logo's own colours.
  int opaque = 0, matching = 0;
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 480; ++x) {
      const std::uint8_t* l = logo.at(x, y);
      const Colour c = frame.at(x, y);
      opaque += l[3] == 255;
      matching += l[3] == 255 && std::abs(c.r - l[0]) <= 6 && std::abs(c.g - l[1]) <= 6 && std::abs(c.b - l[2]) <= 6;
    }
  EXPECT_GT(opaque, 2000);
  EXPECT_GT(matching, opaque * 95 / 100);
}

// How many 8-connected pieces the black pixels of a picture make, and the
// box around them (x0, y0, x1, y1, inclusive).
int black_pieces(const Picture& p, std::array<int, 4>& box) {
  std::vector<char> seen(static_cast<std::size_t>(p.width()) * p.height(), 0);
  auto black = [&](int x, int y) { return p.at(x, y) == Colour{0, 0, 0}; };
  box = {p.width(), p.height(), -1, -1};
  int pieces = 0;
  for (int start = 0; start < p.width() * p.height(); ++start) {
    if (seen[start] || !black(start % p.width(), start / p.width())) continue;
    ++pieces;
    std::vector<int> stack{start};
    seen[start] = 1;
    while (!stack.empty()) {
      const int x = stack.back() % p.width(), y = stack.back() / p.width();
      stack.pop_back();
      box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
      for (int ny = std::max(0, y - 1); ny <= std::min(p.height() - 1, y + 1); ++ny)
        for (int nx = std::max(0, x - 1); nx <= std::min(p.width() - 1, x + 1); ++nx)
          if (const int j = ny * p.width() + nx; !seen[j] && black(nx, ny)) seen[j] = 1, stack.push_back(j);
    }
  }
  return pieces;
}

// Running through three turns (the pipe's stroke has its own period), the
// rig is one black silhouette: no part comes loose. It stays well inside the
// frame and fills a good part of its height, its skid on the backdrop's
// ground line and nothing that moves below it.
TEST_F(DrillOpening, TheRigStaysInOnePieceOnItsSkidWhileItRuns) {
  still(20);  // the rig at rest
  show().view().setContext();
  int skid = -1;
  for (int step = 0; step <= 3 * 48; ++step) {
    SCOPED_TRACE(step / 48.0);
    scene_1_render_drill(static_cast<float>(step) / 48);
    show().view().blit();
    std::array<int, 4> box{};
    EXPECT_EQ(black_pieces(landscape(), box), 1);
    if (step == 0) skid = box[3];
    EXPECT_TRUE(box[0] > 20 && box[2] < 460 && box[1] > 20 && box[3] < 300) << box[0] << ".." << box[2] << " by " << box[1] << ".." << box[3];
    EXPECT_GT(box[3] - box[1], 130);
    EXPECT_EQ(box[3], skid);
    if (HasFailure()) break;
  }
}

// The generated loading screen, drawn by the show on the GL defaults it runs
// on, is the picture as drawn.
TEST_F(DrillOpening, TheLoadingScreenShowsAsDrawn) {
  show().view().setContext();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  demo_show_loading();
  show().view().blit();
  const assetgen::Image drawn = assetgen::view_screen_picture(assetgen::draw_loading(), assetgen::ScreenMapping::Upright);
  EXPECT_EQ(landscape().difference(Picture(drawn.rgba, 480, 320)), 0);
}

}  // namespace
