#include "platform/desktop/window.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/clock.h"
#include "platform/png.h"

namespace platform {
namespace {

constexpr std::int64_t kPointerIdleNs = 2'000'000'000;

// A key as the platform's vocabulary has it: SDL's key codes are the
// characters they type (letters in lower case), the keypad's digits and
// Enter the main ones'. Null for a key the vocabulary has no name for.
std::optional<KeyPress> key_press(const SDL_KeyboardEvent& e) {
  struct Name {
    SDL_Keycode sym;
    KeyPress::Named named;
  };
  static constexpr Name kNamed[] = {
      {SDLK_LEFT, KeyPress::Left},     {SDLK_RIGHT, KeyPress::Right},   {SDLK_UP, KeyPress::Up},
      {SDLK_DOWN, KeyPress::Down},     {SDLK_PAGEUP, KeyPress::PageUp}, {SDLK_PAGEDOWN, KeyPress::PageDown},
      {SDLK_HOME, KeyPress::Home},     {SDLK_RETURN, KeyPress::Enter},  {SDLK_KP_ENTER, KeyPress::Enter},
      {SDLK_ESCAPE, KeyPress::Escape}, {SDLK_F11, KeyPress::F11},
  };
  KeyPress k;
  k.shift = (e.keysym.mod & KMOD_SHIFT) != 0;
  k.alt = (e.keysym.mod & KMOD_ALT) != 0;
  k.repeat = e.repeat != 0;
  const SDL_Keycode sym = e.keysym.sym;
  if (sym >= ' ' && sym <= '~') {
    k.character = static_cast<char>(sym);
  } else if (sym >= SDLK_KP_1 && sym <= SDLK_KP_9) {
    k.character = static_cast<char>('1' + (sym - SDLK_KP_1));
  } else if (sym == SDLK_KP_0) {
    k.character = '0';
  } else {
    for (const Name& n : kNamed) {
      if (sym == n.sym) k.named = n.named;
    }
    if (k.named == KeyPress::None) return std::nullopt;
  }
  return k;
}

PointerEvent::Button button(Uint8 sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT:
      return PointerEvent::Primary;
    case SDL_BUTTON_RIGHT:
      return PointerEvent::Secondary;
    default:
      return PointerEvent::Other;
  }
}

// Mouse positions arrive in window coordinates; the picture is laid out in
// output pixels, which differ on a high-density screen.
void to_output(SDL_Window* window, SDL_Renderer* renderer, int* x, int* y) {
  int ww = 1, wh = 1, ow = 1, oh = 1;
  SDL_GetWindowSize(window, &ww, &wh);
  SDL_GetRendererOutputSize(renderer, &ow, &oh);
  *x = *x * ow / std::max(ww, 1);
  *y = *y * oh / std::max(wh, 1);
}

}  // namespace

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
  // SIGINT and SIGTERM are the program's own (process/signals.h).
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
  SDL_Rect usable{};
  if (options.scale > 0) {
    scale_ = options.scale;
    // A window larger than the desktop helps nobody: the largest that fits.
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
      const int fits = std::max(1, std::min(usable.w / pictureW_, usable.h / pictureH_));
      scale_ = std::min(scale_, fits);
    }
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
  setIcon(options.icon);
  shown_.assign(static_cast<std::size_t>(pictureW_) * static_cast<std::size_t>(pictureH_) * 4, 0);
  for (std::size_t i = 3; i < shown_.size(); i += 4) shown_[i] = 255;
  pointerMoved_ = monotonic_ns();
  updatePointer();
  redraw();
}

Window::~Window() {
  if (overlayTexture_) SDL_DestroyTexture(overlayTexture_);
  SDL_DestroyTexture(texture_);
  SDL_DestroyRenderer(renderer_);
  SDL_DestroyWindow(window_);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void Window::setIcon(const std::string& path) {
  PngReader png;
  if (path.empty() || !png.open(path) || png.width() > 512 || png.height() > 512) return;
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(png.width()) * png.height() * 4);
  if (!png.readPremultiplied(rgba.data())) return;
  unpremultiply_alpha(rgba.data(), rgba.size() / 4);  // SDL takes straight alpha
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(rgba.data(), png.width(), png.height(), 32, png.width() * 4,
                                                         SDL_PIXELFORMAT_ABGR8888);
  if (!icon) return;
  SDL_SetWindowIcon(window_, icon);
  SDL_FreeSurface(icon);
}

void Window::present(const Frame& frame) {
  const int w = oriented_width(frame.width, frame.height, orientation_);
  const int h = oriented_height(frame.width, frame.height, orientation_);
  if (w != pictureW_ || h != pictureH_) {
    // A new render scale: the picture's texture and copy follow it.
    SDL_Texture* texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, w, h);
    if (!texture) return;
    SDL_DestroyTexture(texture_);
    texture_ = texture;
    pictureW_ = w;
    pictureH_ = h;
    shown_.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, 0);
  }
  orient_frame(frame, orientation_, shown_.data(), pictureW_ * 4);
  SDL_UpdateTexture(texture_, nullptr, shown_.data(), pictureW_ * 4);
  redraw();
}

