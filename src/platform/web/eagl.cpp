// The GL context on the page's canvas: EGL's one display, the canvas as its
// window surface, and a WebGL 2 context that the fixed-function emulation
// turns into OpenGL ES 1.1. As on the desktop, the layer's colour storage is
// an RGBA8 renderbuffer that the show draws into; presenting copies it onto
// the canvas, whose own buffer has no alpha, so the layer shows opaque. The
// canvas holds the phone's portrait picture; the page turns it for viewing.
// Nothing is read back: the layer's sink, if it has one, receives nothing.
#include "platform/eagl.h"

#include <EGL/egl.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdlib>
#include <string>

namespace platform {
namespace {

struct Display {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLSurface surface = EGL_NO_SURFACE;
  EGLConfig config = nullptr;
  bool ready = false;
  bool tried = false;
};

Display gDisplay;
EAGLContext* gCurrent = nullptr;
std::string gDescription;

bool open_display() {
  if (gDisplay.tried) return gDisplay.ready;
  gDisplay.tried = true;
  EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (d == EGL_NO_DISPLAY || !eglInitialize(d, nullptr, nullptr)) return false;
  // The canvas needs neither alpha, depth nor multisampling: every picture is
  // drawn into the layer's renderbuffer and only copied here.
  const EGLint attribs[] = {EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 0,
                            EGL_DEPTH_SIZE, 0, EGL_STENCIL_SIZE, 0, EGL_SAMPLE_BUFFERS, 0, EGL_NONE};
  EGLint count = 0;
  if (!eglChooseConfig(d, attribs, &gDisplay.config, 1, &count) || count < 1) return false;
  gDisplay.surface = eglCreateWindowSurface(d, gDisplay.config, 0, nullptr);
  if (gDisplay.surface == EGL_NO_SURFACE) return false;
  gDisplay.display = d;
  gDisplay.ready = true;
  return true;
}

// Copies the colour of `framebuffer` (width x height from its lower-left
// corner) onto the canvas, and counts the presentation (Module.velmoraFrames,
// for tests and measurements).
EM_JS(void, copy_to_canvas, (int framebuffer, int width, int height), {
  Module["velmoraFrames"] = (Module["velmoraFrames"] || 0) + 1;
  const gl = GLctx;
  gl.bindFramebuffer(gl.READ_FRAMEBUFFER, GL.framebuffers[framebuffer]);
  gl.bindFramebuffer(gl.DRAW_FRAMEBUFFER, null);
  gl.blitFramebuffer(0, 0, width, height, 0, 0, width, height, gl.COLOR_BUFFER_BIT, gl.NEAREST);
});

// The renderer behind WebGL as the browser names it to pages that ask
// (WEBGL_debug_renderer_info), else as it names it to all: the name a
// software renderer shows by, as a new string the caller frees.
EM_JS(char*, unmasked_renderer, (), {
  const gl = GLctx;
  const info = gl.getExtension("WEBGL_debug_renderer_info");
  const name = String(gl.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : gl.RENDERER) || "");
  const size = lengthBytesUTF8(name) + 1;
  const copy = _malloc(size);
  stringToUTF8(name, copy, size);
  return copy;
});

}  // namespace

std::unique_ptr<EAGLContext> EAGLContext::initWithAPI(int api) {
  if (api != kEAGLRenderingAPIOpenGLES1 || !open_display()) return nullptr;
  // OpenGL ES 3 is WebGL 2, which the emulation draws OpenGL ES 1.1 on: an
  // RGBA8 renderbuffer needs it.
  const EGLint attribs[] = {EGL_CONTEXT_CLIENT_VERSION, 3, EGL_NONE};
  EGLContext egl = eglCreateContext(gDisplay.display, gDisplay.config, EGL_NO_CONTEXT, attribs);
  if (egl == EGL_NO_CONTEXT) return nullptr;
  std::unique_ptr<EAGLContext> context(new EAGLContext());
  context->eglContext_ = egl;
  return context;
}

EAGLContext::~EAGLContext() {
  if (gCurrent == this) setCurrentContext(nullptr);
  eglDestroyContext(gDisplay.display, static_cast<EGLContext>(eglContext_));
}

bool EAGLContext::setCurrentContext(EAGLContext* context) {
  if (!context) {
    gCurrent = nullptr;
    return gDisplay.ready ? eglMakeCurrent(gDisplay.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE
                          : true;
  }
  if (gCurrent == context) return true;
  if (!eglMakeCurrent(gDisplay.display, gDisplay.surface, gDisplay.surface,
                      static_cast<EGLContext>(context->eglContext_))) {
    return false;
  }
  gCurrent = context;
  if (gDescription.empty()) {
    if (!load_oes_framebuffer_table()) return false;
    // The emulation applies the texture matrix only once it has been set:
    // setting it to its default before any drawing makes it count.
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    char* renderer = unmasked_renderer();
    gDescription = std::string(renderer) + ", " + reinterpret_cast<const char*>(glGetString(GL_VERSION));
    std::free(renderer);
  }
  return true;
}

EAGLContext* EAGLContext::currentContext() { return gCurrent; }

bool EAGLContext::renderbufferStorage(GLenum target, CAEAGLLayer* layer) {
  if (!layer || gCurrent != this) return false;
  GLint renderbuffer = 0;
  GLint framebuffer = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING_OES, &renderbuffer);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &framebuffer);
  glRenderbufferStorageOES(target, GL_RGBA8_OES, layer->width(), layer->height());
  drawableRenderbuffer_ = static_cast<GLuint>(renderbuffer);
  drawableFramebuffer_ = static_cast<GLuint>(framebuffer);
  drawableLayer_ = layer;
  emscripten_set_canvas_element_size("#canvas", layer->width(), layer->height());
  return true;
}

bool EAGLContext::presentRenderbuffer(GLenum /*target*/) {
  if (!drawableLayer_ || gCurrent != this) return false;
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &bound);
  copy_to_canvas(static_cast<int>(drawableFramebuffer_), drawableLayer_->width(), drawableLayer_->height());
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(bound));
  return true;
}

const char* gl_description() { return gDescription.c_str(); }

// SwiftShader is Chromium's renderer on the processor, llvmpipe Mesa's (which
// Firefox names "llvmpipe, or similar").
bool software_renderer() {
  for (const char* name : {"SwiftShader", "llvmpipe", "softpipe"}) {
    if (gDescription.find(name) != std::string::npos) return true;
  }
  return false;
}

double readback_seconds() { return 0; }

}  // namespace platform
