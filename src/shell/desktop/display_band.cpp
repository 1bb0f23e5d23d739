#include "shell/desktop/display_band.h"

#include <cairo.h>

#include <algorithm>
#include <string>

#include "shell/clock_text.h"

namespace {

int band_height(int picture_h) { return std::max(30, picture_h / 7); }

// The band is drawn in units of a thirtieth of its height, its contents
// inset by a margin of ten units.
int band_margin(int band_h) { return static_cast<int>(10 * (band_h / 30.0)); }

// The resting pause mark: a small square.
int mark_side(int band_h) { return std::max(12, band_h * 2 / 5); }

}  // namespace

// The band spans the picture's width from its left edge; the mark lies
// inside it, clear of the edge. draw() tells them apart by that.
platform::WindowOverlay::Area DisplayBand::area(int picture_w, int picture_h) const {
  const int band = band_height(picture_h);
  if (display_.shown()) return Area{0, picture_h - band, picture_w, band};
  if (!display_.state().paused) return Area{};
  const int side = mark_side(band);
  const int inset = std::max(1, band_margin(band) / 2);
  return Area{inset, picture_h - side - inset, side, side};
}

ProgressBar DisplayBand::bar(int picture_w, int picture_h) const {
  const int band = band_height(picture_h);
  const int margin = band_margin(band);
  return ProgressBar{margin, picture_h - band, std::max(1, picture_w - 2 * margin), band, display_.state().length};
}

void DisplayBand::draw(unsigned char* argb, int pitch, const Area& area) {
  if (area.x == 0) {
    drawBand(argb, pitch, area.w, area.h);
  } else {
    drawMark(argb, pitch, area.w);
  }
}

void DisplayBand::drawBand(unsigned char* argb, int pitch, int w, int h) {
  const DisplayState state = display_.state();
  cairo_surface_t* surface = cairo_image_surface_create_for_data(argb, CAIRO_FORMAT_ARGB32, w, h, pitch);
  cairo_t* cr = cairo_create(surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

  const double unit = h / 30.0;
  const double margin = band_margin(h);
  // The progress bar, with the part boundaries' ticks left to the eye.
  const double bar_w = std::max(1.0, w - 2 * margin);
  const double bar_y = 6 * unit;
  const double done = std::clamp(state.time / std::max(state.length, 1e-9), 0.0, 1.0);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
  cairo_rectangle(cr, margin, bar_y, bar_w, 3 * unit);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 20 / 255.0, 220 / 255.0, 200 / 255.0);
  cairo_rectangle(cr, margin, bar_y, bar_w * done, 3 * unit);
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
  const std::string time = position_text(state.time, state.length, state.paused);
  cairo_move_to(cr, left, text_y);
  cairo_show_text(cr, time.c_str());
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, state.part, &extents);
  cairo_move_to(cr, w - margin - extents.x_advance, text_y);
  cairo_show_text(cr, state.part);
  // In the middle, a passing note, else the volume when it is not full.
  std::string middle = state.note;
  if (middle.empty() && (state.muted || state.volume < 100)) {
    middle = state.muted ? "muted" : "volume " + std::to_string(state.volume) + "%";
  }
  if (!middle.empty()) {
    cairo_text_extents(cr, middle.c_str(), &extents);
    cairo_set_source_rgb(cr, 1, 0.75, 0.9);
    cairo_move_to(cr, (w - extents.x_advance) / 2, text_y);
    cairo_show_text(cr, middle.c_str());
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
}

// Two white bars on a faint dark square.
void DisplayBand::drawMark(unsigned char* argb, int pitch, int side) {
  cairo_surface_t* surface = cairo_image_surface_create_for_data(argb, CAIRO_FORMAT_ARGB32, side, side, pitch);
  cairo_t* cr = cairo_create(surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  const double u = side / 10.0;
  cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
  cairo_rectangle(cr, 3 * u, 2.5 * u, 1.5 * u, 5 * u);
  cairo_rectangle(cr, 5.5 * u, 2.5 * u, 1.5 * u, 5 * u);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
}
