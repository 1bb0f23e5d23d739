#include "support/show_fixture.h"

#include <algorithm>
#include <cstdlib>

#include "engine/demo.h"
#include "platform/bundle.h"

namespace fixture {

std::unique_ptr<OfflineShow> ShowTest::show_;

void expect_glow_pass_end_state() {
  GLint fb = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &fb);
  EXPECT_EQ(fb, 0);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 10);
  EXPECT_EQ(viewport[3], 15);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

Picture glow_level(int level) {
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &bound);
  GLuint fb = 0;
  glGenFramebuffersOES(1, &fb);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, fb);
  glFramebufferTexture2DOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_TEXTURE_2D, glowTextures[level], 0);
  const int w = 320 >> level, h = 480 >> level;
  std::vector<std::uint8_t> px(static_cast<size_t>(w) * h * 4);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(bound));
  glDeleteFramebuffersOES(1, &fb);
  return Picture(std::move(px), w, h);
}

Colour Picture::at(int x, int y) const {
  const std::uint8_t* p = &px_[(static_cast<size_t>(y) * width_ + x) * 4];
  return {p[0], p[1], p[2]};
}

double Picture::difference(const Picture& other, int x0, int y0, int x1, int y1) const {
  double sum = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const Colour a = at(x, y);
      const Colour b = other.at(x, y);
      sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
    }
  }
  return sum / (3.0 * (x1 - x0) * (y1 - y0));
}

bool Picture::all_black() const { return brightest() == 0; }

int Picture::brightest() const {
  int best = 0;
  for (size_t i = 0; i < px_.size(); i += 4) best = std::max({best, int{px_[i]}, int{px_[i + 1]}, int{px_[i + 2]}});
  return best;
}

void ShowTest::SetUpTestSuite() {
  platform::setBundlePath(VELMORA_BUNDLE_DIR);
  // The load log is not what these tests look at.
  ::testing::internal::CaptureStdout();
  show_ = std::make_unique<OfflineShow>();
  ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(show_->ready());
}

void ShowTest::TearDownTestSuite() { show_.reset(); }

Picture ShowTest::current() {
  const auto& f = show_->frame();
  return Picture(f.pixels(), f.width(), f.height());
}

Picture ShowTest::landscape() { return Picture(show_->picture(platform::Orientation::Landscape), 480, 320); }

Picture ShowTest::still(double t) {
  show_->drawStill(t);
  return current();
}

Picture ShowTest::added_by(texture*& layer, double t) {
  texture* const real = layer;
  layer = black;
  const Picture without = still(t);
  layer = real;
  const Picture with = still(t);
  std::vector<std::uint8_t> added(with.rgba().size());
  for (size_t i = 0; i < added.size(); ++i) {
    added[i] = static_cast<std::uint8_t>(std::max(0, with.rgba()[i] - without.rgba()[i]));
  }
  return Picture(added, with.width(), with.height());
}

Picture ShowTest::next(double t) {
  show_->drawFrame(t);
  return current();
}

}  // namespace fixture
