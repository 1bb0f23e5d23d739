#include "shell/on_screen_display.h"

#include <algorithm>
#include <utility>

#include "platform/clock.h"

namespace {
constexpr std::int64_t kNoteShownNs = 3'000'000'000;  // time to read a file's name
}  // namespace

void OnScreenDisplay::show(std::optional<PlayerCommand> done) {
  shownUntil_ = std::max(shownUntil_, platform::monotonic_ns() + timing_.shownNs);
  if (done) done_ = done;
}

void OnScreenDisplay::say(std::string note) {
  note_ = std::move(note);
  noteUntil_ = platform::monotonic_ns() + kNoteShownNs;
  shownUntil_ = std::max(shownUntil_, noteUntil_);
}

bool OnScreenDisplay::shown() const {
  if (platform::monotonic_ns() < shownUntil_) return true;
  return timing_.whilePaused && player_ && player_().paused;
}

DisplayState OnScreenDisplay::state() const {
  DisplayState state = player_ ? player_() : DisplayState{};
  state.done = done_;
  if (platform::monotonic_ns() < noteUntil_) state.note = note_;
  state.shownUntil = shownUntil_;
  return state;
}
