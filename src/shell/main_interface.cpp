#include "shell/main_interface.h"

#include <cmath>

#include "engine/demo.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/window.h"
#include "shell/av_player.h"

MainInterface::MainInterface(platform::FrameSink* sink, platform::Window* window)
    : layer_(kScreenWidth, kScreenHeight, sink) {
  view_ = EAGLView::initWithLayer(&layer_);
  if (!view_) return;
  delegate_.setWindow(window);
  delegate_.setGlView(view_.get());
  delegate_.onLoaded = [this] {
    handOff_.record();
    if (handOffAtStart_) {
      // Drawn with the demo times a live run would have drawn them at.
      EAGLView& view = *view_;
      handOff_.prepare(start_offset(), view.animationInterval(), [&view](double u) {
        view.setContext();
        demo_playback(static_cast<float>(u));
      });
    }
  };
  application_ = std::make_unique<platform::UIApplication>(delegate_, *view_);
  if (window) {
    platform::UIApplication* app = application_.get();
    // Without a player, the window's one command is to quit.
    window->onCommand = [app](const platform::PlayerCommand& c) {
      if (c.kind == platform::PlayerCommand::Quit) app->terminate(0);
    };
    window->onActivity = [app](bool active) { app->setActive(active); };
    platform::NSRunLoop::mainRunLoop().setEventSource(window);
  }
}

MainInterface::~MainInterface() { platform::NSRunLoop::mainRunLoop().setEventSource(nullptr); }

void MainInterface::launch() {
  avAudioPrefetch();
  application_->launch();
}

void MainInterface::startAt(double seconds) {
  set_start_offset(seconds);
  handOffAtStart_ = seconds > 0;
}

bool MainInterface::runStartUp() {
  return platform::NSRunLoop::mainRunLoop().runUntil([this] { return view_->animationTimer() != nullptr; });
}

void draw_frame_at(EAGLView& view, std::int64_t animation_start_us, double demo_time) {
  platform::set_virtual_now_us(animation_start_us + std::llround(demo_time * 1e6));
  view.drawView();
}

void draw_unseen_frame_at(EAGLView& view, std::int64_t animation_start_us, double demo_time) {
  platform::set_virtual_now_us(animation_start_us + std::llround(demo_time * 1e6));
  view.setContext();
  demo_playback(get_time());
}
