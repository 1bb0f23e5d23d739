#pragma once
// OpenGL ES 1.1 for the whole program. The framebuffer-object extension's entry
// points are not exported by every GLES 1 library, so they are looked up once
// through EGL into one small table; everything else calls them by their usual
// names through the inline forwarders below.
#include <GLES/gl.h>
#include <GLES/glext.h>

namespace platform {

struct OesFramebufferTable {
  PFNGLBINDFRAMEBUFFEROESPROC bindFramebuffer = nullptr;
  PFNGLBINDRENDERBUFFEROESPROC bindRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSOESPROC checkFramebufferStatus = nullptr;
  PFNGLDELETEFRAMEBUFFERSOESPROC deleteFramebuffers = nullptr;
  PFNGLDELETERENDERBUFFERSOESPROC deleteRenderbuffers = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFEROESPROC framebufferRenderbuffer = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DOESPROC framebufferTexture2D = nullptr;
  PFNGLGENFRAMEBUFFERSOESPROC genFramebuffers = nullptr;
  PFNGLGENRENDERBUFFERSOESPROC genRenderbuffers = nullptr;
  PFNGLGETRENDERBUFFERPARAMETERIVOESPROC getRenderbufferParameteriv = nullptr;
  PFNGLRENDERBUFFERSTORAGEOESPROC renderbufferStorage = nullptr;
};

extern OesFramebufferTable gOesFramebuffer;

// Fills gOesFramebuffer; false when the GL lacks the extension.
bool load_oes_framebuffer_table();

}  // namespace platform

inline void glBindFramebufferOES(GLenum target, GLuint framebuffer) {
  platform::gOesFramebuffer.bindFramebuffer(target, framebuffer);
}
inline void glBindRenderbufferOES(GLenum target, GLuint renderbuffer) {
  platform::gOesFramebuffer.bindRenderbuffer(target, renderbuffer);
}
inline GLenum glCheckFramebufferStatusOES(GLenum target) {
  return platform::gOesFramebuffer.checkFramebufferStatus(target);
}
inline void glDeleteFramebuffersOES(GLsizei n, const GLuint* framebuffers) {
  platform::gOesFramebuffer.deleteFramebuffers(n, framebuffers);
}
inline void glDeleteRenderbuffersOES(GLsizei n, const GLuint* renderbuffers) {
  platform::gOesFramebuffer.deleteRenderbuffers(n, renderbuffers);
}
inline void glFramebufferRenderbufferOES(GLenum target, GLenum attachment, GLenum renderbuffertarget,
                                         GLuint renderbuffer) {
  platform::gOesFramebuffer.framebufferRenderbuffer(target, attachment, renderbuffertarget, renderbuffer);
}
inline void glFramebufferTexture2DOES(GLenum target, GLenum attachment, GLenum textarget, GLuint texture,
                                      GLint level) {
  platform::gOesFramebuffer.framebufferTexture2D(target, attachment, textarget, texture, level);
}
inline void glGenFramebuffersOES(GLsizei n, GLuint* framebuffers) {
  platform::gOesFramebuffer.genFramebuffers(n, framebuffers);
}
inline void glGenRenderbuffersOES(GLsizei n, GLuint* renderbuffers) {
  platform::gOesFramebuffer.genRenderbuffers(n, renderbuffers);
}
inline void glGetRenderbufferParameterivOES(GLenum target, GLenum pname, GLint* params) {
  platform::gOesFramebuffer.getRenderbufferParameteriv(target, pname, params);
}
inline void glRenderbufferStorageOES(GLenum target, GLenum internalformat, GLsizei width, GLsizei height) {
  platform::gOesFramebuffer.renderbufferStorage(target, internalformat, width, height);
}
