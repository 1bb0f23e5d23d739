#include "platform/gl.h"

#include <EGL/egl.h>

namespace platform {

OesFramebufferTable gOesFramebuffer;

namespace {
template <typename Fn>
bool resolve(Fn& slot, const char* name) {
  slot = reinterpret_cast<Fn>(eglGetProcAddress(name));
  return slot != nullptr;
}
}  // namespace

bool load_oes_framebuffer_table() {
  OesFramebufferTable& t = gOesFramebuffer;
  bool ok = true;
  ok &= resolve(t.bindFramebuffer, "glBindFramebufferOES");
  ok &= resolve(t.bindRenderbuffer, "glBindRenderbufferOES");
  ok &= resolve(t.checkFramebufferStatus, "glCheckFramebufferStatusOES");
  ok &= resolve(t.deleteFramebuffers, "glDeleteFramebuffersOES");
  ok &= resolve(t.deleteRenderbuffers, "glDeleteRenderbuffersOES");
  ok &= resolve(t.framebufferRenderbuffer, "glFramebufferRenderbufferOES");
  ok &= resolve(t.framebufferTexture2D, "glFramebufferTexture2DOES");
  ok &= resolve(t.genFramebuffers, "glGenFramebuffersOES");
  ok &= resolve(t.genRenderbuffers, "glGenRenderbuffersOES");
  ok &= resolve(t.getRenderbufferParameteriv, "glGetRenderbufferParameterivOES");
  ok &= resolve(t.renderbufferStorage, "glRenderbufferStorageOES");
  return ok;
}

}  // namespace platform
