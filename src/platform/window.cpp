#include "platform/window.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

namespace platform {

int fitting_scale(int w, int h, int desktop_w, int desktop_h) {
  const int by_w = desktop_w * 4 / 5 / std::max(w, 1);
  const int by_h = desktop_h * 4 / 5 / std::max(h, 1);
  return std::max(1, std::min(by_w, by_h));
}

Window::Window(int width, int height, const WindowOptions& options)
    : orientation_(options.orientation),
      pictureW_(oriented_width(width, height, options.orientation)),
      pictureH_(oriented_height(width, height, options.orientation)) {
  // The software renderer, and no accelerated window surface behind it: SDL's
  // own GL contexts would take the thread's current context from the show's.
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
  // SIGINT and SIGTERM are the program's own (platform/signals.h).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  const std::string no_display =
      "no display available for a window; use --headless to play without one, or 'velmora still' to render a picture";
  auto set = [](const char* name) {
    const char* value = SDL_getenv(name);
    return value && *value;
  };
  const bool requested = set("SDL_VIDEODRIVER");
  if (!requested && !set("DISPLAY") && !set("WAYLAND_DISPLAY")) throw WindowError(no_display);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) throw WindowError(no_display + " (" + SDL_GetError() + ")");
  // Without a display SDL falls back to drivers that show nothing; a window
  // nobody can see is only wanted when asked for by name.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
      !requested) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    throw WindowError(no_display);
  }
  SDL_DisplayMode desktop{};
  if (options.scale > 0) {
    scale_ = options.scale;
  } else if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
    scale_ = fitting_scale(pictureW_, pictureH_, desktop.w, desktop.h);
  }
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (options.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  window_ = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             pictureW_ * scale_, pictureH_ * scale_, flags);
  if (window_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_) {
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, pictureW_,
                                 pictureH_);
  }
  if (!texture_) {
    const std::string why = SDL_GetError();
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    throw WindowError("cannot open a window: " + why);
  }
  SDL_RenderSetLogicalSize(renderer_, pictureW_, pictureH_);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderPresent(renderer_);
}

Window::~Window() {
  SDL_DestroyTexture(texture_);
  SDL_DestroyRenderer(renderer_);
  SDL_DestroyWindow(window_);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void Window::present(const Frame& frame) {
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return;
  orient_frame(frame, orientation_, static_cast<std::uint8_t*>(pixels), pitch);
  SDL_UnlockTexture(texture_);
  redraw();
}

void Window::redraw() {
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

bool Window::fullscreen() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0; }

void Window::toggleFullscreen() { SDL_SetWindowFullscreen(window_, fullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP); }

void Window::size(int* w, int* h) const { SDL_GetWindowSize(window_, w, h); }

void Window::handle(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  switch (e.type) {
    case SDL_QUIT:
      if (onQuit) onQuit();
      break;
    case SDL_KEYDOWN: {
      const SDL_Keycode key = e.key.keysym.sym;
      if (key == SDLK_ESCAPE) {
        if (onQuit) onQuit();
      } else if (!e.key.repeat &&
                 (key == SDLK_F11 || ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && (e.key.keysym.mod & KMOD_ALT)))) {
        toggleFullscreen();
      }
      break;
    }
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN:
          if (visible_) {
            visible_ = false;
            if (onActivity) onActivity(false);
          }
          break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_MAXIMIZED:
          if (!visible_) {
            visible_ = true;
            if (onActivity) onActivity(true);
          }
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          redraw();
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
}

void Window::pollEvents() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) handle(&e);
}

void Window::waitEvents(std::int64_t deadline_ns) {
  SDL_Event e;
  int timeout_ms = -1;
  if (deadline_ns >= 0) {
    const std::int64_t left = deadline_ns - monotonic_ns();
    if (left <= 0) return;
    // SDL waits in whole milliseconds: wait for the whole ones, sleep the rest.
    timeout_ms = static_cast<int>(left / 1000000);
    if (timeout_ms == 0) {
      sleep_until(deadline_ns);
      return;
    }
  }
  if (SDL_WaitEventTimeout(&e, timeout_ms)) {
    handle(&e);
    pollEvents();
  }
}

}  // namespace platform
