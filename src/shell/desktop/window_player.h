#pragma once
// The player at the desktop window. The window's keys and pointer go through
// the one table of controls (shell/controls.h): the player's commands to the
// player, full screen and Esc to the window. The on-screen display shows for
// a moment after each command and while the pointer moves, drawn over the
// picture by the window; a screenshot is a PNG file among the viewer's
// pictures, which the display names; and, when asked, the window's size sets
// the render scale.
//
// Keys may come far faster than frames are drawn (a storm of them): the
// window is drawn again and full screen changed at most once a turn of the
// run loop, after all of the turn's events (two changes of full screen in
// one turn are none), as the player carries out the turn's seeks once.
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/desktop/window.h"
#include "shell/controls.h"
#include "shell/desktop/display_band.h"
#include "shell/on_screen_display.h"
#include "shell/player.h"

class MainInterface;
namespace platform {
class NSTimer;
}

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
  // Shows it for a longer moment, saying `note` ("Saved velmora-0041.980.png").
  void say(const std::string& note);
  const OnScreenDisplay& display() const { return display_; }

 private:
  void carryOut(const Control& control);
  void endOfTurn();
  ProgressBar bar() const;

  platform::Window& window_;
  std::function<void(const PlayerCommand&)> onCommand_;
  OnScreenDisplay display_;
  DisplayBand band_;
  PointerControls pointer_;
  bool toggleFullscreen_ = false;  // asked an odd number of times this turn
  bool redraw_ = false;
};

// The sharp screenshot: `velmora still` at a render scale of its own, in a
// process of its own, so that the show plays on while it draws; the window
// says when it is saved.
class SharpScreenshot {
 public:
  explicit SharpScreenshot(std::function<void(const std::string& note)> say) : say_(std::move(say)) {}
  ~SharpScreenshot();
  SharpScreenshot(const SharpScreenshot&) = delete;
  SharpScreenshot& operator=(const SharpScreenshot&) = delete;

  // Starts drawing `moment` at `render_scale` into the pictures folder (one
  // at a time: while one draws, the window says so).
  void take(double moment, int render_scale, platform::Orientation orientation);

 private:
  void poll();

  std::function<void(const std::string&)> say_;
  pid_t child_ = -1;
  int errors_ = -1;  // the read end of the child's standard error
  std::string path_;
  platform::NSTimer* timer_ = nullptr;
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
  Player& player_;
  platform::Window& window_;
  WindowControls controls_;
  SharpScreenshot sharp_;
};

// Where screenshots go: $XDG_PICTURES_DIR; else the pictures folder of the
// user's folders as the desktop keeps them ($XDG_CONFIG_HOME/user-dirs.dirs,
// by default ~/.config/user-dirs.dirs) when it is there; else ~/Pictures when
// it is there; else the current folder.
std::string pictures_folder();

// A path in `folder` for a screenshot of `moment` that no file has yet:
// velmora-0041.980.png, else velmora-0041.980-2.png, -3 and so on. `kind`
// goes before the number ("-4x": velmora-0041.980-4x.png, ...-4x-2.png).
std::string free_screenshot_path(const std::string& folder, double moment, const std::string& kind = "");
