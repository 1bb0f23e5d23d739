#include "platform/eagl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

namespace platform {
namespace {

struct Display {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;    // set where the display needs a surface
  EGLSurface surface = EGL_NO_SURFACE;  // the pbuffer of the fallback display
  bool ready = false;
  bool tried = false;
};

Display gDisplay;
EAGLContext* gCurrent = nullptr;
std::string gDescription;
double gReadbackSeconds = 0;

bool has_extension(const char* list, const char* name) {
  if (!list) return false;
  const size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

// The surfaceless platform needs no window system at all; where it is
// missing, the default display with a 1x1 pbuffer does the same job (all
// drawing goes to framebuffer objects anyway).
bool open_display() {
  if (gDisplay.tried) return gDisplay.ready;
  gDisplay.tried = true;

  const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (has_extension(client, "EGL_MESA_platform_surfaceless")) {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay) {
      EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
      if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) {
        const char* ext = eglQueryString(d, EGL_EXTENSIONS);
        if (has_extension(ext, "EGL_KHR_surfaceless_context") && has_extension(ext, "EGL_KHR_no_config_context")) {
          gDisplay.display = d;
          gDisplay.ready = true;
          return true;
        }
        eglTerminate(d);
      }
    }
  }

  EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (d == EGL_NO_DISPLAY || !eglInitialize(d, nullptr, nullptr)) return false;
  const EGLint attribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES_BIT,
                            EGL_RED_SIZE,     8,               EGL_GREEN_SIZE,      8,
                            EGL_BLUE_SIZE,    8,               EGL_NONE};
  EGLint count = 0;
  if (!eglChooseConfig(d, attribs, &gDisplay.config, 1, &count) || count < 1) return false;
  const EGLint pbuffer[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
  gDisplay.surface = eglCreatePbufferSurface(d, gDisplay.config, pbuffer);
  if (gDisplay.surface == EGL_NO_SURFACE) return false;
  gDisplay.display = d;
  gDisplay.ready = true;
  return true;
}

}  // namespace

std::unique_ptr<EAGLContext> EAGLContext::initWithAPI(int api) {
  if (api != kEAGLRenderingAPIOpenGLES1 || !open_display()) return nullptr;
  if (!eglBindAPI(EGL_OPENGL_ES_API)) return nullptr;
  const EGLint attribs[] = {EGL_CONTEXT_CLIENT_VERSION, 1, EGL_NONE};
  EGLConfig config = gDisplay.config ? gDisplay.config : EGL_NO_CONFIG_KHR;
  EGLContext egl = eglCreateContext(gDisplay.display, config, EGL_NO_CONTEXT, attribs);
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
    return gDisplay.ready
               ? eglMakeCurrent(gDisplay.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE
               : true;
  }
  if (gCurrent == context) return true;  // the view makes it current every frame
  if (!eglMakeCurrent(gDisplay.display, gDisplay.surface, gDisplay.surface,
                      static_cast<EGLContext>(context->eglContext_))) {
    return false;
  }
  gCurrent = context;
  if (gDescription.empty()) {
    if (!load_oes_framebuffer_table()) return false;
    gDescription = std::string(reinterpret_cast<const char*>(glGetString(GL_RENDERER))) + ", " +
                   reinterpret_cast<const char*>(glGetString(GL_VERSION));
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
  const size_t bytes = static_cast<size_t>(layer->width()) * static_cast<size_t>(layer->height()) * 4;
  readback_.assign(bytes, 0);
  upright_.assign(bytes, 0);
  return true;
}

bool EAGLContext::presentRenderbuffer(GLenum /*target*/) {
  if (!drawableLayer_ || gCurrent != this) return false;
  const int w = drawableLayer_->width();
  const int h = drawableLayer_->height();
  if (readback_.size() != static_cast<size_t>(w) * static_cast<size_t>(h) * 4) return false;

  const auto began = std::chrono::steady_clock::now();
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &bound);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, drawableFramebuffer_);
  if (glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES) == GL_FRAMEBUFFER_COMPLETE_OES) {
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, readback_.data());
  } else {
    // Nothing can be read from an incomplete framebuffer: it shows black.
    std::fill(readback_.begin(), readback_.end(), std::uint8_t{0});
  }
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(bound));

  // The layer is opaque: whatever alpha a scene leaves never shows.
  upright_opaque(readback_.data(), w, h, upright_.data());
  gReadbackSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  if (FrameSink* sink = drawableLayer_->sink()) sink->present(Frame{w, h, upright_});
  return true;
}

const char* gl_description() { return gDescription.c_str(); }

bool software_renderer() {
  for (const char* name : {"llvmpipe", "softpipe", "swrast"}) {
    if (gDescription.find(name) != std::string::npos) return true;
  }
  return false;
}

double readback_seconds() { return gReadbackSeconds; }

}  // namespace platform
