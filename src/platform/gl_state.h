#pragma once
// A snapshot of the fixed-function state a program changes as it draws:
// capabilities, client arrays, blending, depth, colours, matrices, the bound
// texture and framebuffer, the texture environment. Taken once and put back
// at will; reading it changes nothing.
#include "platform/gl.h"

namespace platform {

struct GlArray {
  GLboolean enabled = GL_FALSE;
  GLint size = 0;
  GLint type = 0;
  GLint stride = 0;
  void* pointer = nullptr;
};

struct GlState {
  GLboolean blend = GL_FALSE;
  GLboolean depthTest = GL_FALSE;
  GLboolean texture2D = GL_FALSE;
  GlArray vertexArray, normalArray, colorArray, texCoordArray;
  GLint blendSrc = 0;
  GLint blendDst = 0;
  GLint depthFunc = 0;
  GLfloat colour[4] = {};
  GLfloat clearColour[4] = {};
  GLint matrixMode = 0;
  GLfloat modelview[16] = {};
  GLfloat projection[16] = {};
  GLfloat textureMatrix[16] = {};
  GLint textureBinding = 0;
  GLint textureEnvMode = 0;
  GLint viewport[4] = {};
  GLint framebuffer = 0;
  GLint renderbuffer = 0;
};

// The current context's state.
GlState read_gl_state();
// Makes it the current context's state again.
void write_gl_state(const GlState& state);

}  // namespace platform
