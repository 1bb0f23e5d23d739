// How long the real start-up takes on the real clock, headless: from the
// process's entry to the layout's black frame, the first loading frame and
// the first frame of the show.
//
//   velmora-startup-time [BUNDLE_DIR]
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "platform/bundle.h"
#include "platform/frame.h"
#include "platform/run_loop.h"
#include "shell/av_player.h"
#include "shell/main_interface.h"

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point gEntry = Clock::now();  // as early as static initialisation allows

class TimingSink final : public platform::FrameSink {
 public:
  void present(const platform::Frame&) override {
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - gEntry).count();
    if (count_ < 8) at_[count_] = ms;
    if (++count_ == 5) platform::NSRunLoop::mainRunLoop().stop(0);
  }
  double at(int i) const { return at_[i]; }

 private:
  int count_ = 0;
  double at_[8] = {};
};

}  // namespace

int main(int argc, char** argv) {
  platform::setBundlePath(argc > 1 ? argv[1] : VELMORA_BUNDLE_DIR);
  avAudioSetEnabled(false);
  std::fflush(stdout);
  const int saved = dup(1);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);  // the load log is not wanted here
  TimingSink sink;
  {
    MainInterface ui(&sink);
    ui.launch();
    platform::NSRunLoop::mainRunLoop().run();
  }
  std::fflush(stdout);
  dup2(saved, 1);
  std::printf("black frame after %.1f ms, first loading frame after %.1f ms, first show frame after %.1f ms\n",
              sink.at(0), sink.at(1), sink.at(4));
  return 0;
}
