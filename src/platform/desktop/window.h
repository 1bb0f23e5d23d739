#pragma once
// The desktop window: shows presented frames aspect-correct with black bars,
// scaled smoothly unless the scale is a whole number, and turns the viewer's
// keys and clicks into player commands. Over the picture it draws the
// on-screen display (time, part of the show, a progress bar), which is the
// window's own and never part of a presented frame. The picture is copied
// through SDL's software renderer so that the one GL context of the show is
// never disturbed.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/frame.h"
#include "platform/player_commands.h"
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

class Window final : public FrameSink, public NSRunLoop::EventSource {
 public:
  // Opens a window for width x height portrait frames (frames of another size
  // are taken too: the render scale may change). Throws WindowError when no
  // display is available.
  Window(int width, int height, const WindowOptions& options);
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Called for every command the viewer gives.
  std::function<void(const PlayerCommand&)> onCommand;
  // What the on-screen display shows; asked each time it is drawn.
  std::function<DisplayState()> displayState;
  // Called with false when the window is minimised or hidden, true when it is
  // restored or shown again.
  std::function<void(bool active)> onActivity;
  // Called with the picture's size in output pixels whenever it changes (a
  // resize, full screen).
  std::function<void(int w, int h)> onResize;

  void present(const Frame& frame) override;
  void pollEvents() override;
  void waitEvents(std::int64_t deadline_ns) override;

  // Shows the on-screen display for a moment (after any control).
  void showDisplay();
  bool displayShown() const;

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
  void key(const void* event);
  void command(PlayerCommand::Kind kind, double value = 0);
  void redraw();
  void drawDisplay(int x, int y, int w, int h);
  bool onBar(int x, int y) const;
  void seekToPointer(int x);
  void updatePointer();

  Orientation orientation_;
  int pictureW_;
  int pictureH_;
  int scale_ = 1;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_Texture* display_ = nullptr;  // the on-screen display's band, drawn with Cairo
  int displayW_ = 0;
  int displayH_ = 0;
  std::vector<std::uint8_t> shown_;
  // Where the picture and the progress bar lie in the window, in output pixels.
  int pictureX_ = 0, pictureY_ = 0, pictureOutW_ = 0, pictureOutH_ = 0;
  int reportedW_ = 0, reportedH_ = 0;
  int barX_ = 0, barY_ = 0, barW_ = 0, barH_ = 0;
  std::int64_t displayUntil_ = 0;  // monotonic ns
  bool displayDrawn_ = false;
  bool dragging_ = false;
  int pendingSeekX_ = -1;  // the latest drag position, sought once per turn
  std::int64_t pointerMoved_ = 0;
  bool pointerShown_ = true;
  bool visible_ = true;
};

// The largest whole multiple of a w x h picture that fits in about 80% of a
// desktop of desktop_w x desktop_h pixels, at least 1.
int fitting_scale(int w, int h, int desktop_w, int desktop_h);

}  // namespace platform
