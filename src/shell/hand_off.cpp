#include "shell/hand_off.h"

#include <cmath>

#include "engine/demo.h"
#include "engine/schedule.h"

namespace {

constexpr int kFirstRedrawnLevel = 4;

int level_side(int level) { return 512 >> level; }

}  // namespace

void ShowHandOff::record() {
  state_ = platform::read_gl_state();
  for (int i = 0; i < 2; ++i) {
    const int level = kFirstRedrawnLevel + i;
    const int side = level_side(level);
    glow_[i].resize(static_cast<size_t>(side) * static_cast<size_t>(side) * 4);
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, framebuffer);
    glFramebufferTexture2DOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_TEXTURE_2D, glowTextures[level], 0);
    // The depth buffer takes the level's size, as in the glow pass: a
    // framebuffer whose attachments differ in size is incomplete, and nothing
    // can be read from it. The last level leaves it as the set-up did.
    glBindRenderbufferOES(GL_RENDERBUFFER_OES, depthRenderbuffer);
    glRenderbufferStorageOES(GL_RENDERBUFFER_OES, GL_DEPTH_COMPONENT16_OES, side, side);
    glReadPixels(0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, glow_[i].data());
  }
  for (int i = 0; i < 3; ++i) coords_[i] = scene_1_coords[i];
  platform::write_gl_state(state_);
  recorded_ = true;
}

std::vector<double> ShowHandOff::frames_before(double t, double period) {
  std::vector<double> frames;
  const double before = t - period;
  if (before < 0) return frames;
  // The grid frame at or after `moment`, and the one before it.
  auto first_from = [&](double moment) { return t - period * std::floor((t - moment) / period); };
  for (const ShowPart& part : kPicturedParts) {
    if (part.begin > before) break;
    const double end = part_end(part);
    const double first = first_from(part.begin);
    if (first < end && first < before) frames.push_back(first);
    if (end <= before) {
      const double last = first_from(end) - period;
      if (last > first) frames.push_back(last);
    }
  }
  frames.push_back(before);
  return frames;
}

void ShowHandOff::prepare(double t, double period, const std::function<void(double u)>& draw_unseen) const {
  if (!recorded_) return;
  for (int i = 0; i < 2; ++i) {
    const int level = kFirstRedrawnLevel + i;
    const int side = level_side(level);
    glBindTexture(GL_TEXTURE_2D, glowTextures[level]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, glow_[i].data());
  }
  for (int i = 0; i < 3; ++i) scene_1_coords[i] = coords_[i];
  platform::write_gl_state(state_);
  for (double u : frames_before(t, period)) draw_unseen(u);
}
