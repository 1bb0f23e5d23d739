// The glowing cube of scene 4: its camera, its render into the glow levels,
// and the composite that lays the glow over the screen.
#include "engine/demo.h"

// A fixed view until 11 s; then the world tumbles about its x axis at 50
// degrees a second while the camera closes in.
void scene_4_camera(float time) {
  glLoadIdentity();
  if (time < 11) {
    glTranslatef(-30, 0, -50);
  } else {
    glTranslatef(-30, 0, time - 70);
    glRotatef(50 * time, 1, 0, 0);
  }
}

// The cube alone at full brightness, for the glow pass: the flicker and the
// fades act only on the composite.
void scene_4_render_glowcube(float time) {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  scene_4_camera(time);
  glColor4f(1, 1, 1, 1);
  cubetexture->BindTexture();
  cube.Draw();
  glColor4f(1, 1, 1, 1);
}

// Glow levels 4 and 5 stretched over the screen and added to it: the tight,
// bright halo and the wide, soft one at half the brightness.
void scene_4_drawglow(float /*time*/, float brightness) {
  glLoadIdentity();
  glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
  glVertexPointer(3, GL_FLOAT, 0, bgVertices);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glColor4f(brightness, brightness, brightness, 1);
  glBindTexture(GL_TEXTURE_2D, glowTextures[4]);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  const float half = brightness / 2;
  glColor4f(half, half, half, 1);
  glBindTexture(GL_TEXTURE_2D, glowTextures[5]);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}
