// The loading screen: "loading.png" upright over the whole screen. It runs on
// the GL defaults and leaves the texture matrix current; everything up to the
// first rig draw works from that.
#include "engine/demo.h"

void demo_show_loading() {
  static texture* lLoading = nullptr;
  if (!lLoading) lLoading = texture::LoadTexture("loading.png");

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();

  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);

  glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, squareVertices);
  glEnableClientState(GL_VERTEX_ARRAY);
  lLoading->BindTexture();
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glFinish();
}
