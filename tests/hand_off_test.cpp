// Starting anywhere draws what a run from the start draws: a frame reached
// by a straight run, the same frame after jumping there from the cube scene,
// and after jumping there from the start are the same pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "engine/demo.h"
#include "support/show_fixture.h"

using fixture::Picture;

namespace {

class HandOff : public fixture::ShowTest {};

TEST_F(HandOff, AFrameAfterAJumpIsTheFrameOfAStraightRun) {
  // One moment in every part of the show (outside the random shake of 28 to
  // 40 s), and one after the last picture, on a 5 frames a second grid.
  constexpr double kFps = 5;
  const std::vector<double> moments = {12.4, 45.2, 60.6, 90.2, 121.8, 150.4, 175.2, 182.6, 187};
  std::map<double, Picture> straight;
  show().prepareFor(0, kFps);
  for (int k = 0; k <= 187 * kFps; ++k) {
    const double t = k / kFps;
    show().drawFrame(t);
    for (double m : moments) {
      if (std::abs(m - t) < 1e-9) straight[m] = current();
    }
  }
  ASSERT_EQ(straight.size(), moments.size());
  for (double m : moments) {
    SCOPED_TRACE(m);
    // From the middle of the cube scene, whose additive blending and glow
    // would otherwise carry over.
    show().prepareFor(165, kFps);
    show().drawFrame(165);
    show().prepareFor(m, kFps);
    show().drawFrame(m);
    EXPECT_EQ(current().rgba(), straight[m].rgba());
    // From the start.
    show().prepareFor(0.2, kFps);
    show().drawFrame(0.2);
    show().prepareFor(m, kFps);
    show().drawFrame(m);
    EXPECT_EQ(current().rgba(), straight[m].rgba());
  }
}

TEST_F(HandOff, TheBakedGlowIsPutBack) {
  // The intro adds up the glow levels the asset set-up baked from the rig's
  // still frame; a start anywhere puts back the two that the cube scene
  // redraws as the set-up left them: lit everywhere the rig's sky is.
  show().prepareFor(5);
  for (int level : {4, 5}) {
    const Picture glow = fixture::glow_level(level);
    EXPECT_GT(glow.count(0, 0, glow.width(), glow.height(), [](fixture::Colour c) { return c.b > 100; }),
              glow.width() * glow.height() / 2)
        << level;
  }
}

TEST_F(HandOff, AfterTheLastPictureTheLastFrameStays) {
  // A live run keeps presenting the last frame drawn before 185 s.
  const Picture last = still(185 - 1.0 / 60);
  EXPECT_FALSE(last.all_black());
  EXPECT_EQ(still(187).rgba(), last.rgba());
  EXPECT_EQ(still(190).rgba(), last.rgba());
}

}  // namespace
