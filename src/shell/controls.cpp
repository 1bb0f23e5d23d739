#include "shell/controls.h"

#include <algorithm>

namespace {

using C = PlayerCommand;
using K = platform::KeyPress;

Control player(C::Kind kind, double value = 0) { return Control{Control::Player, C{kind, value}}; }

bool on_bar(const ProgressBar& bar, const platform::PointerEvent& e) {
  return e.x >= bar.x && e.x < bar.x + bar.w && e.y >= bar.y && e.y < bar.y + bar.h;
}

Control seek_along(const ProgressBar& bar, int x) {
  const double fraction = std::clamp(static_cast<double>(x - bar.x) / std::max(bar.w, 1), 0.0, 1.0);
  return player(C::SeekTo, fraction * bar.length);
}

}  // namespace

bool operator==(const Control& a, const Control& b) {
  return a.kind == b.kind && (a.kind != Control::Player || a.command == b.command);
}

std::optional<Control> control_for_key(const platform::KeyPress& key) {
  // The moves through the show, also while the key repeats.
  switch (key.named) {
    case K::Left:
      return key.shift ? player(C::Step, -1) : player(C::SeekBy, -5);
    case K::Right:
      return key.shift ? player(C::Step, 1) : player(C::SeekBy, 5);
    case K::Up:
      return player(C::SeekBy, 30);
    case K::Down:
      return player(C::SeekBy, -30);
    default:
      break;
  }
  if (key.character == ',') return player(C::StepIfPaused, -1);
  if (key.character == '.') return player(C::StepIfPaused, 1);
  if (key.repeat) return std::nullopt;
  switch (key.named) {
    case K::PageUp:
      return player(C::PreviousPart);
    case K::PageDown:
      return player(C::NextPart);
    case K::Home:
      return player(C::SeekTo, 0);
    case K::F11:
      return Control{Control::ToggleFullscreen};
    case K::Enter:
      if (key.alt) return Control{Control::ToggleFullscreen};
      return std::nullopt;
    case K::Escape:
      return Control{Control::LeaveFullscreenOrQuit};
    default:
      break;
  }
  switch (key.character) {
    case ' ':
    case 'p':
      return player(C::TogglePause);
    case 'm':
      return player(C::ToggleMute);
    case '9':
      return player(C::Volume, -1);
    case '0':
      return player(C::Volume, 1);
    case 's':
      return player(C::Screenshot, key.shift ? kSharpScreenshotScale : 0);
    case 'q':
      return player(C::Quit);
    case 'f':
      return Control{Control::ToggleFullscreen};
    case 'c':
      return Control{Control::CopyLink};
    default:
      break;
  }
  if (key.character >= '1' && key.character <= '5') return player(C::Scene, key.character - '0');
  return std::nullopt;
}

std::optional<Control> PointerControls::handle(const platform::PointerEvent& event, const ProgressBar& bar,
                                               int picture_w) {
  using P = platform::PointerEvent;
  switch (event.kind) {
    case P::Press:
    case P::DoubleClick:
      if (event.button == P::Secondary) return player(C::TogglePause);
      if (event.button != P::Primary) return std::nullopt;
      if (on_bar(bar, event)) {
        dragging_ = true;
        return seek_along(bar, event.x);
      }
      if (event.kind == P::DoubleClick) return Control{Control::ToggleFullscreen};
      return std::nullopt;
    case P::Move:
      if (dragging_) pendingX_ = event.x;
      return std::nullopt;
    case P::Release:
      dragging_ = false;
      return std::nullopt;
    case P::Wheel:
      if (event.steps == 0) return std::nullopt;
      return player(C::SeekBy, kWheelStepSeconds * event.steps);
    case P::Tap:
      return bar.shown ? player(C::TogglePause) : Control{Control::ShowDisplay};
    case P::DoubleTap:
      if (event.x < picture_w / 3) return player(C::SeekBy, -5);
      if (event.x >= picture_w - picture_w / 3) return player(C::SeekBy, 5);
      return Control{Control::ToggleFullscreen};
  }
  return std::nullopt;
}

std::optional<Control> PointerControls::endOfTurn(const ProgressBar& bar) {
  if (pendingX_ < 0) return std::nullopt;
  const int x = pendingX_;
  pendingX_ = -1;
  return seek_along(bar, x);
}
