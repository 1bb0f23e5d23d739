#include "shell/on_screen_display.h"

#include "platform/clock.h"

namespace {
constexpr std::int64_t kShownNs = 1'500'000'000;
}  // namespace

void OnScreenDisplay::show(std::optional<PlayerCommand> done) {
  shownUntil_ = platform::monotonic_ns() + kShownNs;
  if (done) done_ = done;
}

bool OnScreenDisplay::shown() const { return platform::monotonic_ns() < shownUntil_; }

DisplayState OnScreenDisplay::state() const {
  DisplayState state = player_ ? player_() : DisplayState{};
  state.done = done_;
  state.shownUntil = shownUntil_;
  return state;
}
