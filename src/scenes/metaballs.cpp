// Seconds 53 to 70: soft blobs summed into a 128 x 128 corner of the
// framebuffer, read back, reduced to teal, black and white on the processor,
// and stretched back over the screen.
#include "scenes/metaballs.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/demo.h"
#include "engine/show_math.h"

void scene_2_threshold(GLubyte* pixels, int count, int threshold) {
  static constexpr GLubyte kTeal[4] = {20, 220, 200, 255};
  static constexpr GLubyte kBlack[4] = {0, 0, 0, 255};
  static constexpr GLubyte kWhite[4] = {255, 255, 255, 255};
  for (GLubyte* p = pixels; p != pixels + 4 * count; p += 4) {
    const GLubyte* c = p[0] < threshold ? kTeal : (p[0] == p[1] ? kBlack : kWhite);
    std::memcpy(p, c, 4);
  }
}

namespace {

// The blob quad, the screen quad at depth 200, and texture coordinates over
// the whole texture, which this scene uses where others use the shared
// window of a 320 x 480 picture.
const GLfloat tmpVertices[12] = {-100, 100, -50, 100, 100, -50, -100, -100, -50, 100, -100, -50};
const GLfloat tmp2Vertices[12] = {-200, 300, -200, 200, 300, -200, -200, -300, -200, 200, -300, -200};
const GLfloat wholeTextureCoords[8] = {0, 1, 1, 1, 0, 0, 1, 0};

}  // namespace

void scene_2_blobs(float t) {
  glLoadIdentity();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glBlendFunc(GL_ONE, GL_ONE);
  glEnable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glTexCoordPointer(2, GL_FLOAT, 0, wholeTextureCoords);
  glVertexPointer(3, GL_FLOAT, 0, tmpVertices);
  splat->BindTexture();
  glViewport(0, 0, 128, 128);
  const int n = std::min(static_cast<int>(t), 5);
  for (int i = 1; i < n; ++i) {
    // Until 3.5 s the blobs stand still at their 3.5 s places; the offsets
    // accumulate, so blob i sits at the sum of the first i.
    const float u = std::max(t, 3.5f);
    const auto dx = static_cast<float>(15 * dsin(static_cast<double>(56266 * i) + 0.4 * (i * (u + 79))));
    const auto dy = static_cast<float>(20 * dsin(static_cast<double>(75437 * i) + 0.3 * (i * (u + 32))));
    glTranslatef(dx, dy, 0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  }
}

void scene_2_read_back() { glReadPixels(0, 0, 128, 128, GL_RGBA, GL_UNSIGNED_BYTE, metamap); }

int scene_2_threshold_at(float t) { return t > 15 ? std::max(static_cast<int>(160 - 90 * (t - 15)), 0) : 160; }

void scene_2_show() {
  glDisable(GL_BLEND);
  GLuint frame_texture = 0;
  glGenTextures(1, &frame_texture);
  glBindTexture(GL_TEXTURE_2D, frame_texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 128, 128, 0, GL_RGBA, GL_UNSIGNED_BYTE, metamap);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBindTexture(GL_TEXTURE_2D, frame_texture);
  glViewport(0, 0, screenWidth, screenHeight);
  glTexCoordPointer(2, GL_FLOAT, 0, wholeTextureCoords);
  glVertexPointer(3, GL_FLOAT, 0, tmp2Vertices);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  glLoadIdentity();
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glDeleteTextures(1, &frame_texture);
  glEnable(GL_DEPTH_TEST);
}

void scene_2(float t) {
  // Pass 1: the blobs, added into the lower-left 128 x 128 pixels, read back.
  scene_2_blobs(t);
  scene_2_read_back();
  // Pass 2: the threshold, which falls to 0 from 15 s so the blobs swallow
  // the teal field.
  scene_2_threshold(metamap, 128 * 128, scene_2_threshold_at(t));
  // Pass 3: the thresholded picture over the whole screen, from a texture
  // that lives for this frame only.
  scene_2_show();
}
