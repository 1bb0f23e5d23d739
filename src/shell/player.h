#pragma once
// The player: what a viewer can do with the show besides watching it. Pause
// and resume (picture and music together), seek by seconds, by frames, by
// part and by scene, mute and set the volume, and ask for the picture shown.
// A seek draws exactly the picture a straight run draws at the target
// (through the hand-off), and the music follows the demo clock there by
// itself. The show's drawing is never changed. Where the show is shown (the
// desktop window, a web page) feeds it commands and shows its display.
#include <functional>
#include <string>

#include "shell/on_screen_display.h"
#include "shell/player_commands.h"

class MainInterface;

class Player {
 public:
  explicit Player(MainInterface& ui);

  void handle(const PlayerCommand& command);
  DisplayState display() const;

  bool paused() const { return paused_; }
  // The moment shown now.
  double now() const;

  // What a screenshot is where the show is shown (a file, a download), given
  // the moment of the picture shown.
  std::function<void(double moment)> onScreenshot;

 private:
  void togglePause();
  void seek(double target);
  void step(double frames);
  void applyVolume();

  MainInterface& ui_;
  bool paused_ = false;
  double pausedAt_ = 0;
  bool muted_ = false;
  int volume_ = 10;  // tenths
};

// "velmora-0142.250.png" for 142.25 s.
std::string screenshot_name(double seconds);
