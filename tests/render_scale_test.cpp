// The show drawn at a multiple of the phone's resolution, by the real
// program: stills at render scales 2 and 3, box-filtered back to 1x, are the 1x
// stills (the same picture, glow and metaballs included), yet hold detail the
// 1x picture lacks.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/png.h"
#include "shell/main_interface.h"
#include "support/fixture_bundle.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> still(double t, int scale, const fs::path& dir) {
  const fs::path out = dir / ("still-" + std::to_string(scale) + ".png");
  const auto r = fixture::velmora({"still", "--at", std::to_string(t), "--render-scale", std::to_string(scale), "--out",
                                   out.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  int width = 0;
  int height = 0;
  auto rgba = fixture::read_png(out, &width, &height);
  EXPECT_EQ(width, 480 * scale);
  EXPECT_EQ(height, 320 * scale);
  return rgba;
}

TEST(RenderScale, AHigherResolutionIsTheSamePictureWithFinerDetail) {
  const fs::path dir = fixture::make_temp_dir("render-scale");
  // The intro's glow, the title over the rig (also at the page's 3x), the
  // metaballs, the cube's glow and the closing picture.
  for (const auto& [t, n] : std::vector<std::pair<double, int>>{{5, 2}, {22, 2}, {22, 3}, {60, 2}, {150, 2}, {182, 2}}) {
    SCOPED_TRACE(testing::Message() << t << " s at " << n << "x");
    const auto one = still(t, 1, dir);
    const auto big = still(t, n, dir);
    ASSERT_EQ(big.size(), one.size() * n * n);
    double difference = 0;
    int detailed = 0;  // n x n blocks whose pixels differ: a scaled-up picture has none
    for (int y = 0; y < 320; ++y) {
      for (int x = 0; x < 480; ++x) {
        for (int c = 0; c < 3; ++c) {
          int sum = 0, lo = 255, hi = 0;
          for (int k = 0; k < n * n; ++k) {
            const int v = big[((n * y + k / n) * 480 * n + n * x + k % n) * 4 + c];
            sum += v;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
          }
          difference += std::abs(static_cast<double>(sum) / (n * n) - one[(y * 480 + x) * 4 + c]);
          detailed += c == 0 && hi - lo > 16;
        }
      }
    }
    // Edges fall on other pixels and pictures are sampled more densely,
    // which moves the mean by a level or two; a picture drawn to the wrong
    // size or place moves it by tens.
    EXPECT_LT(difference / (480 * 320 * 3), 4.0);
    EXPECT_GT(detailed, 480 * 320 / 500);
  }
}

TEST(RenderScale, AWindowIsDrawnAsSharpAsItShowsThePicture) {
  EXPECT_EQ(scale_for(480, 320, 480, 320), 1);
  EXPECT_EQ(scale_for(960, 640, 480, 320), 2);
  EXPECT_EQ(scale_for(1000, 667, 480, 320), 3);     // just over twice: sharper, not blurred
  EXPECT_EQ(scale_for(1620, 1080, 480, 320), 4);    // full screen at 1920 x 1080
  EXPECT_EQ(scale_for(7680, 4320, 480, 320), 8);    // never more than 8
  EXPECT_EQ(scale_for(720, 1080, 320, 480), 3);     // portrait
}

}  // namespace
