#pragma once
// The on-screen display's model, one for every flavour: what it shows (the
// player's state, and what was just done) and until when. Each flavour draws
// it its own way: the desktop window with Cairo (shell/desktop/display_band.h),
// the page with its own elements (web/page.js).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "shell/player_commands.h"

struct DisplayState {
  double time = 0;    // demo seconds
  double length = 1;  // of the whole show, for the progress bar
  const char* part = "";  // the name of the part of the show at `time`
  bool paused = false;
  bool muted = false;
  int volume = 100;  // percent
  std::optional<PlayerCommand> done;  // what was done last, if anything
  std::string note;                   // a word for the moment ("Saved velmora-0041.980.png"), or none
  std::int64_t shownUntil = 0;        // monotonic ns: shown while the clock is before it
};

// How long the display shows after each show(), and whether it stays while
// the player is paused (the page's control bar does; the window's band goes).
struct DisplayTiming {
  std::int64_t shownNs = 1'500'000'000;
  bool whilePaused = false;
};

class OnScreenDisplay {
 public:
  // `player` gives the player's part of the state, asked afresh each time.
  explicit OnScreenDisplay(std::function<DisplayState()> player, DisplayTiming timing = {})
      : player_(std::move(player)), timing_(timing) {}

  // Shown for a moment from now; after a command, noting what was done.
  void show(std::optional<PlayerCommand> done = std::nullopt);
  // Shown for a longer moment from now (the time to read it), saying `note`.
  void say(std::string note);
  bool shown() const;
  DisplayState state() const;

 private:
  std::function<DisplayState()> player_;
  DisplayTiming timing_;
  std::optional<PlayerCommand> done_;
  std::string note_;
  std::int64_t shownUntil_ = 0;
  std::int64_t noteUntil_ = 0;
};
