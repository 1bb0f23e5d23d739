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
  // Takes the window's commands and feeds its on-screen display.
  Player(MainInterface& ui, platform::Window& window);

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
  bool paused_ = false;
  double pausedAt_ = 0;
  bool muted_ = false;
  int volume_ = 10;  // tenths
};

// Where screenshots go: $XDG_PICTURES_DIR, else the current folder.
std::string pictures_folder();
// "velmora-0142.250.png" for 142.25 s.
std::string screenshot_name(double seconds);
