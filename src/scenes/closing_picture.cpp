// Seconds 180 to 185: the closing picture, under a white veil that lifts in
// the first second and a black veil that falls in the last.
#include "engine/demo.h"

namespace {

// The far screen quad at depth 500.
const GLfloat bgVertices[12] = {-500, 750, -500, 500, 750, -500, -500, -750, -500, 500, -750, -500};

void veil(float r, float g, float b, float a) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glLoadIdentity();
  glColor4f(r, g, b, a);
  glVertexPointer(3, GL_FLOAT, 0, bgVertices);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
}

}  // namespace

void scene_5(float t) {
  glLoadIdentity();
  glClear(GL_DEPTH_BUFFER_BIT);
  glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
  glVertexPointer(3, GL_FLOAT, 0, bgVertices);
  // Drawn with the blend state it finds: on the first frame that is scene
  // 4's additive blend, and the white veil covers the sum.
  glColor4f(1, 1, 1, 1);
  korvane_final->BindTexture();
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  if (t < 1) veil(1, 1, 1, 1 - t);
  if (t > 4 && t < 5) veil(0, 0, 0, t - 4);
}
