#include "support/screen_grab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fixture {

std::vector<std::uint32_t> grab_screen(const std::string& display, int* w, int* h) {
  Display* x = XOpenDisplay(display.c_str());
  if (!x) return {};
  const Window root = DefaultRootWindow(x);
  XWindowAttributes attributes{};
  XGetWindowAttributes(x, root, &attributes);
  *w = attributes.width;
  *h = attributes.height;
  std::vector<std::uint32_t> px;
  if (XImage* image = XGetImage(x, root, 0, 0, static_cast<unsigned>(*w), static_cast<unsigned>(*h), AllPlanes,
                                ZPixmap)) {
    px.reserve(static_cast<std::size_t>(*w) * static_cast<std::size_t>(*h));
    for (int y = 0; y < *h; ++y)
      for (int col = 0; col < *w; ++col) px.push_back(static_cast<std::uint32_t>(XGetPixel(image, col, y)) & 0xffffff);
    XDestroyImage(image);
  }
  XCloseDisplay(x);
  return px;
}

}  // namespace fixture
