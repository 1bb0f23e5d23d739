#pragma once
// The show run offline on the virtual clock: the whole start-up, silently,
// then frames drawn at chosen demo times, each presented into a captured
// frame. Stills, benchmarks and tests all draw through this.
#include <cstdint>
#include <vector>

#include "platform/frame.h"
#include "shell/main_interface.h"

class OfflineShow {
 public:
  // Runs the start-up from the current bundle directory, on a layer of the
  // phone's screen times `render_scale`. Check ready().
  explicit OfflineShow(int render_scale = 1);
  bool ready() const { return start_ >= 0; }

  // Draws and presents the frame of demo time t, exactly as the frame timer
  // would at that moment.
  void drawFrame(double t);
  // Brings the show, unseen, to the state a run from the start at `fps`
  // frames a second leaves just before the frame at t.
  void prepareFor(double t, double fps = 60);
  // The frame a live run at 60 frames a second presents at t.
  void drawStill(double t);

  // Where presented frames go: the show's own captured frame (null), or
  // another sink (a video).
  void setSink(platform::FrameSink* sink);

  const platform::CaptureSink& frame() const { return capture_; }
  // The latest frame as the viewer sees it.
  std::vector<std::uint8_t> picture(platform::Orientation o) const { return capture_.oriented(o); }
  EAGLView& view() { return ui_.view(); }
  MainInterface& ui() { return ui_; }

 private:
  platform::CaptureSink capture_;
  MainInterface ui_;
  std::int64_t start_ = -1;
};
