#include "platform/web/page.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/run_loop.h"
#include "platform/web/audio.h"

namespace platform::web {
namespace {

std::function<void(PageCommand)> gOnCommand;
std::function<void(bool)> gOnVisible;

// The time between animation frames, measured as they come; timers due
// within half of it fire in this frame rather than a whole frame late.
double gFrameMs = 1000.0 / 60;
double gLastFrameMs = -1;

void command(PageCommand c) {
  if (gOnCommand) gOnCommand(c);
}

EM_BOOL on_key(int, const EmscriptenKeyboardEvent* e, void*) {
  if (e->repeat) return EM_FALSE;
  const auto c = command_for_key(e->key, e->altKey);
  if (!c) return EM_FALSE;  // the browser's, then
  command(*c);
  return EM_TRUE;
}

EM_BOOL on_double_click(int, const EmscriptenMouseEvent*, void*) {
  command(PageCommand::ToggleFullscreen);
  return EM_TRUE;
}

EM_BOOL on_visibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
  if (gOnVisible) gOnVisible(!e->hidden);
  return EM_FALSE;
}

EM_JS(void, page_toggle_fullscreen, (), { Module["velmoraPage"].toggleFullscreen(); });

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
  keep_music_in_step();
  return !loop.stopped();
}

std::optional<PageCommand> command_for_key(std::string_view key, bool alt) {
  if ((key == "f" || key == "F") && !alt) return PageCommand::ToggleFullscreen;
  if (key == "Enter" && alt) return PageCommand::ToggleFullscreen;
  return std::nullopt;
}

void listen(std::function<void(PageCommand)> on_command, std::function<void(bool visible)> on_visible) {
  gOnCommand = std::move(on_command);
  gOnVisible = std::move(on_visible);
  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, on_key);
  emscripten_set_dblclick_callback("#stage", nullptr, EM_FALSE, on_double_click);
  emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, on_visibility);
}

void toggle_fullscreen() { page_toggle_fullscreen(); }

void run_from_animation_frames() { request_animation_frames(); }

}  // namespace platform::web

// One animation frame (the browser's time stamp, in milliseconds): the timers
// due by then, and the music. 0 once the main run loop has been stopped.
extern "C" EMSCRIPTEN_KEEPALIVE int velmora_animation_frame(double now_ms) {
  return platform::web::animation_frame(now_ms) ? 1 : 0;
}
