#pragma once
// The desktop window: shows presented frames aspect-correct with black bars,
// toggles full screen (F11, Alt+Enter) and reports the user's wishes (close,
// Esc) and the window's visibility (minimised or hidden = inactive) to the
// application. The picture is copied through SDL's software renderer so that
// the one GL context of the show is never disturbed.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/frame.h"
#include "platform/run_loop.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace platform {

struct WindowOptions {
  Orientation orientation = Orientation::Landscape;
  int scale = 0;  // whole multiple of the picture; 0 picks the largest that fits ~80% of the desktop
  bool fullscreen = false;
  std::string title = "velmora";
};

class WindowError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Window final : public FrameSink, public NSRunLoop::EventSource {
 public:
  // Opens a window for width x height portrait frames. Throws WindowError when
  // no display is available.
  Window(int width, int height, const WindowOptions& options);
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Called when the user closes the window or presses Esc.
  std::function<void()> onQuit;
  // Called with false when the window is minimised or hidden, true when it is
  // restored or shown again.
  std::function<void(bool active)> onActivity;

  void present(const Frame& frame) override;
  void pollEvents() override;
  void waitEvents(std::int64_t deadline_ns) override;

  bool fullscreen() const;
  void toggleFullscreen();
  int scale() const { return scale_; }
  // The window's size in pixels, for tests.
  void size(int* w, int* h) const;

 private:
  void handle(const void* event);
  void redraw();

  Orientation orientation_;
  int pictureW_;
  int pictureH_;
  int scale_ = 1;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  bool visible_ = true;
};

// The largest whole multiple of a w x h picture that fits in about 80% of a
// desktop of desktop_w x desktop_h pixels, at least 1.
int fitting_scale(int w, int h, int desktop_w, int desktop_h);

}  // namespace platform
