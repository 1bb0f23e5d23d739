// Seconds 53 to 130 with the generated bundle: the metaballs and their
// threshold, the wobbling creature, and the greetings; and the text pages,
// greetings and credits, upright in the landscape view.
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

// The blobs' sum as the threshold classes it (the scene's 128 x 128 map after
// each frame): black bodies that never touch the teal field, outlined in thin
// white, and from two blobs on, merged bodies that outweigh their outlines.
TEST_F(MiddleScenes, TheBlobsAreBlackBodiesOutlinedInThinWhiteOnTeal) {
  constexpr int kSide = 128;
  enum Class { kTeal, kBlack, kWhite };
  for (double t : {55.5, 56.2, 57.5, 58.5, 60.0, 61.5, 63.0, 64.5, 66.0, 67.5}) {
    SCOPED_TRACE(t);
    still(t);
    auto inside = [](int x, int y) { return x >= 0 && y >= 0 && x < kSide && y < kSide; };
    auto at = [&](int x, int y) {
      if (!inside(x, y)) return kTeal;  // the field goes on past the edge
      const GLubyte* p = metamap + (static_cast<std::size_t>(y) * kSide + x) * 4;
      return p[0] == 20 ? kTeal : p[0] == 0 ? kBlack : kWhite;
    };
    int count[3] = {}, touching = 0, deep_white = 0;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const Class c = at(x, y);
        ++count[c];
        if (c == kBlack)
          for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
            touching += inside(x + dx, y + dy) && at(x + dx, y + dy) == kTeal;
        // Thin: every white pixel lies within 6 units (1.28 pixels a unit
        // across, 0.85 up) of the teal field; a lone blob's rim is 3.5 wide.
        bool near = c != kWhite;
        for (int dy = -6; dy <= 6 && !near; ++dy)
          for (int dx = -8; dx <= 8 && !near; ++dx)
            near = std::hypot(dx / 1.28, dy / (128.0 / 150)) <= 6 && at(x + dx, y + dy) == kTeal;
        deep_white += !near;
      }
    EXPECT_EQ(touching, 0) << "black touches teal";
    EXPECT_EQ(deep_white, 0) << "white inside a body";
    EXPECT_GT(count[kTeal], kSide * kSide / 2);
    EXPECT_GT(count[kWhite], 0);
    EXPECT_TRUE(t < 56 || count[kBlack] > count[kWhite]);
  }
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

  // The wobble swells the shape across (y and z), by at most a fifth, and
  // moves nothing else: not along x, not the normals nor the texture.
  int swollen = 0;
  for (int n = 0; n < murel.vertexCount; ++n) {
    const float* v = &loaded[9 * static_cast<std::size_t>(n)];
    const float* w = &first[9 * static_cast<std::size_t>(n)];
    ASSERT_EQ(w[0], v[0]) << n;
    for (int i = 1; i < 3; ++i) ASSERT_LE(std::fabs(w[i]), std::fabs(v[i]) * 1.2f + 1e-4f) << n;
    for (int i = 3; i < 9; ++i) ASSERT_EQ(w[i], v[i]) << n;
    swollen += w[1] != v[1] && w[2] != v[2];
  }
  EXPECT_GT(swollen, murel.vertexCount / 2);
  // And a frame drawn after another moment is the frame drawn in turn.
  const Picture in_turn = still(95);
  still(105);
  EXPECT_EQ(next(95).difference(in_turn), 0);
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
  // The last block's lines (the texture's last two strips) pulse as well.
  EXPECT_GT(first_line(greetings_alone(127.25)), 100);
  EXPECT_GT(second_line(greetings_alone(128.75)), 100);
  // Nothing outside the two lines.
  EXPECT_EQ(first.count(0, 0, 130, 480, [](const Colour& c) { return c.r + c.g + c.b > 0; }), 0);
  for (double t : {117.5, 120.5, 123.5, 126.5, 129.5, 129.9}) EXPECT_TRUE(greetings_alone(t).all_black()) << t;
}

// A profile of how much text each column or row holds, normalised.
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

// A text page reads upright in the landscape view: across its band and down
// it, the white text follows the text of its strip of the file read left to
// right and top to bottom, not mirrored; and it reads in order, the
// greeting's pink lead left of its white name, the credits' teal heading
// above the white name above the pink line. The first greeting fills the
// left half, 48 rows about the middle (the file's rows 0 to 51); the first
// credits page a band along the top from x 16 to 463, 96 rows tall (rows 0
// to 102).
TEST_F(MiddleScenes, TheGreetingsAndTheCreditsReadUprightInTheLandscapeView) {
  struct Page {
    double t;
    const char* file;
    int x0, y0, x1, y1, rows;
  };
  for (const Page& p : {Page{115.25, "greets.png", 0, 136, 240, 184, 51}, Page{143, "credits.png", 16, 0, 464, 96, 102}}) {
    SCOPED_TRACE(p.file);
    still(p.t);
    const Picture frame = landscape();
    const assetgen::Image page = assetgen::read_png(std::filesystem::path(VELMORA_BUNDLE_DIR) / p.file);
    const int w = p.x1 - p.x0, h = p.y1 - p.y0;
    std::vector<double> shown_x(w), drawn_x(w), shown_y(h), drawn_y(h);
    double n[3] = {}, mean_x[3] = {}, mean_y[3] = {};  // teal, white, pink
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Colour c = frame.at(p.x0 + x, p.y0 + y);
        const std::uint8_t* d = page.at(x * page.width / w, y * p.rows / h);
        const bool white = c.r > 200 && c.g > 200 && c.b > 200, drawn = d[0] > 200 && d[1] > 200 && d[2] > 200;
        shown_x[x] += white, shown_y[y] += white;
        drawn_x[x] += drawn, drawn_y[y] += drawn;
        const int k = white ? 1 : c.r < 80 && c.g > 180 ? 0 : c.r > 200 && c.g > 90 && c.g < 170 ? 2 : -1;
        if (k >= 0) n[k] += 1, mean_x[k] += x, mean_y[k] += y;
      }
    for (auto [shown, drawn] : {std::pair{&shown_x, &drawn_x}, {&shown_y, &drawn_y}}) {
      const auto a = profile(*shown), b = profile(*drawn);
      const double upright = std::inner_product(a.begin(), a.end(), b.begin(), 0.0);
      const double mirrored = std::inner_product(a.begin(), a.end(), b.rbegin(), 0.0);
      EXPECT_GT(upright, 0.8);
      EXPECT_GT(upright, mirrored + 0.1);
    }
    for (int k = 0; k < 3; ++k) mean_x[k] /= n[k], mean_y[k] /= n[k];
    if (p.t < 130) EXPECT_LT(mean_x[2], mean_x[1] - 20);
    else EXPECT_TRUE(mean_y[0] + 10 < mean_y[1] && mean_y[1] + 10 < mean_y[2]);
  }
}

}  // namespace
