#include "platform/desktop/window.h"

#include <SDL2/SDL.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/png.h"

namespace platform {
namespace {

constexpr std::int64_t kDisplayShownNs = 1'500'000'000;
constexpr std::int64_t kPointerIdleNs = 2'000'000'000;

// "1:23.45"
std::string clock_text(double seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  const int minutes = static_cast<int>(seconds / 60);
  std::snprintf(text, sizeof text, "%d:%05.2f", minutes, seconds - 60.0 * minutes);
  return text;
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
  if (display_) SDL_DestroyTexture(display_);
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
  displayDrawn_ = displayShown() && displayState;
  if (displayDrawn_) {
    const int band = std::max(30, pictureOutH_ / 7);
    drawDisplay(pictureX_, pictureY_ + pictureOutH_ - band, pictureOutW_, band);
  }
  SDL_RenderPresent(renderer_);
}

// The band along the bottom of the picture: a progress bar of the whole
// show, the time, a pause mark, the volume and the part of the show.
void Window::drawDisplay(int x, int y, int w, int h) {
  if (!display_ || displayW_ != w || displayH_ != h) {
    if (display_) SDL_DestroyTexture(display_);
    display_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
    if (!display_) return;
    SDL_SetTextureBlendMode(display_, SDL_BLENDMODE_BLEND);
    displayW_ = w;
    displayH_ = h;
  }
  const DisplayState state = displayState();
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(display_, nullptr, &pixels, &pitch) != 0) return;
  cairo_surface_t* surface =
      cairo_image_surface_create_for_data(static_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, w, h, pitch);
  cairo_t* cr = cairo_create(surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

  const double unit = h / 30.0;
  const double margin = 10 * unit;
  // The progress bar, with the part boundaries' ticks left to the eye.
  barX_ = x + static_cast<int>(margin);
  barW_ = std::max(1, w - 2 * static_cast<int>(margin));
  barY_ = y;
  barH_ = h;
  const double bar_y = 6 * unit;
  const double done = std::clamp(state.time / std::max(state.length, 1e-9), 0.0, 1.0);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
  cairo_rectangle(cr, margin, bar_y, barW_, 3 * unit);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 20 / 255.0, 220 / 255.0, 200 / 255.0);
  cairo_rectangle(cr, margin, bar_y, barW_ * done, 3 * unit);
  cairo_fill(cr);

  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 11 * unit);
  const double text_y = 23 * unit;
  double left = margin;
  cairo_set_source_rgb(cr, 1, 1, 1);
  if (state.paused) {
    cairo_rectangle(cr, left, text_y - 9 * unit, 3 * unit, 10 * unit);
    cairo_rectangle(cr, left + 5 * unit, text_y - 9 * unit, 3 * unit, 10 * unit);
    cairo_fill(cr);
    left += 13 * unit;
  }
  const std::string time = clock_text(state.time) + " / " + clock_text(state.length);
  cairo_move_to(cr, left, text_y);
  cairo_show_text(cr, time.c_str());
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, state.part.c_str(), &extents);
  cairo_move_to(cr, w - margin - extents.x_advance, text_y);
  cairo_show_text(cr, state.part.c_str());
  if (state.muted || state.volume < 100) {
    const std::string volume = state.muted ? "muted" : "volume " + std::to_string(state.volume) + "%";
    cairo_text_extents(cr, volume.c_str(), &extents);
    cairo_set_source_rgb(cr, 1, 0.75, 0.9);
    cairo_move_to(cr, (w - extents.x_advance) / 2, text_y);
    cairo_show_text(cr, volume.c_str());
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
  // Cairo's colours are premultiplied; SDL's blending takes them straight.
  for (int row = 0; row < h; ++row) {
    auto* p = reinterpret_cast<std::uint32_t*>(static_cast<unsigned char*>(pixels) + row * pitch);
    for (int col = 0; col < w; ++col) {
      const std::uint32_t a = p[col] >> 24;
      if (a == 0 || a == 255) continue;
      const auto straight = [a](std::uint32_t c) { return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a); };
      p[col] = a << 24 | straight(p[col] >> 16 & 255) << 16 | straight(p[col] >> 8 & 255) << 8 | straight(p[col] & 255);
    }
  }
  SDL_UnlockTexture(display_);
  const SDL_Rect to{x, y, w, h};
  SDL_RenderCopy(renderer_, display_, nullptr, &to);
}

void Window::showDisplay() {
  displayUntil_ = monotonic_ns() + kDisplayShownNs;
  redraw();
}

bool Window::displayShown() const { return monotonic_ns() < displayUntil_; }

bool Window::fullscreen() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0; }

