#pragma once
// The one table of controls: what each key and pointer event asks for, for
// every flavour alike. The platforms report input in their plain vocabulary
// (platform/input.h); where the show is shown (shell/desktop/window_player.h,
// the page's entry) carries the controls out.
#include <optional>

#include "platform/input.h"
#include "shell/player_commands.h"

// One of the player's commands, or one for where the show is shown.
struct Control {
  enum Kind {
    Player,
    ToggleFullscreen,
    LeaveFullscreenOrQuit,  // Esc: out of full screen first, else as Quit
    ShowDisplay,            // the on-screen display, for a moment
    CopyLink,               // a link to the moment shown, where there is an address to link to
  };
  Kind kind = Player;
  PlayerCommand command{PlayerCommand::TogglePause};  // for Player
};

bool operator==(const Control& a, const Control& b);

// The keys of common media players:
//   Space, p         pause and resume
//   Left, Right      five seconds back, forward; with Shift one frame
//   Down, Up         thirty seconds back, forward
//   , .              one frame back, forward, while paused
//   Page Up, Down    the start of the previous, next part
//   1 to 5, Home     the start of scene 1 to 5, the beginning
//   m; 9, 0          mute and unmute; volume down, up
//   s                save the picture shown; S (Shift+s) the same moment
//                    drawn at render scale 4
//   f, F11, Alt+Enter  full screen
//   c                copy a link to the moment shown
//   Esc              out of full screen, else quit; q quits
// Held keys repeat the moves through the show (arrows, comma and period),
// nothing else.
std::optional<Control> control_for_key(const platform::KeyPress& key);

// Where the on-screen display's progress bar lies, in picture coordinates
// (none: w is 0), whether the display shows it now, and the seconds of the
// show it spans. It can be pressed whether the display shows it or not; a
// tap asks whether it is shown.
struct ProgressBar {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  double length = 0;
  bool shown = false;
};

// How far a step of the wheel seeks: as far as Left and Right.
inline constexpr double kWheelStepSeconds = 5;

// The pointer's part of the table, as common players have it. A press of the
// primary button on the progress bar seeks to where it was pressed; dragging
// from there seeks along, once a turn, to where the pointer went last; any
// release ends the drag. A double click elsewhere toggles full screen (on the
// bar it is a press like the first). The secondary button pauses and
// resumes. A step of the wheel away from the viewer seeks forward, towards
// the viewer back. On a touch screen, as phone players do: a tap shows the
// display, or with the display shown pauses and resumes; a double tap on the
// left or right third of the picture seeks five seconds back or forward, in
// the middle third it toggles full screen.
class PointerControls {
 public:
  // What the event asks for at once, if anything. `bar.shown` says whether
  // the display is shown; `picture_w` is the picture's width, for the thirds.
  std::optional<Control> handle(const platform::PointerEvent& event, const ProgressBar& bar, int picture_w = 0);
  // What a drag asks for this turn, once the turn's events are handled.
  std::optional<Control> endOfTurn(const ProgressBar& bar);
  // Whether a drag's seek waits for the end of the turn.
  bool pending() const { return pendingX_ >= 0; }

 private:
  bool dragging_ = false;
  int pendingX_ = -1;
};
