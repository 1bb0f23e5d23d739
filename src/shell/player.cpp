#include "shell/player.h"

#include <algorithm>
#include <cstdio>

#include "engine/demo.h"
#include "engine/schedule.h"
#include "platform/run_loop.h"
#include "shell/av_player.h"
#include "shell/main_interface.h"

namespace {

// The start of the part before the one at t, or of the part at t when well
// into it: pressed again just after a part's start, "previous part" walks
// back part by part.
double previous_part_start(double t) {
  double start = 0;
  for (const ShowPart& p : kPicturedParts) {
    if (p.begin < t - 1) start = p.begin;
  }
  return start;
}

}  // namespace

std::string screenshot_name(double seconds) {
  char name[48];
  std::snprintf(name, sizeof name, "velmora-%08.3f.png", std::max(seconds, 0.0));
  return name;
}

Player::Player(MainInterface& ui) : ui_(ui) {}

Player::~Player() {
  if (settleTimer_) settleTimer_->invalidate();
  setLoop(false);
}

bool Player::ready() const { return ui_.handOff().recorded() && (paused_ || ui_.view().animationTimer()); }

double Player::now() const {
  if (paused_) return pausedAt_;
  return ui_.view().animationTimer() ? ui_.view().lastFrameTime() : 0;
}

double Player::target() const { return pending_ ? *pending_ : now(); }

DisplayState Player::display() const {
  DisplayState d;
  d.time = target();
  d.length = kShowEnd;
  d.part = show_part_at(d.time).name;
  d.paused = paused_;
  d.muted = muted_;
  d.volume = volume();
  return d;
}

void Player::setLoop(bool loop) {
  if (loop) {
    // The frame past the end is the show's first again.
    ui_.view().setPastTheEnd([this] {
      pending_ = 0.0;
      settle();
    });
  } else {
    ui_.view().setPastTheEnd(nullptr);
  }
}

void Player::handle(const PlayerCommand& c) {
  using C = PlayerCommand;
  // Before the start-up is over there is no show to control yet; quitting
  // is always possible.
  if (c.kind != C::Quit && !ready()) return;
  switch (c.kind) {
    case C::TogglePause:
      togglePause();
      break;
    case C::SeekBy:
      seekLater(target() + c.value);
      break;
    case C::SeekTo:
      seekLater(c.value);
      break;
    case C::Step:
      step(c.value);
      break;
    case C::StepIfPaused:
      if (paused_) step(c.value);
      break;
    case C::PreviousPart:
      seekLater(previous_part_start(target()));
      break;
    case C::NextPart:
      for (const ShowPart& p : kPicturedParts) {
        if (p.begin > target() + 1e-3) {
          seekLater(p.begin);
          break;
        }
      }
      break;
    case C::Scene:
      for (const ShowPart& p : kPicturedParts) {
        if (p.scene == static_cast<int>(c.value)) {
          seekLater(p.begin);
          break;
        }
      }
      break;
    case C::ToggleMute:
      muted_ = !muted_;
      applyVolume();
      break;
    case C::Volume:
      volume_ = std::clamp(volume_ + static_cast<int>(c.value), 0, 10);
      muted_ = false;
      applyVolume();
      break;
    case C::Screenshot:
      // Of the picture the commands before it lead to.
      settle();
      if (c.value > 0 && onSharpScreenshot) {
        onSharpScreenshot(now(), static_cast<int>(c.value));
      } else if (onScreenshot) {
        onScreenshot(now());
      }
      break;
    case C::Quit:
      ui_.application().terminate(0);
      break;
  }
}

void Player::togglePause() {
  if (!paused_) {
    pause();
  } else {
    set_demo_time(pausedAt_);
    avAudioSetPaused(false);
    ui_.view().resumeAnimation();
    paused_ = false;
  }
}

// Holds the picture shown, and the music with it.
void Player::pause() {
  // Held at the frame shown, so that a picture saved while paused is the
  // one its name says, and playing on starts where the picture stands.
  EAGLView& view = ui_.view();
  pausedAt_ = view.animationTimer() && !pending_ ? view.lastFrameTime() : now();
  view.stopAnimation();
  avAudioSetPaused(true);
  paused_ = true;
}

// A seek's target, carried out at the next turn with whatever follows it
// this turn. The end stops the show on its last frame at once, as a seek
// carried out there would.
void Player::seekLater(double target) {
  pending_ = std::clamp(target, 0.0, kShowEnd);
  if (*pending_ >= kShowEnd && !paused_) pause();
  if (!settleTimer_) {
    settleTimer_ = platform::NSTimer::scheduledTimerWithTimeInterval(
        0,
        [this] {
          settleTimer_ = nullptr;
          settle();
        },
        false);
  }
}

// The picture of a straight run at the target, paused or not; the clock goes
// there and the music follows it.
void Player::settle() {
  if (settleTimer_) {
    settleTimer_->invalidate();
    settleTimer_ = nullptr;
  }
  if (!pending_) return;
  const double target = *pending_;
  pending_.reset();
  ui_.handOffTo(target);
  ui_.view().drawViewAt(target);
  if (paused_) {
    pausedAt_ = target;
  } else {
    set_demo_time(target);
  }
}

void Player::step(double frames) {
  if (!paused_) pause();
  seekLater(target() + frames / 60);
}

void Player::applyVolume() { avAudioSetVolume(muted_ ? 0.0f : static_cast<float>(volume_) / 10); }
