#include "shell/app_delegate.h"

#include "engine/demo.h"
#include "platform/run_loop.h"
#include "shell/av_player.h"
#include "shell/eagl_view.h"

using platform::NSTimer;

namespace {
int gLoadCount = 0;

// The staging delays are single-precision constants widened for the timer.
constexpr double kFirstLoadingFrameDelay = static_cast<double>(0.1f);
constexpr double kNextStepDelay = static_cast<double>(0.01f);
constexpr double kActiveInterval = 1.0 / 60.0;
constexpr double kInactiveInterval = 0.2;
}  // namespace

int velmoraLoadCount() { return gLoadCount; }

void velmoraAppDelegate::applicationDidFinishLaunching() {
  NSTimer::scheduledTimerWithTimeInterval(kFirstLoadingFrameDelay, [this] { preLoad(); }, false);
}

void velmoraAppDelegate::preLoad() {
  ++gLoadCount;
  glView_->setContext();
  demo_show_loading();
  glView_->blit();
  if (gLoadCount <= 2) {
    NSTimer::scheduledTimerWithTimeInterval(kNextStepDelay, [this] { preLoad(); }, false);
  } else {
    NSTimer::scheduledTimerWithTimeInterval(kNextStepDelay, [this] { doLoad(); }, false);
  }
}

void velmoraAppDelegate::doLoad() {
  glView_->setContext();
  demo_load();
  avAudioInit();
  glView_->setAnimationInterval(kActiveInterval);
  avAudioPlay();
  glView_->startAnimation();
  if (onLoaded) onLoaded();
}

void velmoraAppDelegate::applicationDidBecomeActive() { glView_->setAnimationInterval(kActiveInterval); }

void velmoraAppDelegate::applicationWillResignActive() { glView_->setAnimationInterval(kInactiveInterval); }
