#pragma once
// The player's line on the terminal, as common players keep one: while the
// show plays (in a window or headless), one line at the foot of the terminal
// says the time, the length, the part and whether it is paused or muted,
// rewritten in place a few times a second when it changes, and cleared at
// exit. Only when standard error is a terminal: nothing of it ever goes to a
// file or a pipe.
#include <cstddef>

class Player;
namespace platform {
class NSTimer;
}

class TerminalStatus {
 public:
  // Keeps the line while it lives, if standard error is a terminal.
  explicit TerminalStatus(const Player& player);
  ~TerminalStatus();
  TerminalStatus(const TerminalStatus&) = delete;
  TerminalStatus& operator=(const TerminalStatus&) = delete;

 private:
  void update();

  const Player& player_;
  platform::NSTimer* timer_ = nullptr;
  char shown_[128] = {};
};

// The line for the player's state, at most `size` - 1 characters:
// "0:41 / 3:10  Metaballs", the time in hundredths while paused, then
// "  paused", and "  muted" or "  volume 70%" when the volume is not full.
void status_text(const Player& player, char* out, std::size_t size);
