#include "shell/on_screen_display.h"

#include "platform/clock.h"

void OnScreenDisplay::show(std::optional<PlayerCommand> done) {
  shownUntil_ = platform::monotonic_ns() + timing_.shownNs;
  if (done) done_ = done;
}

bool OnScreenDisplay::shown() const {
  if (platform::monotonic_ns() < shownUntil_) return true;
  return timing_.whilePaused && player_ && player_().paused;
}

DisplayState OnScreenDisplay::state() const {
  DisplayState state = player_ ? player_() : DisplayState{};
  state.done = done_;
  state.shownUntil = shownUntil_;
  return state;
}
