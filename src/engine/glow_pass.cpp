// The glow pass: one scene function rendered into a reduced texture, then
// every smaller level filled with a reduced copy of that render. Scenes
// stretch these few texels over the screen additively; bilinear
// magnification makes the soft glow.
#include "engine/demo.h"

namespace {

// The pass's own quad at depth 200, which under the show's projection covers
// the viewport exactly: upper-left, upper-right, lower-left, lower-right.
const GLfloat tmpVertices[12] = {-200, 300, -200, 200, 300, -200, -200, -300, -200, 200, -300, -200};

}  // namespace

void downsample(void (*draw)(float), float time, int level) {
  glDisable(GL_DEPTH_TEST);
  glLoadIdentity();
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, framebuffer);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, depthRenderbuffer);
  glFramebufferTexture2DOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_TEXTURE_2D, glowTextures[level], 0);
  glRenderbufferStorageOES(GL_RENDERBUFFER_OES, GL_DEPTH_COMPONENT16_OES, 512 >> level, 512 >> level);
  glViewport(0, 0, 320 >> level, 480 >> level);
  draw(time);

  glBindTexture(GL_TEXTURE_2D, glowTextures[level]);
  glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
  glVertexPointer(3, GL_FLOAT, 0, tmpVertices);
  glDisable(GL_DEPTH_TEST);
  for (int i = level + 1; i <= 5; ++i) {
    glFramebufferTexture2DOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_TEXTURE_2D, glowTextures[i], 0);
    glRenderbufferStorageOES(GL_RENDERBUFFER_OES, GL_DEPTH_COMPONENT16_OES, 512 >> i, 512 >> i);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, 320 >> i, 480 >> i);
    // Always the full render, never the level written just before.
    glBindTexture(GL_TEXTURE_2D, glowTextures[level]);
    glLoadIdentity();
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  }
  glEnable(GL_DEPTH_TEST);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);
}
