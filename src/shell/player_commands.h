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
    Screenshot,  // value: the render scale to draw the moment at, 0 for the picture as shown
    Quit,
  };
  Kind kind;
  double value = 0;
};

// The render scale of the sharp screenshot (S): 1920 x 1280.
inline constexpr int kSharpScreenshotScale = 4;

inline bool operator==(const PlayerCommand& a, const PlayerCommand& b) {
  return a.kind == b.kind && a.value == b.value;
}
