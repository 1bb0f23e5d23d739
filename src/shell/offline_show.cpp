#include "shell/offline_show.h"

#include "platform/clock.h"
#include "platform/log.h"
#include "shell/av_player.h"

namespace {
// The virtual clock and the silence must be in place before the interface
// is built: its view takes the clock, its start-up the player. The load log
// is the live show's; offline commands' output is their own.
platform::CaptureSink* prepare(platform::CaptureSink* sink) {
  platform::use_virtual_clock();
  avAudioSetEnabled(false);
  platform::setLoadLog(nullptr);
  return sink;
}
}  // namespace

OfflineShow::OfflineShow(int render_scale) : ui_(prepare(&capture_), render_scale) {
  if (!ui_.ready()) return;
  ui_.launch();
  if (ui_.runStartUp()) start_ = platform::virtual_now_us();
}

void OfflineShow::drawFrame(double t) { draw_frame_at(ui_.view(), start_, t); }

void OfflineShow::prepareFor(double t, double fps) {
  ui_.handOff().prepare(t, 1.0 / fps, [this](double u) { draw_unseen_frame_at(ui_.view(), start_, u); });
}

void OfflineShow::drawStill(double t) {
  prepareFor(t);
  drawFrame(t);
}

void OfflineShow::setSink(platform::FrameSink* sink) { ui_.layer().setSink(sink ? sink : &capture_); }
