#pragma once
// The player: what a viewer can do with the show besides watching it. Pause
// and resume (picture and music together), seek by seconds, by frames, by
// part and by scene, mute and set the volume, and ask for the picture shown.
// A seek draws exactly the picture a straight run draws at the target
// (through the hand-off), and the music follows the demo clock there by
// itself. The show's drawing is never changed. Where the show is shown (the
// desktop window, a web page) feeds it commands and shows its display.
//
// Commands may come faster than frames are drawn (a held key, a storm of
// them): each acts on where the ones before it lead, but the seeks among them
// are carried out once, at the run loop's next turn, with one hand-off and one
// frame however many came. A seek never goes before the start; one that
// reaches the end stops on the show's last frame, paused, instead of ending
// the show. With the loop on, the show starts again from the beginning at its
// end, music included.
#include <functional>
#include <optional>
#include <string>

#include "shell/on_screen_display.h"
#include "shell/player_commands.h"

class MainInterface;
namespace platform {
class NSTimer;
}

class Player {
 public:
  explicit Player(MainInterface& ui);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  void handle(const PlayerCommand& command);
  // Carries out the seek the commands so far lead to, if one is waiting (the
  // run loop's next turn does it by itself).
  void settle();
  DisplayState display() const;

  // Whether there is a show to control yet: the start-up is over and the
  // show plays (or is paused).
  bool ready() const;
  bool paused() const { return paused_; }
  bool muted() const { return muted_; }
  int volume() const { return volume_ * 10; }  // percent
  // The moment shown now.
  double now() const;
  // Where the commands so far lead: a seek's target not carried out yet, or
  // the moment shown.
  double target() const;

  // Plays the show again from the start at its end, instead of ending.
  void setLoop(bool loop);

  // What a screenshot is where the show is shown (a file, a download), given
  // the moment of the picture shown.
  std::function<void(double moment)> onScreenshot;
  // The same moment drawn at a render scale of its own, where that can be
  // done; elsewhere the screenshot above stands in.
  std::function<void(double moment, int render_scale)> onSharpScreenshot;

 private:
  void togglePause();
  void pause();
  void seekLater(double target);
  void step(double frames);
  void applyVolume();

  MainInterface& ui_;
  bool paused_ = false;
  double pausedAt_ = 0;
  bool muted_ = false;
  int volume_ = 10;  // tenths
  std::optional<double> pending_;  // a seek's target, carried out at the next turn
  platform::NSTimer* settleTimer_ = nullptr;
};

// "velmora-0142.250.png" for 142.25 s.
std::string screenshot_name(double seconds);
