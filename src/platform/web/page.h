#pragma once
// The page around the show: the main run loop's turns come from the
// browser's animation frames, the tab's visibility is the application's
// activity, and the viewer's keys and double-clicks become commands.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/player_commands.h"

namespace platform::web {

// What the viewer can ask of the page: full screen, or one of the player's
// commands.
struct PageCommand {
  enum Kind { ToggleFullscreen, Player };
  Kind kind = ToggleFullscreen;
  PlayerCommand player{PlayerCommand::TogglePause};
};

// The command a key press asks for (KeyboardEvent.key, whether Alt or Shift
// was held, whether the key is held down and repeating), if any: the desktop
// player's keys, with f or Alt+Enter for full screen (F11 and Esc are the
// browser's own, and a page does not quit).
std::optional<PageCommand> command_for_key(std::string_view key, bool alt, bool shift, bool repeat);

// Offers the picture the view presented last, turned as the page shows it,
// as a PNG download named `name`.
void download_picture(const std::string& name);

// Passes the viewer's commands (keys anywhere on the page, a double-click on
// the picture) to `on_command`, and the tab's visibility to `on_visible`.
void listen(std::function<void(const PageCommand&)> on_command, std::function<void(bool visible)> on_visible);

// Puts the picture full screen, or takes it out.
void toggle_fullscreen();

// Hands the main run loop to the browser: from now on each animation frame
// runs animation_frame, until the loop is stopped or the show ends the
// process. Returns at once.
void run_from_animation_frames();

// One animation frame at the browser's time stamp `now_ms`: fires the timers
// due by then (within half a frame, so that a timer of the display's own
// period fires in every frame however the two drift), and then the run
// loop's after-turn hook. False once the main run loop has been stopped.
bool animation_frame(double now_ms);

}  // namespace platform::web
