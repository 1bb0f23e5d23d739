// The schedule: which scene draws each demo second, with which scene time,
// and the end of the show. Linked with recording stand-ins for the scenes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/demo.h"

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

TEST(Timeline, EachSceneOwnsItsSpanAndStartsAtZero) {
  expect_one(0.0f, "scene_1", 0.0f);
  expect_one(52.999f, "scene_1", 52.999f);
  expect_one(53.0f, "scene_2", 0.0f);
  expect_one(69.99f, "scene_2", 69.99f - 53.0f);
  expect_one(70.0f, "scene_3", 0.0f);
  expect_one(114.49f, "scene_3", 114.49f - 70.0f);
  expect_one(114.5f, "scene_3_greets", 0.0f);
  expect_one(129.99f, "scene_3_greets", 129.99f - 114.5f);
  expect_one(130.0f, "scene_4", 0.0f);
  expect_one(179.99f, "scene_4", 179.99f - 130.0f);
  expect_one(180.0f, "scene_5", 0.0f);
  expect_one(184.99f, "scene_5", 184.99f - 180.0f);
}

TEST(Timeline, SceneTimeIsFormedInSinglePrecision) {
  // 114.5 + a little: the float subtraction, not a double one.
  const float t = 114.5f + 1.0f / 3.0f;
  const auto calls = play(t);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].time, t - 114.5f);
}

TEST(Timeline, NegativeTimeDrawsTheFirstScene) { expect_one(-2.5f, "scene_1", -2.5f); }

TEST(Timeline, SameTimeSameCall) {
  const auto a = play(97.25f);
  const auto b = play(97.25f);
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(a[0].scene, b[0].scene);
  EXPECT_EQ(a[0].time, b[0].time);
}

TEST(Timeline, NothingDrawsFrom185UpToAndIncluding190) {
  for (float t : {185.0f, 187.3f, 189.999f, 190.0f}) EXPECT_TRUE(play(t).empty()) << t;
}

TEST(TimelineDeathTest, TheFirstFrameAfter190EndsTheProcessWithStatusZero) {
  EXPECT_EXIT(
      {
        demo_playback(190.01f);
        // Reaching here means the frame went on drawing.
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(TimelineDeathTest, NoSceneDrawsInTheFinalFrame) {
  EXPECT_EXIT(
      {
        gCalls.clear();
        std::atexit([] {
          if (!gCalls.empty()) std::_Exit(4);
        });
        demo_playback(250.0f);
      },
      ::testing::ExitedWithCode(0), "");
}
