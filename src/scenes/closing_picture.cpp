// Seconds 180 to 185: the closing picture, under a white veil that lifts in
// the first second and a black veil that falls in the last.
#include "engine/demo.h"
#include "engine/overlay.h"

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
  if (t < 1) demo_overlay(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, 1, 1, 1, 1 - t);
  if (t > 4 && t < 5) demo_overlay(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, 0, 0, 0, t - 4);
}
