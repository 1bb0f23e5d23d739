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

// What the window lays over the lower edge of the picture while it is shown.
class WindowOverlay {
 public:
  virtual ~WindowOverlay() = default;
  virtual bool shown() const = 0;
  // The band's height in output pixels, for a picture shown `picture_h` high.
  virtual int height(int picture_h) const = 0;
  // Draws the band, w x h output pixels whose top-left corner lies at (x, y)
  // in picture coordinates, into premultiplied 32-bit ARGB words (rows
  // `pitch` bytes apart), as Cairo's image surfaces hold them.
  virtual void draw(unsigned char* argb, int pitch, int x, int y, int w, int h) = 0;
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

  // What is drawn over the picture while it says it is shown (none: null).
  void setOverlay(WindowOverlay* overlay) { overlay_ = overlay; }
  // Whether the overlay lies over the picture as last drawn.
  bool overlayDrawn() const { return overlayDrawn_; }
  // Draws the window again: the latest picture, and the overlay if shown.
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

 private:
  void setIcon(const std::string& path);
  void handle(const void* event);
  void drawOverlay(int x, int y, int w, int h);
  void pointer(PointerEvent::Kind kind, int x, int y, bool primary = true);
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
  bool overlayDrawn_ = false;
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