void Window::redraw() {
  int out_w = 0;
  int out_h = 0;
  SDL_GetRendererOutputSize(renderer_, &out_w, &out_h);
  // The picture as large as fits, keeping its aspect; black bars around it.
  const double fit = std::min(static_cast<double>(out_w) / pictureW_, static_cast<double>(out_h) / pictureH_);
  pictureOutW_ = std::max(1, static_cast<int>(std::lround(pictureW_ * fit)));
  pictureOutH_ = std::max(1, static_cast<int>(std::lround(pictureH_ * fit)));
  pictureX_ = (out_w - pictureOutW_) / 2;
  pictureY_ = (out_h - pictureOutH_) / 2;

  // Whole multiples stay sharp; any other ratio is scaled smoothly, so no
  // row or column of the picture is doubled while its neighbours are not.
  const bool whole = std::abs(fit - std::round(fit)) < 1e-9;
  SDL_SetTextureScaleMode(texture_, whole ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);

  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  const SDL_Rect to{pictureX_, pictureY_, pictureOutW_, pictureOutH_};
  SDL_RenderCopy(renderer_, texture_, nullptr, &to);
  overlayDrawn_ = overlay_ ? overlay_->area(pictureOutW_, pictureOutH_) : WindowOverlay::Area{};
  if (overlayDrawn_.w > 0 && overlayDrawn_.h > 0) drawOverlay(overlayDrawn_);
  SDL_RenderPresent(renderer_);
}

// The overlay over `area` of the picture.
void Window::drawOverlay(const WindowOverlay::Area& area) {
  const int w = area.w;
  const int h = area.h;
  if (!overlayTexture_ || overlayW_ != w || overlayH_ != h) {
    if (overlayTexture_) SDL_DestroyTexture(overlayTexture_);
    overlayTexture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
    if (!overlayTexture_) return;
    SDL_SetTextureBlendMode(overlayTexture_, SDL_BLENDMODE_BLEND);
    overlayW_ = w;
    overlayH_ = h;
  }
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(overlayTexture_, nullptr, &pixels, &pitch) != 0) return;
  auto* rows = static_cast<unsigned char*>(pixels);
  overlay_->draw(rows, pitch, area);
  // The overlay's colours are premultiplied; SDL's blending takes them
  // straight. (Alpha is the fourth byte of an ARGB word in memory, as of an
  // RGBA pixel, and the three colours are treated alike.)
  for (int row = 0; row < h; ++row) unpremultiply_alpha(rows + row * pitch, static_cast<std::size_t>(w));
  SDL_UnlockTexture(overlayTexture_);
  const SDL_Rect to{pictureX_ + area.x, pictureY_ + area.y, w, h};
  SDL_RenderCopy(renderer_, overlayTexture_, nullptr, &to);
}

bool Window::fullscreen() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0; }

void Window::toggleFullscreen() {
  SDL_SetWindowFullscreen(window_, fullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
  updatePointer();
}

void Window::size(int* w, int* h) const { SDL_GetWindowSize(window_, w, h); }

// The pointer hides in full screen, and in a window once it has rested a while.
void Window::updatePointer() {
  const bool show = !fullscreen() && monotonic_ns() - pointerMoved_ < kPointerIdleNs;
  if (show != pointerShown_) {
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    pointerShown_ = show;
  }
}

// Reports `event` at (x, y) in window coordinates in picture coordinates.
void Window::pointer(PointerEvent event, int x, int y) {
  to_output(window_, renderer_, &x, &y);
  event.x = x - pictureX_;
  event.y = y - pictureY_;
  if (onPointer) onPointer(event);
}

void Window::handle(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  switch (e.type) {
    case SDL_QUIT:
      if (onClose) onClose();
      break;
    case SDL_KEYDOWN:
      if (const auto k = key_press(e.key); k && onKey) onKey(*k);
      break;
    case SDL_MOUSEMOTION:
      pointerMoved_ = monotonic_ns();
      updatePointer();
      pointer(PointerEvent{PointerEvent::Move}, e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      PointerEvent p;
      p.button = button(e.button.button);
      p.kind = e.type == SDL_MOUSEBUTTONUP       ? PointerEvent::Release
               : e.button.clicks % 2 == 0 && p.button == PointerEvent::Primary ? PointerEvent::DoubleClick
                                                                              : PointerEvent::Press;
      pointer(p, e.button.x, e.button.y);
      break;
    }
    case SDL_MOUSEWHEEL: {
      // Reported where the pointer is; a flipped wheel (natural scrolling)
      // turns the other way round.
      PointerEvent p{PointerEvent::Wheel};
      p.steps = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      int x = 0;
      int y = 0;
      SDL_GetMouseState(&x, &y);
      if (p.steps != 0) pointer(p, x, y);
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
  if (onEventsHandled) onEventsHandled();
  // Told between turns, never from inside a presentation.
  if (onResize && (pictureOutW_ != reportedW_ || pictureOutH_ != reportedH_)) {
    reportedW_ = pictureOutW_;
    reportedH_ = pictureOutH_;
    onResize(pictureOutW_, pictureOutH_);
  }
  updatePointer();
  // The overlay moved or went (its moment is over, the show paused or
  // resumed): drawn again, also while no new picture comes.
  const WindowOverlay::Area now = overlay_ ? overlay_->area(pictureOutW_, pictureOutH_) : WindowOverlay::Area{};
  if (!(now == overlayDrawn_)) redraw();
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
