#include "engine/overlay.h"

#include "engine/demo.h"

void demo_overlay(GLenum source, GLenum destination, float r, float g, float b, float a) {
  glEnable(GL_BLEND);
  glBlendFunc(source, destination);
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
