#pragma once
// The one on-screen view: owns the GL context, the on-screen framebuffer (a
// colour renderbuffer whose storage is the layer, plus a 16-bit depth
// buffer), the repeating frame timer and, with the two free functions below,
// the demo clock.
#include <functional>
#include <memory>
#include <utility>

#include "platform/application.h"
#include "platform/eagl.h"
#include "platform/gl.h"
#include "platform/run_loop.h"

class EAGLView final : public platform::View {
 public:
  // Creates the view on `layer` with its own OpenGL ES 1 context, current on
  // return. Null when no context can be created or made current.
  static std::unique_ptr<EAGLView> initWithLayer(platform::CAEAGLLayer* layer);
  ~EAGLView() override;
  EAGLView(const EAGLView&) = delete;
  EAGLView& operator=(const EAGLView&) = delete;

  // Rebuilds the framebuffer at the layer's size and presents one black frame.
  void layoutSubviews() override;
  bool createFramebuffer();
  void destroyFramebuffer();

  // The per-frame bind: context current, on-screen framebuffer bound, full viewport.
  void setContext();
  // Presents the colour renderbuffer.
  void blit();

  void startAnimation();
  void stopAnimation();
  // Starts the frame timer again after stopAnimation, leaving the clock as
  // it is (the player's resume).
  void resumeAnimation();
  // One frame: setContext, demo_playback(get_time()), blit.
  void drawView();
  // What the frame timer does once the clock has passed the show's end,
  // instead of the frame that ends the show (the player's loop). None: the
  // show ends.
  void setPastTheEnd(std::function<void()> action) { pastTheEnd_ = std::move(action); }
  // One frame of a chosen moment (the player's seeks), drawn and presented.
  void drawViewAt(double t);
  // The moment of the frame drawn last (from the start of the animation,
  // the moment it starts at).
  double lastFrameTime() const { return lastFrameTime_; }

  platform::NSTimer* animationTimer() const { return animationTimer_; }
  void setAnimationTimer(platform::NSTimer* timer);
  double animationInterval() const { return animationInterval_; }
  void setAnimationInterval(double interval);

  platform::EAGLContext* context() const { return context_.get(); }
  platform::CAEAGLLayer* layer() const { return layer_; }
  GLint backingWidth() const { return backingWidth_; }
  GLint backingHeight() const { return backingHeight_; }
  GLuint viewRenderbuffer() const { return viewRenderbuffer_; }
  GLuint viewFramebuffer() const { return viewFramebuffer_; }
  GLuint depthRenderbuffer() const { return depthRenderbuffer_; }

 private:
  explicit EAGLView(platform::CAEAGLLayer* layer) : layer_(layer) {}
  void scheduleFrameTimer();

  GLint backingWidth_ = 0;
  GLint backingHeight_ = 0;
  std::unique_ptr<platform::EAGLContext> context_;
  GLuint viewRenderbuffer_ = 0;
  GLuint viewFramebuffer_ = 0;
  GLuint depthRenderbuffer_ = 0;
  platform::NSTimer* animationTimer_ = nullptr;  // owned by the run loop
  double animationInterval_ = 0;
  double lastFrameTime_ = 0;
  std::function<void()> pastTheEnd_;
  platform::CAEAGLLayer* layer_;
};

// The demo clock: seconds since the animation started, from the monotonic
// clock (platform::clock_reading).
// The arithmetic is double; only the difference is narrowed to float.
void set_basetime();
float get_time();

// The player's hold on the clock: demo time becomes `seconds` now (a seek, a
// resume). And demo time, unrounded, at a reading of the monotonic clock in
// seconds, for the sound's own thread.
void set_demo_time(double seconds);
double demo_time_at(double clock_seconds);
// Demo time now, unrounded.
double demo_time_now();

// Seconds of the show already behind when the animation starts (play --from):
// demo time starts there instead of at 0.
void set_start_offset(double seconds);
double start_offset();
