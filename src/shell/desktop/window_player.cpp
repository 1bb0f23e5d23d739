#include "shell/desktop/window_player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/png.h"
#include "platform/run_loop.h"
#include "shell/main_interface.h"

std::string pictures_folder() {
  const char* folder = std::getenv("XDG_PICTURES_DIR");
  return folder && *folder ? folder : ".";
}

WindowControls::WindowControls(platform::Window& window, std::function<DisplayState()> state,
                               std::function<void(const PlayerCommand&)> on_command)
    : window_(window), onCommand_(std::move(on_command)), display_(std::move(state)), band_(display_) {
  window_.setOverlay(&band_);
  window_.onKey = [this](const platform::KeyPress& key) {
    if (const auto control = control_for_key(key)) carryOut(*control);
  };
  window_.onPointer = [this](const platform::PointerEvent& event) {
    if (event.kind == platform::PointerEvent::Move) {
      // The display shows while the pointer moves; drawn anew only when it
      // was not shown.
      const bool was_shown = display_.shown();
      display_.show();
      if (!was_shown) window_.redraw();
    }
    ProgressBar bar = band_.bar();
    bar.shown = window_.overlayDrawn();
    if (const auto control = pointer_.handle(event, bar)) carryOut(*control);
  };
  window_.onEventsHandled = [this] {
    if (const auto control = pointer_.endOfTurn(band_.bar())) carryOut(*control);
  };
  window_.onClose = [this] { onCommand_(PlayerCommand{PlayerCommand::Quit}); };
}

WindowControls::~WindowControls() {
  window_.setOverlay(nullptr);
  window_.onKey = nullptr;
  window_.onPointer = nullptr;
  window_.onEventsHandled = nullptr;
  window_.onClose = nullptr;
}

void WindowControls::showDisplay() {
  display_.show();
  window_.redraw();
}

void WindowControls::carryOut(const Control& control) {
  switch (control.kind) {
    case Control::Player:
      onCommand_(control.command);
      if (control.command.kind != PlayerCommand::Quit) {
        display_.show(control.command);
        window_.redraw();
      }
      break;
    case Control::ToggleFullscreen:
      window_.toggleFullscreen();
      break;
    case Control::ShowDisplay:
      showDisplay();
      break;
    case Control::CopyLink:  // a window has no address to link to
      break;
    case Control::LeaveFullscreenOrQuit:
      // Out of full screen first; only a window is closed by it.
      if (window_.fullscreen()) {
        window_.toggleFullscreen();
      } else {
        onCommand_(PlayerCommand{PlayerCommand::Quit});
      }
      break;
  }
}

WindowPlayer::WindowPlayer(Player& player, platform::Window& window, MainInterface& ui, bool choose_scale)
    : window_(window),
      controls_(window, [&player] { return player.display(); },
                [&player](const PlayerCommand& c) { player.handle(c); }) {
  platform::UIApplication* app = &ui.application();
  window.onActivity = [app](bool active) { app->setActive(active); };
  platform::NSRunLoop::mainRunLoop().setEventSource(&window);
  player.onScreenshot = [&window](double moment) {
    const std::string path = pictures_folder() + "/" + screenshot_name(moment);
    std::string error;
    if (platform::writePng(path, window.pictureWidth(), window.pictureHeight(), window.picture().data(), &error)) {
      std::fprintf(stderr, "velmora: saved %s\n", path.c_str());
    } else {
      std::fprintf(stderr, "velmora: %s\n", error.c_str());
    }
  };
  if (choose_scale) {
    window.onResize = [&window, &ui](int w, int h) {
      const int scale = ui.renderScale();
      ui.setRenderScale(scale_for(w, h, window.pictureWidth() / scale, window.pictureHeight() / scale));
    };
  }
}

WindowPlayer::~WindowPlayer() {
  platform::NSRunLoop::mainRunLoop().setEventSource(nullptr);
  window_.onActivity = nullptr;
  window_.onResize = nullptr;
}
