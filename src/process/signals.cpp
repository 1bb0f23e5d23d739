#include "process/signals.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <initializer_list>

namespace platform {
namespace {

constexpr int kSlots = 8;
constexpr std::size_t kPathMax = 4096;

// Async-signal-safe: fixed storage; a slot is claimed, its path written, and
// only then marked live for the handler.
enum : int { kFree, kClaimed, kLive };
struct Temporary {
  std::atomic<int> state{kFree};
  char path[kPathMax];
};
Temporary gTemporaries[kSlots];

volatile std::sig_atomic_t gStopSignal = 0;
OnStop gMode = OnStop::Finish;

void remove_temporaries() {
  for (Temporary& t : gTemporaries) {
    if (t.state.load() == kLive) unlink(t.path);
  }
}

extern "C" void on_stop_signal(int signal) {
  remove_temporaries();
  if (gStopSignal == 0) gStopSignal = signal;
  if (gMode == OnStop::ExitAtOnce) {
    std::signal(signal, SIG_DFL);
    raise(signal);
  }
}

}  // namespace

void install_stop_handlers(OnStop mode) {
  gMode = mode;
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocking wait returns, and the loop looks at the flag
  // The signals that end a process by default and that a user or another
  // program sends to stop one, so none of them leaves a temporary file.
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF}) {
    sigaction(s, &action, nullptr);
  }
  std::signal(SIGXFSZ, SIG_IGN);
  // A reader that goes away is a failed write (EPIPE), reported and cleaned
  // up like any other.
  std::signal(SIGPIPE, SIG_IGN);
}

int stop_signal() { return gStopSignal; }

int stop_status() { return gStopSignal ? 128 + gStopSignal : 0; }

const char* stop_description() {
  switch (gStopSignal) {
    case SIGINT:
      return "interrupted (SIGINT)";
    case SIGTERM:
      return "terminated (SIGTERM)";
    case SIGHUP:
      return "hung up (SIGHUP)";
    case SIGUSR1:
      return "stopped (SIGUSR1)";
    case SIGUSR2:
      return "stopped (SIGUSR2)";
    case SIGALRM:
      return "stopped (SIGALRM)";
    case SIGVTALRM:
      return "stopped (SIGVTALRM)";
    case SIGPROF:
      return "stopped (SIGPROF)";
    default:
      return "stopped";
  }
}

int register_temporary(const char* path) {
  if (std::strlen(path) >= kPathMax) return -1;
  for (int i = 0; i < kSlots; ++i) {
    Temporary& t = gTemporaries[i];
    int expected = kFree;
    if (!t.state.compare_exchange_strong(expected, kClaimed)) continue;
    std::strcpy(t.path, path);
    t.state.store(kLive);
    return i;
  }
  return -1;
}

void unregister_temporary(int slot) {
  if (slot >= 0 && slot < kSlots) gTemporaries[slot].state.store(kFree);
}

}  // namespace platform
