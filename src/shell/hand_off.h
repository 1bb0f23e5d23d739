#pragma once
// Starting the show anywhere as if it had played from the start. Each scene
// takes GL state from the one before it (blending, the depth function,
// enabled arrays, bindings; the closing picture even adds its first frame
// onto the cube scene's last), and the glow levels carry the cube's glow into
// later frames. So a start, a still, a capture or a seek at t first puts back
// what the start-up left, then draws, unseen, the frames whose state the
// frame at t inherits: the first and last frame of every earlier part of the
// show, the first frame of t's own part, and the frame just before t, on the
// run's own frame grid.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gl_state.h"

class ShowHandOff {
 public:
  // Takes the state the asset set-up leaves; call once, before any frame.
  void record();
  bool recorded() const { return recorded_; }

  // Brings the show to the state just before the frame at t, frames being
  // `period` seconds apart. `draw_unseen(u)` draws the frame at u without
  // presenting it.
  void prepare(double t, double period, const std::function<void(double u)>& draw_unseen) const;

  // The demo times prepare(t, period) draws, in order (for tests).
  static std::vector<double> frames_before(double t, double period);

 private:
  platform::GlState state_;
  std::vector<std::uint8_t> glow_[2];  // glow levels 4 and 5, the ones the cube scene redraws
  int coords_[3] = {};
  bool recorded_ = false;
};
