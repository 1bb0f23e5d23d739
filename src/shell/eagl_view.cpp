#include "shell/eagl_view.h"

#include <sys/time.h>

#include <atomic>

#include "engine/demo.h"
#include "engine/schedule.h"
#include "platform/clock.h"
#include "platform/log.h"

using platform::CAEAGLLayer;
using platform::EAGLContext;
using platform::NSTimer;

namespace {
// Read by the sound's thread too (demo_time_at).
std::atomic<double> gBaseTime = 0;
double gStartOffset = 0;

double clock_seconds() {
  const timeval tv = platform::clock_reading();
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
}
}  // namespace

void set_basetime() { gBaseTime = clock_seconds() - gStartOffset; }

float get_time() {
  const double d = clock_seconds() - gBaseTime;
  return static_cast<float>(d);
}

void set_demo_time(double seconds) { gBaseTime = clock_seconds() - seconds; }

double demo_time_at(double clock) { return clock - gBaseTime; }

double demo_time_now() { return demo_time_at(clock_seconds()); }

void set_start_offset(double seconds) { gStartOffset = seconds; }

double start_offset() { return gStartOffset; }

std::unique_ptr<EAGLView> EAGLView::initWithLayer(CAEAGLLayer* layer) {
  std::unique_ptr<EAGLView> view(new EAGLView(layer));
  layer->opaque = true;
  layer->retainedBacking = false;
  view->context_ = EAGLContext::initWithAPI(platform::kEAGLRenderingAPIOpenGLES1);
  if (!view->context_ || !EAGLContext::setCurrentContext(view->context_.get())) return nullptr;
  view->animationInterval_ = 1.0 / 60.0;
  return view;
}

EAGLView::~EAGLView() {
  stopAnimation();
  if (EAGLContext::currentContext() == context_.get()) EAGLContext::setCurrentContext(nullptr);
  context_.reset();
}

void EAGLView::layoutSubviews() {
  EAGLContext::setCurrentContext(context_.get());
  destroyFramebuffer();
  createFramebuffer();
  setContext();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  blit();
}

bool EAGLView::createFramebuffer() {
  glGenFramebuffersOES(1, &viewFramebuffer_);
  glGenRenderbuffersOES(1, &viewRenderbuffer_);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, viewFramebuffer_);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, viewRenderbuffer_);
  context_->renderbufferStorage(GL_RENDERBUFFER_OES, layer_);
  glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, viewRenderbuffer_);
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_WIDTH_OES, &backingWidth_);
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_HEIGHT_OES, &backingHeight_);
  screenWidth = backingWidth_;
  screenHeight = backingHeight_;

  glGenRenderbuffersOES(1, &depthRenderbuffer_);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, depthRenderbuffer_);
  glRenderbufferStorageOES(GL_RENDERBUFFER_OES, GL_DEPTH_COMPONENT16_OES, backingWidth_, backingHeight_);
  glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_DEPTH_ATTACHMENT_OES, GL_RENDERBUFFER_OES, depthRenderbuffer_);

  if (glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES) != GL_FRAMEBUFFER_COMPLETE_OES) {
    platform::NSLog("failed to make complete framebuffer object %x", glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES));
    return false;
  }
  return true;
}

void EAGLView::destroyFramebuffer() {
  glDeleteFramebuffersOES(1, &viewFramebuffer_);
  viewFramebuffer_ = 0;
  glDeleteRenderbuffersOES(1, &viewRenderbuffer_);
  viewRenderbuffer_ = 0;
  if (depthRenderbuffer_) {
    glDeleteRenderbuffersOES(1, &depthRenderbuffer_);
    depthRenderbuffer_ = 0;
  }
}

void EAGLView::setContext() {
  EAGLContext::setCurrentContext(context_.get());
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, viewFramebuffer_);
  glViewport(0, 0, backingWidth_, backingHeight_);
}

void EAGLView::blit() {
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, viewRenderbuffer_);
  context_->presentRenderbuffer(GL_RENDERBUFFER_OES);
}

void EAGLView::scheduleFrameTimer() {
  setAnimationTimer(NSTimer::scheduledTimerWithTimeInterval(animationInterval_, [this] { drawView(); }, true));
}

void EAGLView::startAnimation() {
  set_basetime();
  // Until the first frame: the moment the show starts at.
  lastFrameTime_ = get_time();
  scheduleFrameTimer();
}

void EAGLView::stopAnimation() { setAnimationTimer(nullptr); }

void EAGLView::resumeAnimation() {
  if (!animationTimer_) scheduleFrameTimer();
}

void EAGLView::setAnimationTimer(NSTimer* timer) {
  if (animationTimer_) animationTimer_->invalidate();
  animationTimer_ = timer;
}

void EAGLView::setAnimationInterval(double interval) {
  animationInterval_ = interval;
  if (animationTimer_) {
    // A new period takes effect at once, but the clock keeps its base: demo
    // time runs on in step with the music, which nothing interrupts.
    stopAnimation();
    scheduleFrameTimer();
  }
}

void EAGLView::drawView() {
  const float t = get_time();
  if (t > kShowEnd && pastTheEnd_) {
    pastTheEnd_();
    return;
  }
  setContext();
  lastFrameTime_ = t;
  demo_playback(t);
  blit();
}

void EAGLView::drawViewAt(double t) {
  setContext();
  lastFrameTime_ = t;
  demo_playback(static_cast<float>(t));
  blit();
}
