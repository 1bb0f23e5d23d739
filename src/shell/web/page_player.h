#pragma once
// The player at the page, as shell/desktop/window_player.h is at the window.
// The show opens paused at a first moment (the poster's, or the one the
// address names) as soon as its start-up is over, and plays when the viewer
// asks. The page's keys and pointer go through the one table of controls
// (shell/controls.h); the on-screen display's model is handed to the page's
// script after every frame, which draws it with the page's own elements and
// never into the picture. The render scale follows the picture's size on the
// screen, and the show switches to the sharper pictures when they arrive.
#include <optional>

#include "platform/input.h"
#include "shell/controls.h"
#include "shell/on_screen_display.h"

class MainInterface;
class Player;

// The page draws at most four times the phone's resolution, the size of the
// bundle's sharper pictures.
constexpr int kPageMaxRenderScale = 4;

class PagePlayer {
 public:
  struct Options {
    double first = 0;     // the moment shown, paused, once the start-up is over
    int fixedScale = 0;   // a render scale the address asks for; 0: chosen by size
    bool loop = false;    // from the start again at the end
  };

  PagePlayer(MainInterface& ui, Player& player, Options options);
  PagePlayer(const PagePlayer&) = delete;
  PagePlayer& operator=(const PagePlayer&) = delete;

  // Starts the show: its start-up runs from the browser's animation frames.
  void launch();

  // Where the picture is on the page: its size in device pixels (which the
  // render scale follows), its width in CSS pixels and the progress bar in
  // CSS pixels from its top-left corner (which the pointer's events use).
  void setLayout(int device_w, int device_h, int picture_w, const ProgressBar& bar);

  // The sharper pictures are in the bundle now: the next frame reads them.
  void picturesArrived();

  // The viewer pressed Play: the show plays from `from`.
  void play(double from);

  // The display, for a moment (the viewer did something the controls do not
  // name, such as moving the focus).
  void showDisplay() { display_.show(); }
  bool key(const platform::KeyPress& key);
  bool pointer(const platform::PointerEvent& event);

  // The render scale the show should draw at, for the size it is shown at.
  int wantedScale() const;

 private:
  void beforeFrame();
  void afterFrame();
  bool carryOut(const Control& control);

  MainInterface& ui_;
  Player& player_;
  Options options_;
  OnScreenDisplay display_;
  PointerControls pointer_;
  ProgressBar bar_;
  int pictureW_ = 0;
  int deviceW_ = 0;
  int deviceH_ = 0;
  bool software_ = false;
  bool launched_ = false;
  bool opened_ = false;  // paused at the first moment
  bool picturesArrived_ = false;
  bool picturesApplied_ = false;
};
