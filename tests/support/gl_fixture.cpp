#include "support/gl_fixture.h"

#include "platform/clock.h"
#include "platform/run_loop.h"

namespace fixture {

void GLTest::SetUp() {
  create();
  ASSERT_NE(view, nullptr);
  view->layoutSubviews();
}

void GLTest::create() {
  platform::use_virtual_clock(1'000'000'000);
  platform::NSRunLoop::mainRunLoop().reset();
  view = EAGLView::initWithLayer(&layer);
}

void GLTest::TearDown() {
  view.reset();
  platform::NSRunLoop::mainRunLoop().reset();
}

std::uint32_t GLTest::pixel(int x, int y) const {
  const std::uint8_t* p = sink.pixels().data() + (static_cast<size_t>(y) * sink.width() + x) * 4;
  return rgba(p[0], p[1], p[2], p[3]);
}

void GLTest::present() { view->blit(); }

}  // namespace fixture
