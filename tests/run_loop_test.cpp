// The run loop and its timers on the virtual clock: turn structure, one-shot
// ordering, a repeating timer's grid, and the window's size on a desktop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop/window.h"
#include "platform/run_loop.h"

using platform::NSRunLoop;
using platform::NSTimer;

namespace {

class RunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::use_virtual_clock(5'000'000);
    loop().reset();
  }
  void TearDown() override { loop().reset(); }
  static NSRunLoop& loop() { return NSRunLoop::mainRunLoop(); }
  static double now() { return static_cast<double>(platform::virtual_now_us()) / 1e6 - 5.0; }
};

TEST_F(RunLoopTest, OneShotTimersFireOncePerTurnInDeadlineOrder) {
  std::vector<std::string> fired;
  NSTimer::scheduledTimerWithTimeInterval(0.2, [&] { fired.push_back("b"); }, false);
  NSTimer::scheduledTimerWithTimeInterval(0.1, [&] { fired.push_back("a"); }, false);
  NSTimer::scheduledTimerWithTimeInterval(0.2, [&] { fired.push_back("c"); }, false);
  int hooked = 0;
  loop().setAfterTurn([&] { ++hooked; });

  ASSERT_TRUE(loop().runOnce());
  EXPECT_EQ(fired, (std::vector<std::string>{"a"}));
  EXPECT_NEAR(now(), 0.1, 1e-6);  // the loop slept (jumped) to the deadline
  ASSERT_TRUE(loop().runOnce());
  ASSERT_TRUE(loop().runOnce());
  EXPECT_EQ(fired, (std::vector<std::string>{"a", "b", "c"}));  // equal deadlines: scheduling order
  EXPECT_EQ(hooked, 3);                                           // after every turn
  EXPECT_FALSE(loop().runOnce());                                 // nothing left
  EXPECT_EQ(loop().timerCount(), 0u);
  EXPECT_EQ(hooked, 3);
}

TEST_F(RunLoopTest, ATimerScheduledFromACallBackRunsInALaterTurn) {
  int turns = 0;
  std::vector<int> seen;
  NSTimer::scheduledTimerWithTimeInterval(0.1, [&] {
    seen.push_back(turns);
    NSTimer::scheduledTimerWithTimeInterval(0.0, [&] { seen.push_back(turns); }, false);
  }, false);
  while (loop().runOnce()) ++turns;
  EXPECT_EQ(seen, (std::vector<int>{0, 1}));
}

TEST_F(RunLoopTest, RepeatingTimerKeepsItsGridAndSkipsMissedFirings) {
  std::vector<double> times;
  NSTimer* timer = NSTimer::scheduledTimerWithTimeInterval(0.25, [&] {
    times.push_back(now());
    // The second call-back runs long: 0.6 s, past two firings.
    if (times.size() == 2) platform::set_virtual_now_us(platform::virtual_now_us() + 600'000);
  }, true);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(loop().runOnce());
  timer->invalidate();
  ASSERT_EQ(times.size(), 4u);
  EXPECT_NEAR(times[0], 0.25, 1e-6);
  EXPECT_NEAR(times[1], 0.50, 1e-6);
  // 0.75 and 1.00 were missed while the call-back ran until 1.10: no burst,
  // the next firing is the grid's next point.
  EXPECT_NEAR(times[2], 1.25, 1e-6);
  EXPECT_NEAR(times[3], 1.50, 1e-6);
}

TEST_F(RunLoopTest, AnAnimationFrameFiresWhatIsDueByItsHorizonOnceEach) {
  // The page's turns: timers due by the frame's horizon fire in deadline
  // order, a repeating one once however far behind, and what a call-back
  // schedules waits for a later frame. The after-turn hook ends each frame,
  // also one where nothing is due.
  using Fired = std::vector<std::string>;
  Fired fired;
  loop().setAfterTurn([&] { fired.push_back("after"); });
  NSTimer::scheduledTimerWithTimeInterval(0.020, [&] { fired.push_back("late"); }, false);
  NSTimer::scheduledTimerWithTimeInterval(0.010, [&] {
    fired.push_back("early");
    NSTimer::scheduledTimerWithTimeInterval(0, [&] { fired.push_back("armed"); }, false);
  }, false);
  NSTimer::scheduledTimerWithTimeInterval(0.005, [&] { fired.push_back("frame"); }, true);
  const std::int64_t start = platform::monotonic_ns();

  platform::set_virtual_now_us(platform::virtual_now_us() + 8'000);
  EXPECT_EQ(loop().fireDue(start + 12'000'000), 2);
  EXPECT_EQ(fired, (Fired{"frame", "early", "after"}));

  platform::set_virtual_now_us(platform::virtual_now_us() + 16'000);
  EXPECT_EQ(loop().fireDue(start + 28'000'000), 3);
  EXPECT_EQ(fired, (Fired{"frame", "early", "after", "armed", "frame", "late", "after"}));

  fired.clear();
  EXPECT_EQ(loop().fireDue(start), 0);
  EXPECT_EQ(fired, (Fired{"after"}));
}

TEST_F(RunLoopTest, InvalidatedTimersNeverFire) {
  int fired = 0;
  NSTimer* t = NSTimer::scheduledTimerWithTimeInterval(0.1, [&] { ++fired; }, true);
  t->invalidate();
  EXPECT_FALSE(loop().runOnce());
  EXPECT_EQ(fired, 0);
}

TEST_F(RunLoopTest, StopEndsRunWithItsStatus) {
  NSTimer::scheduledTimerWithTimeInterval(0.1, [&] { loop().stop(7); }, false);
  NSTimer::scheduledTimerWithTimeInterval(0.2, [&] { FAIL() << "ran after stop"; }, false);
  EXPECT_EQ(loop().run(), 7);
}

TEST(WindowSize, LargestWholeMultipleWithinEightyPercentOfTheDesktop) {
  EXPECT_EQ(platform::fitting_scale(480, 320, 1920, 1080), 2);  // 960x640 fits 1536x864
  EXPECT_EQ(platform::fitting_scale(480, 320, 3840, 2160), 5);
  EXPECT_EQ(platform::fitting_scale(320, 480, 1920, 1080), 1);
  EXPECT_EQ(platform::fitting_scale(480, 320, 400, 300), 1);  // never below one
}

}  // namespace
