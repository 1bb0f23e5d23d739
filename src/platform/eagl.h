#pragma once
// The GL context and the layer it presents to. One OpenGL ES 1.1 context on an
// offscreen EGL display (surfaceless, or a tiny pbuffer where that is missing);
// the "layer" is a picture of a fixed pixel size whose colour storage is an
// RGBA8 renderbuffer and whose presentations go to a frame sink.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/frame.h"
#include "platform/gl.h"

namespace platform {

constexpr int kEAGLRenderingAPIOpenGLES1 = 1;

class CAEAGLLayer {
 public:
  CAEAGLLayer(int width, int height, FrameSink* sink) : width_(width), height_(height), sink_(sink) {}

  int width() const { return width_; }
  int height() const { return height_; }
  void setSize(int width, int height) {
    width_ = width;
    height_ = height;
  }
  FrameSink* sink() const { return sink_; }
  void setSink(FrameSink* sink) { sink_ = sink; }

  // Drawable properties. The layer is always shown opaque; the colour
  // contents are not kept after a presentation.
  bool opaque = false;
  bool retainedBacking = false;

 private:
  int width_;
  int height_;
  FrameSink* sink_;
};

class EAGLContext {
 public:
  // Null when no OpenGL ES 1.1 context can be had.
  static std::unique_ptr<EAGLContext> initWithAPI(int api);
  ~EAGLContext();
  EAGLContext(const EAGLContext&) = delete;
  EAGLContext& operator=(const EAGLContext&) = delete;

  static bool setCurrentContext(EAGLContext* context);
  static EAGLContext* currentContext();

  // Gives the renderbuffer bound to `target` RGBA8 storage of the layer's size
  // and makes the layer its drawable.
  bool renderbufferStorage(GLenum target, CAEAGLLayer* layer);

  // Shows the renderbuffer bound to `target` on its layer: the pixels are read
  // back through the framebuffer it was attached to when its storage was
  // given, turned upright, made opaque and handed to the layer's sink. The
  // framebuffer binding is restored afterwards.
  bool presentRenderbuffer(GLenum target);

  // The framebuffer and layer of the drawable, for reading the picture back
  // outside a presentation (a web page's screenshot).
  GLuint drawableFramebuffer() const { return drawableFramebuffer_; }
  const CAEAGLLayer* drawableLayer() const { return drawableLayer_; }

 private:
  EAGLContext() = default;

  void* eglContext_ = nullptr;
  GLuint drawableRenderbuffer_ = 0;
  GLuint drawableFramebuffer_ = 0;
  CAEAGLLayer* drawableLayer_ = nullptr;
  std::vector<std::uint8_t> readback_;  // bottom row first, as GL reads
  std::vector<std::uint8_t> upright_;   // top row first, opaque
};

// Seconds spent reading presented frames back from GL so far (for the
// capture's account of where its time goes).
double readback_seconds();

// Whether the GL in use draws on the processor (llvmpipe, softpipe): such a
// renderer cannot fill many times the phone's pixels at 60 frames a second.
bool software_renderer();

// A one-line description of the GL in use ("llvmpipe ..., OpenGL ES-CM 1.1 ..."),
// for diagnostics; empty before the first context.
const char* gl_description();

}  // namespace platform
