#include "shell/web/page_player.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>

#include "engine/schedule.h"
#include "platform/bundle.h"
#include "platform/eagl.h"
#include "platform/web/page.h"
#include "shell/eagl_view.h"
#include "shell/main_interface.h"
#include "shell/player.h"

namespace {

// The control bar shows for two seconds after the viewer's last key, move or
// tap, and stays while the show is paused.
constexpr DisplayTiming kPageDisplay{2'000'000'000, true};

// A loop goes back to the start this close to the end: before the frame
// that would end the show.
constexpr double kLoopMargin = 0.25;

// The page's script (web/page.js) draws the display from this, after every
// frame: the moment and the show's length in seconds, the part's name, the
// player's state, whether the display is shown, and the render scale.
EM_JS(void, page_display,
      (double time, double length, const char* part, int paused, int muted, int volume, int shown, int scale), {
        Module["velmoraPage"].display({
          time : time,
          length : length,
          part : UTF8ToString(part),
          paused : paused !== 0,
          muted : muted !== 0,
          volume : volume,
          shown : shown !== 0,
          scale : scale
        });
      });

// The show stands at its first moment, paused: the page shows it.
EM_JS(void, page_opened, (double moment), { Module["velmoraPage"].opened(moment); });

EM_JS(void, page_copy_link, (double moment), { Module["velmoraPage"].copyLink(moment); });

// The show draws with the sharper pictures from this frame on.
EM_JS(void, page_pictures_switched, (), { Module["velmoraPage"].picturesSwitched(); });

}  // namespace

PagePlayer::PagePlayer(MainInterface& ui, Player& player, Options options)
    : ui_(ui),
      player_(player),
      options_(options),
      display_([&player] { return player.display(); }, kPageDisplay),
      software_(platform::software_renderer()) {
  platform::web::on_frames([this] { beforeFrame(); }, [this] { afterFrame(); });
}

void PagePlayer::launch() {
  launched_ = true;
  ui_.launch();
  platform::web::run_from_animation_frames();
}

int PagePlayer::wantedScale() const {
  if (options_.fixedScale > 0) return std::clamp(options_.fixedScale, 1, kPageMaxRenderScale);
  // A renderer on the processor cannot fill many times the phone's pixels.
  if (software_) return 1;
  return std::min(scale_for(deviceW_, deviceH_, kScreenHeight, kScreenWidth), kPageMaxRenderScale);
}

void PagePlayer::setLayout(int device_w, int device_h, int picture_w, const ProgressBar& bar) {
  deviceW_ = device_w;
  deviceH_ = device_h;
  pictureW_ = picture_w;
  bar_ = bar;
  // Before the launch the layer is only sized; later the next frame lays
  // the view out again, once however often the page resizes in between.
  if (!launched_) ui_.setRenderScale(wantedScale());
}

void PagePlayer::picturesArrived() { picturesArrived_ = true; }

void PagePlayer::play(double from) {
  if (!opened_) return;
  if (std::abs(player_.now() - from) > 1e-6) player_.handle(PlayerCommand{PlayerCommand::SeekTo, from});
  if (player_.paused()) player_.handle(PlayerCommand{PlayerCommand::TogglePause});
  display_.show();
}

bool PagePlayer::key(const platform::KeyPress& key) {
  if (!opened_) return false;
  const auto control = control_for_key(key);
  return control && carryOut(*control);
}

bool PagePlayer::pointer(const platform::PointerEvent& event) {
  if (!opened_) return false;
  if (event.kind == platform::PointerEvent::Move) display_.show();
  ProgressBar bar = bar_;
  bar.shown = display_.shown();
  const auto control = pointer_.handle(event, bar, pictureW_);
  return control && carryOut(*control);
}

bool PagePlayer::carryOut(const Control& control) {
  switch (control.kind) {
    case Control::Player:
      if (control.command.kind == PlayerCommand::Quit) return false;  // a page does not quit
      player_.handle(control.command);
      display_.show(control.command);
      return true;
    case Control::ToggleFullscreen:
      platform::web::toggle_fullscreen();
      return true;
    case Control::ShowDisplay:
      display_.show();
      return true;
    case Control::CopyLink:
      page_copy_link(player_.now());
      display_.show();
      return true;
    case Control::LeaveFullscreenOrQuit:  // Esc is the browser's
      return false;
  }
  return false;
}

void PagePlayer::beforeFrame() {
  if (!opened_ && ui_.handOff().recorded()) {
    // The start-up is over: the first moment, exactly as a run draws it.
    if (!player_.paused()) player_.handle(PlayerCommand{PlayerCommand::TogglePause});
    player_.handle(PlayerCommand{PlayerCommand::SeekTo, options_.first});
    opened_ = true;
    page_opened(options_.first);
  }
  if (const int scale = wantedScale(); scale != ui_.renderScale()) ui_.setRenderScale(scale);
  if (picturesArrived_ && !picturesApplied_) {
    picturesApplied_ = true;
    platform::setPictureFolder(platform::highResolutionFolder());
    ui_.reloadPictures();
    page_pictures_switched();
  }
  if (!opened_) return;
  if (const auto control = pointer_.endOfTurn(bar_)) carryOut(*control);
  if (options_.loop && !player_.paused() && demo_time_now() >= kShowEnd - kLoopMargin) {
    player_.handle(PlayerCommand{PlayerCommand::SeekTo, 0});
  }
}

void PagePlayer::afterFrame() {
  if (!opened_) return;
  const DisplayState d = display_.state();
  page_display(d.time, d.length, d.part, d.paused, d.muted, d.volume, display_.shown(), ui_.renderScale());
}
