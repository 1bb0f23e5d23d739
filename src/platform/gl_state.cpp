#include "platform/gl_state.h"

namespace platform {
namespace {

GlArray read_array(GLenum array, GLenum size, GLenum type, GLenum stride, GLenum pointer) {
  GlArray a;
  a.enabled = glIsEnabled(array);
  if (size) glGetIntegerv(size, &a.size);
  glGetIntegerv(type, &a.type);
  glGetIntegerv(stride, &a.stride);
  glGetPointerv(pointer, &a.pointer);
  return a;
}

void enable(GLenum capability, GLboolean on) {
  if (on) {
    glEnable(capability);
  } else {
    glDisable(capability);
  }
}

void write_array(GLenum array, const GlArray& a) {
  if (a.enabled) {
    glEnableClientState(array);
  } else {
    glDisableClientState(array);
  }
}

}  // namespace

GlState read_gl_state() {
  GlState s;
  s.blend = glIsEnabled(GL_BLEND);
  s.depthTest = glIsEnabled(GL_DEPTH_TEST);
  s.texture2D = glIsEnabled(GL_TEXTURE_2D);
  s.vertexArray = read_array(GL_VERTEX_ARRAY, GL_VERTEX_ARRAY_SIZE, GL_VERTEX_ARRAY_TYPE, GL_VERTEX_ARRAY_STRIDE,
                             GL_VERTEX_ARRAY_POINTER);
  s.normalArray = read_array(GL_NORMAL_ARRAY, 0, GL_NORMAL_ARRAY_TYPE, GL_NORMAL_ARRAY_STRIDE, GL_NORMAL_ARRAY_POINTER);
  s.colorArray = read_array(GL_COLOR_ARRAY, GL_COLOR_ARRAY_SIZE, GL_COLOR_ARRAY_TYPE, GL_COLOR_ARRAY_STRIDE,
                            GL_COLOR_ARRAY_POINTER);
  s.texCoordArray = read_array(GL_TEXTURE_COORD_ARRAY, GL_TEXTURE_COORD_ARRAY_SIZE, GL_TEXTURE_COORD_ARRAY_TYPE,
                               GL_TEXTURE_COORD_ARRAY_STRIDE, GL_TEXTURE_COORD_ARRAY_POINTER);
  glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
  glGetIntegerv(GL_BLEND_DST, &s.blendDst);
  glGetIntegerv(GL_DEPTH_FUNC, &s.depthFunc);
  glGetFloatv(GL_CURRENT_COLOR, s.colour);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clearColour);
  glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
  glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
  glGetFloatv(GL_TEXTURE_MATRIX, s.textureMatrix);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.textureBinding);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &s.textureEnvMode);
  glGetIntegerv(GL_VIEWPORT, s.viewport);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &s.framebuffer);
  glGetIntegerv(GL_RENDERBUFFER_BINDING_OES, &s.renderbuffer);
  return s;
}

void write_gl_state(const GlState& s) {
  enable(GL_BLEND, s.blend);
  enable(GL_DEPTH_TEST, s.depthTest);
  enable(GL_TEXTURE_2D, s.texture2D);
  const GlArray& v = s.vertexArray;
  glVertexPointer(v.size, static_cast<GLenum>(v.type), v.stride, v.pointer);
  write_array(GL_VERTEX_ARRAY, v);
  const GlArray& n = s.normalArray;
  glNormalPointer(static_cast<GLenum>(n.type), n.stride, n.pointer);
  write_array(GL_NORMAL_ARRAY, n);
  const GlArray& c = s.colorArray;
  glColorPointer(c.size, static_cast<GLenum>(c.type), c.stride, c.pointer);
  write_array(GL_COLOR_ARRAY, c);
  const GlArray& t = s.texCoordArray;
  glTexCoordPointer(t.size, static_cast<GLenum>(t.type), t.stride, t.pointer);
  write_array(GL_TEXTURE_COORD_ARRAY, t);
  glBlendFunc(static_cast<GLenum>(s.blendSrc), static_cast<GLenum>(s.blendDst));
  glDepthFunc(static_cast<GLenum>(s.depthFunc));
  glColor4f(s.colour[0], s.colour[1], s.colour[2], s.colour[3]);
  glClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(s.modelview);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(s.projection);
  glMatrixMode(GL_TEXTURE);
  glLoadMatrixf(s.textureMatrix);
  glMatrixMode(static_cast<GLenum>(s.matrixMode));
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(s.textureBinding));
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, s.textureEnvMode);
  glViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(s.framebuffer));
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, static_cast<GLuint>(s.renderbuffer));
}

}  // namespace platform
