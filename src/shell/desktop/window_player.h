#pragma once
// The player at the desktop window. The window's keys and pointer go through
// the one table of controls (shell/controls.h): the player's commands to the
// player, full screen and Esc to the window. The on-screen display shows for
// a moment after each command and while the pointer moves, drawn over the
// picture by the window; a screenshot is a PNG file among the viewer's
// pictures; and, when asked, the window's size sets the render scale.
#include <functional>
#include <string>

#include "platform/desktop/window.h"
#include "shell/controls.h"
#include "shell/desktop/display_band.h"
#include "shell/on_screen_display.h"
#include "shell/player.h"

class MainInterface;

// The window's controls and display, for any receiver of the player's
// commands (the player, or a test). Detaches from the window when destroyed.
class WindowControls {
 public:
  WindowControls(platform::Window& window, std::function<DisplayState()> state,
                 std::function<void(const PlayerCommand&)> on_command);
  ~WindowControls();
  WindowControls(const WindowControls&) = delete;
  WindowControls& operator=(const WindowControls&) = delete;

  // Shows the on-screen display for a moment.
  void showDisplay();
  const OnScreenDisplay& display() const { return display_; }

 private:
  void carryOut(const Control& control);

  platform::Window& window_;
  std::function<void(const PlayerCommand&)> onCommand_;
  OnScreenDisplay display_;
  DisplayBand band_;
  PointerControls pointer_;
};

// The player at the window, and the window at the application: its events
// feed the main run loop, its visibility the application's activity.
class WindowPlayer {
 public:
  WindowPlayer(Player& player, platform::Window& window, MainInterface& ui, bool choose_scale);
  ~WindowPlayer();
  WindowPlayer(const WindowPlayer&) = delete;
  WindowPlayer& operator=(const WindowPlayer&) = delete;

 private:
  platform::Window& window_;
  WindowControls controls_;
};

// Where screenshots go: $XDG_PICTURES_DIR, else the current folder.
std::string pictures_folder();
