#include "picture_mapping.h"

#include <algorithm>

#include "file_output.h"

namespace assetgen {

FilePixel stored_pixel(ScreenMapping mapping, int x, int y, int canvas_height, int scale) {
  switch (mapping) {
    case ScreenMapping::FarQuad:
      // Portrait (px, py) shows file (column px, row 479 - py); the landscape
      // canvas's bottom row is s = 0.
      return {canvas_height - 1 - y, kLandscapeWidth * scale - 1 - x};
    case ScreenMapping::Upright:
      // Portrait (px, py) shows file (column px, row py).
      return {kLandscapeHeight * scale - 1 - y, x};
  }
  return {0, 0};
}

Image store_screen_picture(const Image& canvas, ScreenMapping mapping) {
  const int scale = std::max(1, canvas.width / kLandscapeWidth);
  const int max_height = (mapping == ScreenMapping::FarQuad ? kScreenFileSide : kLandscapeHeight) * scale;
  if (canvas.width != kLandscapeWidth * scale || canvas.height < kLandscapeHeight * scale || canvas.height > max_height)
    throw OutputError("a full-screen picture must be designed 480 wide and 320 tall (up to 512 when it scrolls)");
  const int side = kScreenFileSide * scale;
  Image file(side, side, canvas.has_alpha);
  // The shown block of the file: columns 0 .. canvas_height - 1, rows 0 .. 479 (times the scale).
  for (int y = 0; y < canvas.height; ++y)
    for (int x = 0; x < canvas.width; ++x) {
      const FilePixel p = stored_pixel(mapping, x, y, canvas.height, scale);
      std::copy_n(canvas.at(x, y), 4, file.at(p.column, p.row));
    }
  const int shown_columns = canvas.height, shown_rows = kLandscapeWidth * scale;
  for (int r = 0; r < side; ++r)
    for (int c = 0; c < side; ++c) {
      if (r < shown_rows && c < shown_columns) continue;
      std::copy_n(file.at(std::min(c, shown_columns - 1), std::min(r, shown_rows - 1)), 4, file.at(c, r));
    }
  return file;
}

Image view_screen_picture(const Image& file, ScreenMapping mapping, int scroll) {
  Image view(kLandscapeWidth, kLandscapeHeight, file.has_alpha);
  for (int y = 0; y < kLandscapeHeight; ++y)
    for (int x = 0; x < kLandscapeWidth; ++x) {
      FilePixel p = stored_pixel(mapping, x, y);
      p.column = ((p.column + scroll) % file.width + file.width) % file.width;  // the texture repeats
      std::copy_n(file.at(p.column, p.row), 4, view.at(x, y));
    }
  return view;
}

}  // namespace assetgen
