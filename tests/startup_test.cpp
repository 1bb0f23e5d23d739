// The staged start-up, turn by turn on the virtual clock: three loading
// frames, then the set-up, then the animation one interval later; and
// activity changes before and after.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "shell/app_delegate.h"
#include "shell/av_player.h"
#include "shell/main_interface.h"
#include "support/fixture_bundle.h"

using platform::NSRunLoop;

namespace {

// The start-up touches process-wide state (the load count, the texture
// cache), so each scenario runs in a child process of its own.
// A failure in the child is reported on its standard error, which the
// parent shows.
[[noreturn]] void finish(void (*scenario)()) {
  scenario();
  std::fflush(stdout);
  const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
  for (int i = 0; i < result->total_part_count(); ++i) {
    const ::testing::TestPartResult& r = result->GetTestPartResult(i);
    if (r.failed()) std::fprintf(stderr, "%s:%d: %s\n", r.file_name(), r.line_number(), r.summary());
  }
  std::_Exit(result->Failed() ? 1 : 0);
}
#define IN_CHILD_PROCESS(scenario) EXPECT_EXIT(finish(scenario), ::testing::ExitedWithCode(0), "")

struct Show {
  Show() {
    platform::use_virtual_clock(0);
    fixture::write_bundle(dir);
    platform::setBundlePath(dir.string());
    avAudioSetEnabled(false);
  }
  ~Show() { std::filesystem::remove_all(dir); }  // the child ends with _Exit
  const std::filesystem::path dir = fixture::make_temp_dir("startup");
  platform::CaptureSink sink;
  MainInterface ui{&sink};
};

double seconds() { return static_cast<double>(platform::virtual_now_us()) / 1e6; }

void ThreeLoadingFramesThenTheSetUpThenTheFirstFrameOneIntervalLater() {
  Show show;
  // Each turn's observations: presented frames, load count, animating.
  struct Turn {
    long presented;
    int loads;
    bool animating;
  };
  std::vector<Turn> turns;
  auto observe = [&] {
    turns.push_back({show.sink.presented(), velmoraLoadCount(), show.ui.view().animationTimer() != nullptr});
  };
  ::testing::internal::CaptureStdout();
  show.ui.launch();
  observe();
  for (int turn = 0; turn < 4; ++turn) {
    NSRunLoop::mainRunLoop().runOnce();
    observe();
  }
  const double setup_done = seconds();
  const std::int64_t started = platform::virtual_now_us();
  NSRunLoop::mainRunLoop().runOnce();
  const std::string log = ::testing::internal::GetCapturedStdout();

  // The layout's black frame; the launch call-back loads nothing. Then one
  // loading frame per turn, each presented in its own turn, then the set-up.
  ASSERT_EQ(turns.size(), 5u);
  const long presented[] = {1, 2, 3, 4, 4};
  const int loads[] = {0, 1, 2, 3, 3};
  for (size_t i = 0; i < turns.size(); ++i) {
    EXPECT_EQ(turns[i].presented, presented[i]) << "turn " << i;
    EXPECT_EQ(turns[i].loads, loads[i]) << "turn " << i;
    EXPECT_EQ(turns[i].animating, i == 4) << "turn " << i;
  }
  EXPECT_NEAR(setup_done, 0.1 + 0.03, 1e-5);
  EXPECT_DOUBLE_EQ(show.ui.view().animationInterval(), 1.0 / 60.0);
  EXPECT_EQ(log.find("Loading new texture: loading.png\n"), 0u);
  EXPECT_EQ(log.find("loading.png", std::strlen("Loading new texture: loading.png\n")), std::string::npos);  // loaded in the first frame only
  EXPECT_NE(log.find("Loading new texture: korvane_final.png\n"), std::string::npos);
  // The first show frame comes one interval after the set-up.
  EXPECT_EQ(show.sink.presented(), 5);
  EXPECT_EQ(platform::virtual_now_us() - started, 16667);
}

TEST(StartUpDeathTest, ThreeLoadingFramesThenTheSetUpThenTheFirstFrameOneIntervalLater) { IN_CHILD_PROCESS(ThreeLoadingFramesThenTheSetUpThenTheFirstFrameOneIntervalLater); }

void ActivityChangesBeforeTheSetUpStartNoTimer() {
  Show show;
  ::testing::internal::CaptureStdout();
  show.ui.launch();
  show.ui.application().setActive(false);
  EXPECT_EQ(show.ui.view().animationTimer(), nullptr);
  EXPECT_EQ(show.ui.view().animationInterval(), 0.2);
  EXPECT_EQ(NSRunLoop::mainRunLoop().timerCount(), 1u);  // the first loading frame's only
  ASSERT_TRUE(show.ui.runStartUp());
  ::testing::internal::GetCapturedStdout();
  // The set-up sets 1/60 before it starts the animation.
  EXPECT_DOUBLE_EQ(show.ui.view().animationTimer()->timeInterval(), 1.0 / 60.0);
}

TEST(StartUpDeathTest, ActivityChangesBeforeTheSetUpStartNoTimer) { IN_CHILD_PROCESS(ActivityChangesBeforeTheSetUpStartNoTimer); }

void WhilePlayingInactivitySlowsTheTimerAndDemoTimeRunsOn() {
  Show show;
  ::testing::internal::CaptureStdout();
  show.ui.launch();
  ASSERT_TRUE(show.ui.runStartUp());
  ::testing::internal::GetCapturedStdout();
  const std::int64_t started = platform::virtual_now_us();
  platform::set_virtual_now_us(started + 30'000'000);
  show.ui.application().setActive(false);
  EXPECT_DOUBLE_EQ(show.ui.view().animationTimer()->timeInterval(), 0.2);
  EXPECT_NEAR(get_time(), 30.0f, 1e-3);
  show.ui.application().setActive(true);
  EXPECT_DOUBLE_EQ(show.ui.view().animationTimer()->timeInterval(), 1.0 / 60.0);
  EXPECT_NEAR(get_time(), 30.0f, 1e-3);
}

TEST(StartUpDeathTest, WhilePlayingInactivitySlowsTheTimerAndDemoTimeRunsOn) { IN_CHILD_PROCESS(WhilePlayingInactivitySlowsTheTimerAndDemoTimeRunsOn); }

}  // namespace
