#include "icons.h"

#include <cairo-svg.h>

#include <algorithm>
#include <cmath>

#include "file_output.h"

namespace assetgen {

namespace {

// The icon is designed on a 256-unit square.
constexpr double kSide = 256;

// The whole icon in the 256-unit square: a dark plum tile (the colour of the
// logo's glow), the logo's "V" with its white rim and pink to magenta fill,
// and the teal bar that carries the logo's subtitle.
void draw_icon_units(cairo_t* cr) {
  rounded_square_path(cr, 8, 248, 44);
  cairo_pattern_t* tile = cairo_pattern_create_radial(128, 100, 10, 128, 128, 180);
  add_stop(tile, 0, {0.34, 0.04, 0.28});
  add_stop(tile, 1, {0.10, 0.0, 0.08});
  cairo_set_source(cr, tile);
  cairo_fill(cr);
  cairo_pattern_destroy(tile);

  // The letter, its ink centred across the tile, standing on y = 182.
  const double baseline = 182;
  set_font(cr, 176, true);
  cairo_text_extents_t ink;
  cairo_text_extents(cr, "V", &ink);
  cairo_move_to(cr, kSide / 2 - ink.x_bearing - ink.width / 2, baseline);
  cairo_text_path(cr, "V");
  ink_logo_letters(cr, 14, baseline + ink.y_bearing, baseline);

  cairo_rectangle(cr, 52, 198, 152, 22);
  set_source(cr, kTeal);
  cairo_fill(cr);
}

cairo_status_t append_to_string(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

const std::vector<int>& icon_sizes() {
  static const std::vector<int> sizes = {16, 24, 32, 48, 64, 128, 256, 512};
  return sizes;
}

Image draw_icon(int side) {
  Canvas canvas(side, side);
  cairo_scale(canvas.cr(), side / kSide, side / kSide);
  draw_icon_units(canvas.cr());
  return canvas.image(true);
}

std::string draw_icon_svg() {
  std::string svg;
  cairo_surface_t* surface = cairo_svg_surface_create_for_stream(append_to_string, &svg, kSide, kSide);
  cairo_svg_surface_restrict_to_version(surface, CAIRO_SVG_VERSION_1_1);
  cairo_t* cr = cairo_create(surface);
  draw_icon_units(cr);
  const cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) throw OutputError(std::string("icon: ") + cairo_status_to_string(status));
  return svg;
}

void write_icons(const std::filesystem::path& dir) {
  const std::filesystem::path theme = dir / "hicolor";
  for (int side : icon_sizes()) {
    const std::filesystem::path apps = theme / (std::to_string(side) + "x" + std::to_string(side)) / "apps";
    std::filesystem::create_directories(apps);
    write_png(apps / "velmora.png", draw_icon(side));
  }
  std::filesystem::create_directories(theme / "scalable" / "apps");
  write_file_atomically(theme / "scalable" / "apps" / "velmora.svg", draw_icon_svg());
}

}  // namespace assetgen
