#pragma once
// How a full-screen picture file reaches the screen, and back.
//
// The show is watched with the phone turned sideways: the window shows the
// 320 x 480 portrait screen turned a quarter turn counter-clockwise, a
// 480 x 320 landscape view in which landscape pixel (lx, ly) shows portrait
// pixel (319 - ly, lx). Every full-screen picture is designed as that
// landscape view and stored through the inverse of the mapping that draws it,
// in a 512 x 512 file whose upper-left 320 x 480 pixels the screen shows.
#include "picture_image.h"

namespace assetgen {

inline constexpr int kLandscapeWidth = 480;
inline constexpr int kLandscapeHeight = 320;
inline constexpr int kScreenFileSide = 512;

enum class ScreenMapping {
  // The far quad with the square texture coordinates (backdrops, logo, the
  // scrolling background, the closing picture): the file's first row lies
  // along the portrait screen's bottom edge, a vertical flip.
  FarQuad,
  // The loading screen: the file stands upright on the portrait screen.
  Upright,
};

struct FilePixel {
  int column;
  int row;
};

// Where pixel (x, y) of a landscape canvas is stored. The canvas is 480 wide
// and canvas_height tall: 320 for a still picture; a FarQuad picture may be
// taller (up to 512), its extra rows above the first view, for a background
// whose window slides along s (s = 0 is the canvas's bottom row). A picture
// drawn at `scale` has every one of these sizes times the scale.
FilePixel stored_pixel(ScreenMapping mapping, int x, int y, int canvas_height = kLandscapeHeight, int scale = 1);

// Stores a landscape canvas (480 x 320, or taller for FarQuad; each times the
// scale it was drawn at) in a 512 x 512 file (times the scale). File pixels
// the screen never shows repeat the nearest shown one, so that filtering at
// the window's edges brings in no stray colour.
Image store_screen_picture(const Image& canvas, ScreenMapping mapping);

// The 480 x 320 landscape view of a stored file, as the screen shows it;
// scroll is the window's offset along s in texels (512 w), FarQuad only.
Image view_screen_picture(const Image& file, ScreenMapping mapping, int scroll = 0);

}  // namespace assetgen
