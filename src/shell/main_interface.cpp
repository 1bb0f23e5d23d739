#include "shell/main_interface.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "assets/texture.h"
#include "engine/demo.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "shell/av_player.h"

MainInterface::MainInterface(platform::FrameSink* sink, int render_scale)
    : layer_(kScreenWidth * render_scale, kScreenHeight * render_scale, sink), renderScale_(render_scale) {
  view_ = EAGLView::initWithLayer(&layer_);
  if (!view_) return;
  delegate_.setGlView(view_.get());
  delegate_.onLoaded = [this] {
    handOff_.record();
    if (handOffAtStart_) handOffTo(start_offset());
  };
  application_ = std::make_unique<platform::UIApplication>(delegate_, *view_);
}

void MainInterface::launch() {
  avAudioPrefetch();
  launched_ = true;
  application_->launch();
}

void MainInterface::setRenderScale(int scale) {
  if (scale == renderScale_) return;
  renderScale_ = scale;
  layer_.setSize(kScreenWidth * scale, kScreenHeight * scale);
  if (!launched_) return;  // laid out at the launch
  view_->layoutSubviews();
  redrawShown();  // the start-up's frames are drawn at the new size
}

void MainInterface::reloadPictures() {
  if (!texture::mLoadedTextures) return;
  view_->setContext();
  for (auto& [name, picture] : *texture::mLoadedTextures) {
    const GLuint old = picture->texId;
    picture->SetupForPNG(name);  // a new texture under the same record
    glDeleteTextures(1, &old);
  }
  redrawShown();
}

void MainInterface::redrawShown() {
  if (!handOff_.recorded()) return;
  const double now = view_->lastFrameTime();
  handOffTo(now);
  view_->drawViewAt(now);
}

int scale_for(int w, int h, int base_w, int base_h) {
  const double shown = std::min(static_cast<double>(w) / base_w, static_cast<double>(h) / base_h);
  return std::clamp(static_cast<int>(std::ceil(shown - 1e-9)), 1, kMaxRenderScale);
}

void MainInterface::handOffTo(double t) {
  EAGLView& view = *view_;
  handOff_.prepare(t, 1.0 / 60, [&view](double u) {
    view.setContext();
    demo_playback(static_cast<float>(u));
  });
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
