// The view in a real OpenGL ES 1.1 context: its framebuffer, presentation,
// re-layout, and the frame timer's interval and clock behaviour.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/clock.h"
#include "platform/eagl.h"
#include "platform/frame.h"
#include "platform/log.h"
#include "platform/run_loop.h"
#include "shell/eagl_view.h"
#include "support/gl_fixture.h"

using platform::CAEAGLLayer;

namespace {

GLint bound_framebuffer() {
  GLint fb = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &fb);
  return fb;
}

// The view before its first layout.
class ViewTest : public fixture::GLTest {
 protected:
  void SetUp() override {
    create();
    ASSERT_NE(view, nullptr);
  }
};

TEST_F(ViewTest, LayoutBuildsACompleteFramebufferAndPresentsOneBlackFrame) {
  EXPECT_TRUE(layer.opaque);
  EXPECT_EQ(view->animationInterval(), 1.0 / 60.0);
  EXPECT_EQ(view->viewFramebuffer(), 0u);
  view->layoutSubviews();

  EXPECT_EQ(view->backingWidth(), 320);
  EXPECT_EQ(view->backingHeight(), 480);
  EXPECT_NE(view->viewFramebuffer(), 0u);
  EXPECT_NE(view->viewRenderbuffer(), 0u);
  EXPECT_NE(view->depthRenderbuffer(), 0u);
  EXPECT_EQ(bound_framebuffer(), static_cast<GLint>(view->viewFramebuffer()));
  EXPECT_EQ(glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_OES));
  GLint depth_bits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
  EXPECT_GE(depth_bits, 16);

  ASSERT_EQ(sink.presented(), 1);
  ASSERT_EQ(sink.width(), 320);
  ASSERT_EQ(sink.height(), 480);
  EXPECT_EQ(pixel(0, 0), 0x000000ffu);
  EXPECT_EQ(pixel(319, 479), 0x000000ffu);
}

TEST_F(ViewTest, ASecondLayoutRebuildsEverythingAtTheLayersNewSize) {
  view->layoutSubviews();
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  layer.setSize(64, 32);
  view->layoutSubviews();

  EXPECT_EQ(view->backingWidth(), 64);
  EXPECT_EQ(view->backingHeight(), 32);
  GLint w = 0;
  GLint h = 0;
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, view->depthRenderbuffer());
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_WIDTH_OES, &w);
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_HEIGHT_OES, &h);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 32);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 64);
  EXPECT_EQ(viewport[3], 32);
  ASSERT_EQ(sink.presented(), 2);
  EXPECT_EQ(sink.width(), 64);
  EXPECT_EQ(pixel(10, 10), 0x000000ffu);  // black again, not the red of before
}

TEST_F(ViewTest, AnIncompleteFramebufferIsLoggedOnceAndTheViewCarriesOn) {
  layer.setSize(0, 0);
  std::FILE* log = std::tmpfile();
  platform::setLogStream(log);
  view->layoutSubviews();
  platform::setLogStream(nullptr);
  std::rewind(log);
  char text[256] = {};
  EXPECT_GT(std::fread(text, 1, sizeof text - 1, log), 0u);
  std::fclose(log);
  EXPECT_STREQ(text, "velmora: failed to make complete framebuffer object 8cd6\n");
  // It presents (black) and keeps drawing without complaint.
  EXPECT_EQ(sink.presented(), 1);
  view->setContext();
  view->blit();
  EXPECT_EQ(sink.presented(), 2);
}

TEST_F(ViewTest, PresentingShowsTheFrameUprightAndOpaqueAndRestoresTheBinding) {
  view->layoutSubviews();
  view->setContext();
  // Top half red with alpha 0 (the layer is opaque: alpha never shows), bottom half blue.
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 240, 320, 240);
  glClearColor(1, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glScissor(0, 0, 320, 240);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);

  // A frame may end with another framebuffer bound (the glow pass leaves 0).
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);
  view->blit();
  EXPECT_EQ(bound_framebuffer(), 0);
  EXPECT_EQ(pixel(5, 0), 0xff0000ffu);
  EXPECT_EQ(pixel(5, 479), 0x0000ffffu);

  GLuint other = 0;
  glGenFramebuffersOES(1, &other);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, other);
  view->blit();
  EXPECT_EQ(bound_framebuffer(), static_cast<GLint>(other));
  glDeleteFramebuffersOES(1, &other);
}

TEST_F(ViewTest, TheClockStartsAtZeroWithTheAnimation) {
  platform::set_virtual_now_us(1'000'123'456);
  view->startAnimation();
  EXPECT_EQ(get_time(), 0.0f);
  platform::set_virtual_now_us(1'000'123'456 + 52'999'000);
  EXPECT_EQ(get_time(), 52.999f);
  ASSERT_NE(view->animationTimer(), nullptr);
  EXPECT_DOUBLE_EQ(view->animationTimer()->timeInterval(), 1.0 / 60.0);
}

TEST_F(ViewTest, StoppingTwiceIsHarmlessAndChangingTheIntervalWhileStoppedOnlyStoresIt) {
  view->startAnimation();
  view->stopAnimation();
  view->stopAnimation();
  EXPECT_EQ(view->animationTimer(), nullptr);
  set_basetime();
  platform::set_virtual_now_us(platform::virtual_now_us() + 3'000'000);
  view->setAnimationInterval(0.2);
  EXPECT_EQ(view->animationInterval(), 0.2);
  EXPECT_EQ(view->animationTimer(), nullptr);
  EXPECT_EQ(platform::NSRunLoop::mainRunLoop().timerCount(), 0u);
  EXPECT_NEAR(get_time(), 3.0f, 1e-4);  // the base is untouched
  view->startAnimation();
  EXPECT_DOUBLE_EQ(view->animationTimer()->timeInterval(), 0.2);
}

TEST_F(ViewTest, ChangingTheIntervalWhileAnimatingKeepsDemoTimeRunning) {
  view->startAnimation();
  platform::NSTimer* first = view->animationTimer();
  platform::set_virtual_now_us(platform::virtual_now_us() + 42'500'000);
  view->setAnimationInterval(0.2);  // the application became inactive

  ASSERT_NE(view->animationTimer(), nullptr);
  EXPECT_NE(view->animationTimer(), first);
  EXPECT_FALSE(first->isValid());
  EXPECT_DOUBLE_EQ(view->animationTimer()->timeInterval(), 0.2);
  EXPECT_EQ(platform::NSRunLoop::mainRunLoop().timerCount(), 1u);
  // Demo time runs on with the music instead of starting again from 0.
  EXPECT_NEAR(get_time(), 42.5f, 1e-4);

  view->setAnimationInterval(1.0 / 60.0);
  EXPECT_NEAR(get_time(), 42.5f, 1e-4);
  EXPECT_EQ(platform::NSRunLoop::mainRunLoop().timerCount(), 1u);
}

TEST_F(ViewTest, DestroyingAViewLeavesAnotherCurrentContextCurrent) {
  CAEAGLLayer other_layer{16, 16, nullptr};
  auto other = EAGLView::initWithLayer(&other_layer);
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(platform::EAGLContext::currentContext(), other->context());
  view.reset();
  EXPECT_EQ(platform::EAGLContext::currentContext(), other->context());
  other.reset();
  EXPECT_EQ(platform::EAGLContext::currentContext(), nullptr);
}

}  // namespace
