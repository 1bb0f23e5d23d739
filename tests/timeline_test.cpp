// The schedule: which scene draws each demo second, with which scene time,
// and the end of the show; and the table of parts that everything outside the
// show reads, against it. Linked with recording stand-ins for the scenes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/demo.h"
#include "engine/schedule.h"

namespace {

struct Call {
  std::string scene;
  float time;
};
std::vector<Call> gCalls;

void record(const char* scene, float t) { gCalls.push_back({scene, t}); }

std::vector<Call> play(float t) {
  gCalls.clear();
  demo_playback(t);
  return gCalls;
}

void expect_one(float demo_time, const char* scene, float scene_time) {
  const auto calls = play(demo_time);
  ASSERT_EQ(calls.size(), 1u) << "demo time " << demo_time;
  EXPECT_EQ(calls[0].scene, scene) << "demo time " << demo_time;
  EXPECT_EQ(calls[0].time, scene_time) << "demo time " << demo_time;  // exact: single precision throughout
}

}  // namespace

void scene_1(float t) { record("scene_1", t); }
void scene_2(float t) { record("scene_2", t); }
void scene_3(float t) { record("scene_3", t); }
void scene_3_greets(float t) { record("scene_3_greets", t); }
void scene_4(float t) { record("scene_4", t); }
void scene_5(float t) { record("scene_5", t); }

// Exact scene times: the float subtraction, never a double one (114.5 plus
// a third shows the difference). Before the show, the first scene draws.
TEST(Timeline, EachSceneOwnsItsSpanAndStartsAtZeroInSinglePrecision) {
  expect_one(-2.5f, "scene_1", -2.5f);
  expect_one(0.0f, "scene_1", 0.0f);
  expect_one(52.999f, "scene_1", 52.999f);
  expect_one(53.0f, "scene_2", 0.0f);
  expect_one(69.99f, "scene_2", 69.99f - 53.0f);
  expect_one(70.0f, "scene_3", 0.0f);
  expect_one(114.49f, "scene_3", 114.49f - 70.0f);
  expect_one(114.5f, "scene_3_greets", 0.0f);
  expect_one(114.5f + 1.0f / 3.0f, "scene_3_greets", (114.5f + 1.0f / 3.0f) - 114.5f);
  expect_one(129.99f, "scene_3_greets", 129.99f - 114.5f);
  expect_one(130.0f, "scene_4", 0.0f);
  expect_one(179.99f, "scene_4", 179.99f - 130.0f);
  expect_one(180.0f, "scene_5", 0.0f);
  expect_one(184.99f, "scene_5", 184.99f - 180.0f);
}

// The table of parts and the timeline cut at the same moments, in the single
// precision the timeline compares in: each part's begin is a float, its scene
// draws from there at scene time 0, and the float just before it still
// belongs to the part before; from the last picture's end nothing draws, up
// to and including the show's end (the death test below takes the float
// after it).
TEST(Timeline, CutsWhereTheScheduleSays) {
  // The scene function of each pictured part, in the table's order.
  const char* const functions[] = {"scene_1", "scene_2", "scene_3", "scene_3_greets", "scene_4", "scene_5"};
  ASSERT_EQ(std::size(functions), kPicturedParts.size());
  for (std::size_t i = 0; i < kPicturedParts.size(); ++i) {
    const ShowPart& part = kPicturedParts[i];
    SCOPED_TRACE(part.name);
    EXPECT_EQ(std::string(functions[i]).substr(0, 7), "scene_" + std::to_string(part.scene));
    const float begin = static_cast<float>(part.begin);
    ASSERT_EQ(static_cast<double>(begin), part.begin);
    expect_one(begin, functions[i], 0.0f);
    if (i > 0) {
      const float before = std::nextafter(begin, 0.0f);
      expect_one(before, functions[i - 1], before - static_cast<float>(kPicturedParts[i - 1].begin));
    }
  }
  const float last = static_cast<float>(kLastPicture);
  ASSERT_EQ(static_cast<double>(last), kLastPicture);
  const float closing = static_cast<float>(show_part(Part::ClosingPicture).begin);
  expect_one(std::nextafter(last, 0.0f), "scene_5", std::nextafter(last, 0.0f) - closing);
  EXPECT_TRUE(play(last).empty());
  const float end = static_cast<float>(kShowEnd);
  ASSERT_EQ(static_cast<double>(end), kShowEnd);
  EXPECT_TRUE(play(end).empty());
}

TEST(Timeline, NothingDrawsFrom185UpToAndIncluding190) {
  for (float t : {185.0f, 187.3f, 189.999f, 190.0f}) EXPECT_TRUE(play(t).empty()) << t;
}

// The first frame after 190 draws nothing and ends the process with status 0.
TEST(TimelineDeathTest, TheFirstFrameAfter190EndsTheProcessWithStatusZeroDrawingNothing) {
  for (float t : {std::nextafter(static_cast<float>(kShowEnd), std::numeric_limits<float>::infinity()), 190.01f, 250.0f})
    EXPECT_EXIT(
        {
          gCalls.clear();
          std::atexit([] {
            if (!gCalls.empty()) std::_Exit(4);
          });
          demo_playback(t);
          std::exit(3);  // the frame went on drawing
        },
        ::testing::ExitedWithCode(0), "")
        << t;
}
