#include "shell/player.h"

#include <algorithm>
#include <cstdio>

#include "engine/demo.h"
#include "engine/schedule.h"
#include "shell/av_player.h"
#include "shell/main_interface.h"

std::string screenshot_name(double seconds) {
  char name[48];
  std::snprintf(name, sizeof name, "velmora-%08.3f.png", std::max(seconds, 0.0));
  return name;
}

Player::Player(MainInterface& ui) : ui_(ui) {}

double Player::now() const {
  if (paused_) return pausedAt_;
  return ui_.view().animationTimer() ? ui_.view().lastFrameTime() : 0;
}

DisplayState Player::display() const {
  DisplayState d;
  d.time = now();
  d.length = kShowEnd;
  d.part = show_part_at(d.time).name;
  d.paused = paused_;
  d.muted = muted_;
  d.volume = volume_ * 10;
  return d;
}

void Player::handle(const PlayerCommand& c) {
  using C = PlayerCommand;
  // Before the start-up is over there is no show to control yet; quitting
  // is always possible.
  if (c.kind != C::Quit && !ui_.handOff().recorded()) return;
  switch (c.kind) {
    case C::TogglePause:
      togglePause();
      break;
    case C::SeekBy:
      seek(now() + c.value);
      break;
    case C::SeekTo:
      seek(c.value);
      break;
    case C::Step:
      step(c.value);
      break;
    case C::StepIfPaused:
      if (paused_) step(c.value);
      break;
    case C::PreviousPart: {
      // The start of the part before this one, or of this one when well into it.
      double target = 0;
      for (const ShowPart& p : kPicturedParts) {
        if (p.begin < now() - 1) target = p.begin;
      }
      seek(target);
      break;
    }
    case C::NextPart:
      for (const ShowPart& p : kPicturedParts) {
        if (p.begin > now() + 1e-3) {
          seek(p.begin);
          break;
        }
      }
      break;
    case C::Scene:
      for (const ShowPart& p : kPicturedParts) {
        if (p.scene == static_cast<int>(c.value)) {
          seek(p.begin);
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
      if (onScreenshot) onScreenshot(now());
      break;
    case C::Quit:
      ui_.application().terminate(0);
      break;
  }
}

void Player::togglePause() {
  EAGLView& view = ui_.view();
  if (!paused_) {
    // Held at the frame shown, so that a picture saved while paused is the
    // one its name says, and playing on starts where the picture stands.
    pausedAt_ = view.animationTimer() ? view.lastFrameTime() : demo_time_now();
    view.stopAnimation();
    avAudioSetPaused(true);
    paused_ = true;
  } else {
    set_demo_time(pausedAt_);
    avAudioSetPaused(false);
    view.resumeAnimation();
    paused_ = false;
  }
}

// The picture of a straight run at the target, at once, paused or not; the
// clock goes there and the music follows it.
void Player::seek(double target) {
  target = std::clamp(target, 0.0, kShowEnd);
  ui_.handOffTo(target);
  ui_.view().drawViewAt(target);
  if (paused_) {
    pausedAt_ = target;
  } else {
    set_demo_time(target);
  }
}

void Player::step(double frames) {
  if (!paused_) togglePause();
  seek(pausedAt_ + frames / 60);
}

void Player::applyVolume() { avAudioSetVolume(muted_ ? 0.0f : static_cast<float>(volume_) / 10); }
