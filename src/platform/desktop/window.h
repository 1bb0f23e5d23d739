#pragma once
// The desktop window: shows presented frames aspect-correct with black bars,
// scaled smoothly unless the scale is a whole number, and reports the
// viewer's keys and pointer in the platform's vocabulary (platform/input.h).
// Over the picture it draws an overlay when asked (the on-screen display),
// which is the window's own and never part of a presented frame. The picture
// is copied through SDL's software renderer so that the one GL context of
// the show is never disturbed.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/frame.h"
#include "platform/input.h"
#include "platform/run_loop.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace platform {

struct WindowOptions {
  Orientation orientation = Orientation::Landscape;
  // Whole multiple of the picture, reduced to the largest the desktop holds;
  // 0 picks the largest that fits about 80% of the desktop.
  int scale = 0;
  bool fullscreen = false;
  std::string title = "velmora";
  std::string icon;  // a PNG file; none when empty or unreadable
};

class WindowError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the window lays over the picture: the on-screen display.
class WindowOverlay {
 public:
  // A rectangle of output pixels in picture coordinates (empty: w is 0).
  struct Area {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool operator==(const Area&) const = default;
  };
  virtual ~WindowOverlay() = default;
  // Where it lies now over a picture shown `picture_w` x `picture_h` output
  // pixels large; empty while it shows nothing.
  virtual Area area(int picture_w, int picture_h) const = 0;
  // Draws itself over `area` (as area() gave it) into premultiplied 32-bit
  // ARGB words (rows `pitch` bytes apart), as Cairo's image surfaces hold
  // them.
  virtual void draw(unsigned char* argb, int pitch, const Area& area) = 0;
};

class Window final : public FrameSink, public NSRunLoop::EventSource {
 public:
  // Opens a window for width x height portrait frames (frames of another size
  // are taken too: the render scale may change). Throws WindowError when no
  // display is available.
  Window(int width, int height, const WindowOptions& options);
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The viewer's keys, and the pointer in picture coordinates.
  std::function<void(const KeyPress&)> onKey;
  std::function<void(const PointerEvent&)> onPointer;
  // Called once a turn, after the turn's events.
  std::function<void()> onEventsHandled;
  // Called when the viewer closes the window.
  std::function<void()> onClose;
  // Called with false when the window is minimised or hidden, true when it is
  // restored or shown again.
  std::function<void(bool active)> onActivity;
  // Called with the picture's size in output pixels whenever it changes (a
  // resize, full screen).
  std::function<void(int w, int h)> onResize;

  void present(const Frame& frame) override;
  void pollEvents() override;
  void waitEvents(std::int64_t deadline_ns) override;

  // What is drawn over the picture where it says it lies (none: null).
  void setOverlay(WindowOverlay* overlay) { overlay_ = overlay; }
  // Draws the window again: the latest picture, and the overlay over it. The
  // window also does so by itself between turns whenever the overlay moves
  // or goes, also while no new picture comes (paused).
  void redraw();

  bool fullscreen() const;
  void toggleFullscreen();
  int scale() const { return scale_; }
  // The window's size in pixels, for tests.
  void size(int* w, int* h) const;
  // The latest picture as shown (turned, RGBA, top row first), for screenshots.
  const std::vector<std::uint8_t>& picture() const { return shown_; }
  int pictureWidth() const { return pictureW_; }
  int pictureHeight() const { return pictureH_; }
  // How large the picture is shown, in output pixels.
  int shownWidth() const { return pictureOutW_; }
  int shownHeight() const { return pictureOutH_; }
  // Whether the picture is turned sideways (the landscape view) or stands.
  Orientation orientation() const { return orientation_; }

 private:
  void setIcon(const std::string& path);
  void handle(const void* event);
  void drawOverlay(const WindowOverlay::Area& area);
  void pointer(PointerEvent event, int window_x, int window_y);
  void updatePointer();

  Orientation orientation_;
  int pictureW_;
  int pictureH_;
  int scale_ = 1;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  WindowOverlay* overlay_ = nullptr;
  SDL_Texture* overlayTexture_ = nullptr;  // the overlay's band
  int overlayW_ = 0;
  int overlayH_ = 0;
  WindowOverlay::Area overlayDrawn_;  // where the overlay lies as last drawn
  std::vector<std::uint8_t> shown_;
  // Where the picture lies in the window, in output pixels.
  int pictureX_ = 0, pictureY_ = 0, pictureOutW_ = 0, pictureOutH_ = 0;
  int reportedW_ = 0, reportedH_ = 0;
  std::int64_t pointerMoved_ = 0;
  bool pointerShown_ = true;
  bool visible_ = true;
};

// The largest whole multiple of a w x h picture that fits in about 80% of a
// desktop of desktop_w x desktop_h pixels, at least 1.
int fitting_scale(int w, int h, int desktop_w, int desktop_h);

}  // namespace platform
