#include "platform/web/page.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/eagl.h"
#include "platform/frame.h"
#include "platform/gl.h"
#include "platform/run_loop.h"

namespace platform::web {
namespace {

std::function<void(const PageCommand&)> gOnCommand;
std::function<void(bool)> gOnVisible;

// The time between animation frames, measured as they come; timers due
// within half of it fire in this frame rather than a whole frame late.
double gFrameMs = 1000.0 / 60;
double gLastFrameMs = -1;

void command(const PageCommand& c) {
  if (gOnCommand) gOnCommand(c);
}

EM_BOOL on_key(int, const EmscriptenKeyboardEvent* e, void*) {
  const auto c = command_for_key(e->key, e->altKey, e->shiftKey, e->repeat);
  if (!c) return EM_FALSE;  // the browser's, then
  command(*c);
  return EM_TRUE;
}

EM_BOOL on_double_click(int, const EmscriptenMouseEvent*, void*) {
  command(PageCommand{});
  return EM_TRUE;
}

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
// more. The process's end (the show's last frame, or a file that cannot be
// loaded) arrives as the runtime's exit exception: the page is told, with
// the status.
EM_JS(void, request_animation_frames, (), {
  const frame = (now) => {
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
  loop.fireDue(std::llround((emscripten_get_now() + gFrameMs / 2) * 1e6));
  return !loop.stopped();
}

std::optional<PageCommand> command_for_key(std::string_view key, bool alt, bool shift, bool repeat) {
  using C = PlayerCommand;
  auto player = [](C::Kind kind, double value = 0) { return PageCommand{PageCommand::Player, C{kind, value}}; };
  // Held keys repeat the moves through the show, nothing else.
  if (key == "ArrowLeft") return shift ? player(C::Step, -1) : player(C::SeekBy, -5);
  if (key == "ArrowRight") return shift ? player(C::Step, 1) : player(C::SeekBy, 5);
  if (key == "ArrowUp") return player(C::SeekBy, 30);
  if (key == "ArrowDown") return player(C::SeekBy, -30);
  if (key == ",") return player(C::StepIfPaused, -1);
  if (key == ".") return player(C::StepIfPaused, 1);
  if (repeat) return std::nullopt;
  if ((key == "f" || key == "F") && !alt) return PageCommand{};
  if (key == "Enter" && alt) return PageCommand{};
  if (key == " " || key == "p") return player(C::TogglePause);
  if (key == "PageUp") return player(C::PreviousPart);
  if (key == "PageDown") return player(C::NextPart);
  if (key == "Home") return player(C::SeekTo, 0);
  if (key == "m") return player(C::ToggleMute);
  if (key == "9") return player(C::Volume, -1);
  if (key == "0") return player(C::Volume, 1);
  if (key == "s") return player(C::Screenshot);
  if (key.size() == 1 && key[0] >= '1' && key[0] <= '5') return player(C::Scene, key[0] - '0');
  return std::nullopt;
}

void listen(std::function<void(const PageCommand&)> on_command, std::function<void(bool visible)> on_visible) {
  gOnCommand = std::move(on_command);
  gOnVisible = std::move(on_visible);
  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, on_key);
  emscripten_set_dblclick_callback("#stage", nullptr, EM_FALSE, on_double_click);
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
