#pragma once
// The program's icon for the desktop: the logo's lettering reduced to its
// first letter, drawn from vectors so that every size comes out sharp.
#include <filesystem>
#include <string>
#include <vector>

#include "picture_image.h"

namespace assetgen {

// The square PNG sizes of the icon theme, smallest first.
const std::vector<int>& icon_sizes();

// The icon at side x side pixels, with alpha.
Image draw_icon(int side);
// The same drawing as an SVG document.
std::string draw_icon_svg();

// Writes the icon into dir as an icon theme lays it out:
// hicolor/NxN/apps/velmora.png for each size and hicolor/scalable/apps/velmora.svg.
void write_icons(const std::filesystem::path& dir);

}  // namespace assetgen
