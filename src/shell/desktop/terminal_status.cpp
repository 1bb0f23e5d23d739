#include "shell/desktop/terminal_status.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "engine/schedule.h"
#include "platform/log.h"
#include "platform/run_loop.h"
#include "shell/clock_text.h"
#include "shell/player.h"

namespace {
constexpr double kUpdateSeconds = 0.1;
}  // namespace

void status_text(const Player& player, char* out, std::size_t size) {
  const double time = player.target();
  char volume[24] = "";
  if (player.muted()) {
    std::snprintf(volume, sizeof volume, "  muted");
  } else if (player.volume() < 100) {
    std::snprintf(volume, sizeof volume, "  volume %d%%", player.volume());
  }
  std::snprintf(out, size, "%s  %s%s%s", position_text(time, kShowEnd, player.paused()).c_str(),
                show_part_at(time).name, player.paused() ? "  paused" : "", volume);
}

TerminalStatus::TerminalStatus(const Player& player) : player_(player) {
  if (!isatty(STDERR_FILENO)) return;
  timer_ = platform::NSTimer::scheduledTimerWithTimeInterval(kUpdateSeconds, [this] { update(); }, true);
}

TerminalStatus::~TerminalStatus() {
  if (!timer_) return;
  timer_->invalidate();
  platform::clearStatusLine();
}

void TerminalStatus::update() {
  // Nothing to say during the start-up, which has its own log.
  if (!player_.ready()) return;
  char text[sizeof shown_];
  status_text(player_, text, sizeof text);
  // No wider than the terminal: a line that wraps cannot be rewritten in place.
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 && size.ws_col <= sizeof text) {
    text[size.ws_col - 1] = '\0';
  }
  if (std::strcmp(text, shown_) == 0 && platform::statusLineShown()) return;
  std::memcpy(shown_, text, sizeof shown_);
  platform::setStatusLine(text);
}
