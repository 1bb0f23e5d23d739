#pragma once
// What a viewer asks of the player, by key or by mouse, wherever the show is
// shown (the desktop window, the web page), and what the player shows of
// itself in return.
#include <string>

namespace platform {

struct PlayerCommand {
  enum Kind {
    TogglePause,
    SeekBy,        // value: seconds, forward or back
    SeekTo,        // value: seconds of the show
    Step,          // value: frames, forward or back
    StepIfPaused,  // the same, only while paused
    PreviousPart,
    NextPart,
    Scene,  // value: 1 to 5
    ToggleMute,
    Volume,  // value: steps up or down
    Screenshot,
    Quit,
  };
  Kind kind;
  double value = 0;
};

// What the on-screen display shows.
struct DisplayState {
  double time = 0;    // demo seconds
  double length = 1;  // of the whole show, for the progress bar
  std::string part;   // the part of the show at `time`
  bool paused = false;
  bool muted = false;
  int volume = 100;  // percent
};

}  // namespace platform
