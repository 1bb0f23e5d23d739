#pragma once
// What the phone's main interface file put together: a 320 x 480 layer, the
// GL view on it, the application delegate connected to both, and the
// application object that lays the view out and sends the launch call-backs.
#include <cstdint>
#include <memory>

#include "platform/application.h"
#include "platform/eagl.h"
#include "shell/app_delegate.h"
#include "shell/eagl_view.h"
#include "shell/hand_off.h"

// The phone's screen; a render scale multiplies it.
constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 480;
constexpr int kMaxRenderScale = 8;

class MainInterface {
 public:
  // Presentations go to `sink` (a window, a captured frame, nowhere). The
  // layer is the phone's screen times `render_scale`.
  explicit MainInterface(platform::FrameSink* sink, int render_scale = 1);

  // False when no OpenGL ES 1.1 context could be created.
  bool ready() const { return view_ != nullptr; }

  // Lays the view out (one black frame) and sends the launch call-backs; the
  // start-up then runs from the main run loop's timers.
  void launch();
  // Runs the main run loop until the animation has started (the start-up is
  // over). False if the loop ended first.
  bool runStartUp();

  // Plays from `seconds` into the show instead of from its start: the demo
  // clock and the music start there, and the first frame is drawn as a run
  // from the start would draw it. Call before launch().
  void startAt(double seconds);

  // Draws at another multiple of the phone's screen from now on. Before the
  // launch it only sizes the layer; once the show runs, the view is laid out
  // again and brought, unseen, to the state of the moment it shows.
  void setRenderScale(int scale);
  int renderScale() const { return renderScale_; }

  // Decodes every picture loaded so far again, from where the bundle's
  // pictures are read now (platform::setPictureFolder), and then draws the
  // moment shown again: the show switches to sharper pictures part-way.
  void reloadPictures();

  // A live run's hand-off: the show brought, unseen, to the state just
  // before the frame at t, drawing the frames at the demo times a run at 60
  // frames a second draws them (a start part-way, a seek, a new layout).
  void handOffTo(double t);

  // What the start-up left, for starting anywhere (recorded when the assets
  // are loaded).
  const ShowHandOff& handOff() const { return handOff_; }

  EAGLView& view() { return *view_; }
  platform::UIApplication& application() { return *application_; }
  platform::CAEAGLLayer& layer() { return layer_; }

 private:
  platform::CAEAGLLayer layer_;
  std::unique_ptr<EAGLView> view_;
  velmoraAppDelegate delegate_;
  std::unique_ptr<platform::UIApplication> application_;
  ShowHandOff handOff_;
  // Brings the show, unseen, to the state of the moment shown and draws it
  // again (after a new layout or new pictures), once the start-up is over.
  void redrawShown();

  bool handOffAtStart_ = false;
  int renderScale_ = 1;
  bool launched_ = false;
};

// The render scale for a picture shown `w` x `h` output pixels large, of a
// show whose picture is `base_w` x `base_h` at scale 1: the smallest as sharp
// as it is shown, at most kMaxRenderScale.
int scale_for(int w, int h, int base_w, int base_h);

// Deterministic runs draw frames at chosen demo times on the virtual clock:
// the clock is set to the animation's start plus `demo_time` and the view
// draws one frame, exactly as its timer would.
void draw_frame_at(EAGLView& view, std::int64_t animation_start_us, double demo_time);
// The same frame drawn but not presented.
void draw_unseen_frame_at(EAGLView& view, std::int64_t animation_start_us, double demo_time);