void Window::toggleFullscreen() {
  SDL_SetWindowFullscreen(window_, fullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
  updatePointer();
}

void Window::size(int* w, int* h) const { SDL_GetWindowSize(window_, w, h); }

void Window::command(PlayerCommand::Kind kind, double value) {
  if (onCommand) onCommand(PlayerCommand{kind, value});
  if (kind != PlayerCommand::Quit) showDisplay();
}

// The keys of common media players.
void Window::key(const void* raw) {
  const SDL_KeyboardEvent& e = static_cast<const SDL_Event*>(raw)->key;
  const SDL_Keycode k = e.keysym.sym;
  const bool shift = (e.keysym.mod & KMOD_SHIFT) != 0;
  const bool alt = (e.keysym.mod & KMOD_ALT) != 0;
  const bool repeat = e.repeat != 0;
  using C = PlayerCommand;
  // Held keys repeat the moves through the show, nothing else.
  switch (k) {
    case SDLK_LEFT:
      return shift ? command(C::Step, -1) : command(C::SeekBy, -5);
    case SDLK_RIGHT:
      return shift ? command(C::Step, 1) : command(C::SeekBy, 5);
    case SDLK_UP:
      return command(C::SeekBy, 30);
    case SDLK_DOWN:
      return command(C::SeekBy, -30);
    case SDLK_COMMA:
      return command(C::StepIfPaused, -1);
    case SDLK_PERIOD:
      return command(C::StepIfPaused, 1);
    default:
      break;
  }
  if (repeat) return;
  switch (k) {
    case SDLK_SPACE:
    case SDLK_p:
      return command(C::TogglePause);
    case SDLK_PAGEUP:
      return command(C::PreviousPart);
    case SDLK_PAGEDOWN:
      return command(C::NextPart);
    case SDLK_HOME:
      return command(C::SeekTo, 0);
    case SDLK_m:
      return command(C::ToggleMute);
    case SDLK_9:
      return command(C::Volume, -1);
    case SDLK_0:
      return command(C::Volume, 1);
    case SDLK_s:
      return command(C::Screenshot);
    case SDLK_q:
      return command(C::Quit);
    case SDLK_ESCAPE:
      // Out of full screen first; only a window is closed by it.
      if (fullscreen()) {
        toggleFullscreen();
        return;
      }
      return command(C::Quit);
    case SDLK_f:
    case SDLK_F11:
      toggleFullscreen();
      return;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      if (alt) toggleFullscreen();
      return;
    default:
      break;
  }
  if (k >= SDLK_1 && k <= SDLK_5) return command(C::Scene, k - SDLK_1 + 1);
  if (k >= SDLK_KP_1 && k <= SDLK_KP_5) return command(C::Scene, k - SDLK_KP_1 + 1);
}

bool Window::onBar(int x, int y) const {
  return displayDrawn_ && x >= barX_ && x < barX_ + barW_ && y >= barY_ && y < barY_ + barH_;
}

void Window::seekToPointer(int x) {
  if (!displayState) return;
  const double fraction = std::clamp(static_cast<double>(x - barX_) / barW_, 0.0, 1.0);
  command(PlayerCommand::SeekTo, fraction * displayState().length);
}

// The pointer hides in full screen, and in a window once it has rested a while.
void Window::updatePointer() {
  const bool show = !fullscreen() && monotonic_ns() - pointerMoved_ < kPointerIdleNs;
  if (show != pointerShown_) {
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    pointerShown_ = show;
  }
}

// Mouse positions arrive in window coordinates; the picture is laid out in
// output pixels, which differ on a high-density screen.
static void to_output(SDL_Window* window, SDL_Renderer* renderer, int* x, int* y) {
  int ww = 1, wh = 1, ow = 1, oh = 1;
  SDL_GetWindowSize(window, &ww, &wh);
  SDL_GetRendererOutputSize(renderer, &ow, &oh);
  *x = *x * ow / std::max(ww, 1);
  *y = *y * oh / std::max(wh, 1);
}

void Window::handle(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  switch (e.type) {
    case SDL_QUIT:
      command(PlayerCommand::Quit);
      break;
    case SDL_KEYDOWN:
      key(raw);
      break;
    case SDL_MOUSEMOTION: {
      pointerMoved_ = monotonic_ns();
      updatePointer();
      if (displayShown()) {
        displayUntil_ = pointerMoved_ + kDisplayShownNs;
      } else {
        showDisplay();
      }
      int x = e.motion.x, y = e.motion.y;
      to_output(window_, renderer_, &x, &y);
      if (dragging_) pendingSeekX_ = x;
      break;
    }
    case SDL_MOUSEBUTTONDOWN: {
      int x = e.button.x, y = e.button.y;
      to_output(window_, renderer_, &x, &y);
      if (e.button.button == SDL_BUTTON_LEFT && onBar(x, y)) {
        dragging_ = true;
        seekToPointer(x);
      }
      break;
    }
    case SDL_MOUSEBUTTONUP:
      dragging_ = false;
      break;
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
  if (pendingSeekX_ >= 0) {
    seekToPointer(pendingSeekX_);
    pendingSeekX_ = -1;
  }
  // Told between turns, never from inside a presentation.
  if (onResize && (pictureOutW_ != reportedW_ || pictureOutH_ != reportedH_)) {
    reportedW_ = pictureOutW_;
    reportedH_ = pictureOutH_;
    onResize(pictureOutW_, pictureOutH_);
  }
  updatePointer();
  // The display's moment is over: take it off the picture, also while paused.
  if (displayDrawn_ && !displayShown()) redraw();
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
