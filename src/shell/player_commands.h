#pragma once
// What a viewer asks of the player, wherever the show is shown (the desktop
// window, the web page): the keys and the pointer reach these through one
// table (shell/controls.h).

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

inline bool operator==(const PlayerCommand& a, const PlayerCommand& b) {
  return a.kind == b.kind && a.value == b.value;
}
