#pragma once
// The player: what a viewer at the window can do with the show besides
// watching it. Pause and resume (picture and music together), seek by
// seconds, by frames, by part and by scene, mute and set the volume, and save
// the picture shown. A seek draws exactly the picture a straight run draws at
// the target (through the hand-off) and the music follows the demo clock
// there by itself. The show's drawing is never changed.
#include <string>

#include "platform/window.h"

class MainInterface;

class Player {
 public:
  // Takes the window's commands and feeds its on-screen display. With
  // `choose_scale`, the render scale follows the window's size: the smallest
  // multiple of the phone's screen that is as sharp as the window shows it.
  Player(MainInterface& ui, platform::Window& window, bool choose_scale = false);

  // The render scale for a picture shown `w` x `h` output pixels large, of a
  // show whose picture is `base_w` x `base_h` at scale 1.
  static int scale_for(int w, int h, int base_w, int base_h);

  void handle(const platform::PlayerCommand& command);
  platform::DisplayState display() const;

  bool paused() const { return paused_; }
  // The moment shown now.
  double now() const;

 private:
  void togglePause();
  void seek(double target);
  void step(double frames);
  void screenshot();
  void applyVolume();

  MainInterface& ui_;
  platform::Window& window_;
  bool chooseScale_ = false;
  bool paused_ = false;
  double pausedAt_ = 0;
  bool muted_ = false;
  int volume_ = 10;  // tenths
};

// Where screenshots go: $XDG_PICTURES_DIR, else the current folder.
std::string pictures_folder();
// "velmora-0142.250.png" for 142.25 s.
std::string screenshot_name(double seconds);
