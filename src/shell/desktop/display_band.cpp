#include "shell/desktop/display_band.h"

#include <cairo.h>

#include <algorithm>
#include <string>

#include "shell/clock_text.h"

int DisplayBand::height(int picture_h) const { return std::max(30, picture_h / 7); }

void DisplayBand::draw(unsigned char* argb, int pitch, int x, int y, int w, int h) {
  const DisplayState state = display_.state();
  cairo_surface_t* surface = cairo_image_surface_create_for_data(argb, CAIRO_FORMAT_ARGB32, w, h, pitch);
  cairo_t* cr = cairo_create(surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

  const double unit = h / 30.0;
  const double margin = 10 * unit;
  // The progress bar, with the part boundaries' ticks left to the eye.
  bar_.x = x + static_cast<int>(margin);
  bar_.w = std::max(1, w - 2 * static_cast<int>(margin));
  bar_.y = y;
  bar_.h = h;
  bar_.length = state.length;
  const double bar_y = 6 * unit;
  const double done = std::clamp(state.time / std::max(state.length, 1e-9), 0.0, 1.0);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
  cairo_rectangle(cr, margin, bar_y, bar_.w, 3 * unit);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 20 / 255.0, 220 / 255.0, 200 / 255.0);
  cairo_rectangle(cr, margin, bar_y, bar_.w * done, 3 * unit);
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
}
