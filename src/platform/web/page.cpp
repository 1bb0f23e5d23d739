#include "platform/web/page.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/eagl.h"
#include "platform/frame.h"
#include "platform/gl.h"
#include "platform/run_loop.h"
#include "platform/web/keys.h"

namespace platform::web {
namespace {

std::function<bool(const KeyPress&)> gOnKey;
std::function<bool(const PointerEvent&)> gOnPointer;
std::function<void(bool)> gOnVisible;
std::function<void()> gBeforeFrame;
std::function<void()> gAfterFrame;

// The time between animation frames, measured as they come; timers due
// within half of it fire in this frame rather than a whole frame late.
double gFrameMs = 1000.0 / 60;
double gLastFrameMs = -1;

EM_BOOL on_visibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
  if (gOnVisible) gOnVisible(!e->hidden);
  return EM_FALSE;
}

EM_JS(void, page_toggle_fullscreen, (), { Module["velmoraPage"].toggleFullscreen(); });

// Offers a w x h RGBA picture (top row first) as a PNG download.
EM_JS(void, page_download_picture, (const std::uint8_t* rgba, int w, int h, const char* name), {
  const turned = document.createElement("canvas");
  turned.width = w;
  turned.height = h;
  const context = turned.getContext("2d");
  const image = context.createImageData(w, h);
  image.data.set(HEAPU8.subarray(rgba, rgba + w * h * 4));
  context.putImageData(image, 0, 0);
  const file = UTF8ToString(name);
  turned.toBlob((blob) => {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(blob);
    link.download = file;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }, "image/png");
});

// Calls velmora_animation_frame from every animation frame while it asks for
// more, but for frames while the WebGL context is lost (nothing can be drawn;
// the page waits for it to come back). The process's end (the show's last
// frame, or a file that cannot be loaded) arrives as the runtime's exit
// exception: the page is told, with the status.
EM_JS(void, request_animation_frames, (), {
  const frame = (now) => {
    if (GLctx && GLctx.isContextLost()) {
      requestAnimationFrame(frame);
      return;
    }
    let more = false;
    try {
      more = _velmora_animation_frame(now);
    } catch (e) {
      if (e instanceof ExitStatus) {
        Module["velmoraPage"].ended(e.status);
        return;
      }
      throw e;
    }
    if (more) requestAnimationFrame(frame);
  };
  requestAnimationFrame(frame);
});

}  // namespace

bool animation_frame(double now_ms) {
  if (gLastFrameMs >= 0) gFrameMs = std::clamp(0.9 * gFrameMs + 0.1 * (now_ms - gLastFrameMs), 4.0, 100.0);
  gLastFrameMs = now_ms;
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  if (gBeforeFrame) gBeforeFrame();
  loop.fireDue(std::llround((emscripten_get_now() + gFrameMs / 2) * 1e6));
  if (gAfterFrame) gAfterFrame();
  return !loop.stopped();
}

void on_frames(std::function<void()> before, std::function<void()> after) {
  gBeforeFrame = std::move(before);
  gAfterFrame = std::move(after);
}

void listen(std::function<bool(const KeyPress&)> keys, std::function<bool(const PointerEvent&)> pointer,
            std::function<void(bool visible)> visibility) {
  gOnKey = std::move(keys);
  gOnPointer = std::move(pointer);
  gOnVisible = std::move(visibility);
  emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, on_visibility);
}

void toggle_fullscreen() { page_toggle_fullscreen(); }

void download_picture(const std::string& name) {
  const EAGLContext* context = EAGLContext::currentContext();
  if (!context || !context->drawableLayer()) return;
  // The portrait picture read back, upright and opaque, then turned as the
  // page shows it, as every presented picture is turned for viewing.
  const int w = context->drawableLayer()->width();
  const int h = context->drawableLayer()->height();
  const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4;
  std::vector<std::uint8_t> read(bytes), upright(bytes), turned(bytes);
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &bound);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, context->drawableFramebuffer());
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, read.data());
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(bound));
  upright_opaque(read.data(), w, h, upright.data());
  const Orientation turn = Orientation::Landscape;
  orient_frame(Frame{w, h, upright}, turn, turned.data(), oriented_width(w, h, turn) * 4);
  page_download_picture(turned.data(), oriented_width(w, h, turn), oriented_height(w, h, turn), name.c_str());
}

void run_from_animation_frames() { request_animation_frames(); }

}  // namespace platform::web

// One animation frame (the browser's time stamp, in milliseconds): the timers
// due by then, and the music. 0 once the main run loop has been stopped.
extern "C" EMSCRIPTEN_KEEPALIVE int velmora_animation_frame(double now_ms) {
  return platform::web::animation_frame(now_ms) ? 1 : 0;
}

// A keydown as the page's script passes it on (KeyboardEvent.key and its
// flags): 1 when the show used it, and the browser should not.
extern "C" EMSCRIPTEN_KEEPALIVE int velmora_key(const char* key, int alt, int shift, int repeat) {
  using namespace platform::web;
  const auto press = key_press(key, alt != 0, shift != 0, repeat != 0);
  return press && gOnKey && gOnKey(*press) ? 1 : 0;
}

// The pointer over the picture, as the page's script recognises it: `kind`
// is "press", "move", "release", "double-click", "tap" or "double-tap", at
// (x, y) in CSS pixels from the picture's top-left corner as shown, and
// `primary` whether the primary button (or a finger) is the one pressed or
// released. 1 when the show used it.
extern "C" EMSCRIPTEN_KEEPALIVE int velmora_pointer(const char* kind, int x, int y, int primary) {
  using platform::PointerEvent;
  using namespace platform::web;
  struct Name {
    std::string_view name;
    PointerEvent::Kind kind;
  };
  static constexpr Name kKinds[] = {
      {"press", PointerEvent::Press},  {"move", PointerEvent::Move}, {"release", PointerEvent::Release},
      {"double-click", PointerEvent::DoubleClick}, {"tap", PointerEvent::Tap}, {"double-tap", PointerEvent::DoubleTap},
  };
  for (const Name& n : kKinds) {
    if (n.name == kind) return gOnPointer && gOnPointer(PointerEvent{n.kind, x, y, primary != 0 ? PointerEvent::Primary : PointerEvent::Other}) ? 1 : 0;
  }
  return 0;
}
