// The full-screen pictures: each is designed as the 480 x 320 landscape view
// and stored through the mapping that draws it.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "picture_mapping.h"
#include "pictures_internal.h"

namespace assetgen {

namespace {

constexpr int kW = kLandscapeWidth, kH = kLandscapeHeight;

// The drill rig stands with its origin at landscape (160, 213) and its feet
// on this line (about 44 rig units below the rig's origin).
constexpr double kHorizon = 236;
constexpr double kRigX = 160, kRigCentreY = 165;

// Three sine ribbons like the ones that grow in the opening scene.
void draw_ribbon(cairo_t* cr, double y0, double amp, double period, double phase, double width, Rgb c,
                 double x_from = -20, double x_to = kW + 20) {
  cairo_new_path(cr);
  for (double x = x_from; x <= x_to; x += 2) cairo_line_to(cr, x, y0 + amp * std::sin(x / period + phase));
  for (double x = x_to; x >= x_from; x -= 2)
    cairo_line_to(cr, x, y0 + width + amp * std::sin(x / period + phase + 0.25));
  cairo_close_path(cr);
  set_source(cr, c);
  cairo_fill(cr);
}

// A soft, metaball-like field rendered as black bodies with white rims on
// whatever lies below, with an antialiased edge from the field's gradient
// (blobs in the canvas's 1x coordinates).
struct Blob {
  double x, y, r;
};
void draw_blob_field(Canvas& canvas, const std::vector<Blob>& blobs, double rim) {
  cairo_surface_t* s = canvas.surface();
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  auto field = [&](double x, double y) {
    double f = 0;
    for (const Blob& b : blobs) {
      const double d2 = ((x - b.x) * (x - b.x) + (y - b.y) * (y - b.y)) / (b.r * b.r * 2.2);
      if (d2 < 1) f += (1 - d2) * (1 - d2);
    }
    return f;
  };
  const double outer = 0.25, inner = 0.25 * rim;
  const double scale = canvas.scale(), half_pixel = 0.5 / scale;  // the edge is one pixel wide at any scale
  for (int y = 0; y < canvas.height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < canvas.width(); ++x) {
      const double cx = (x + 0.5) / scale, cy = (y + 0.5) / scale;
      const double f = field(cx, cy);
      if (f < outer * 0.5) continue;
      const double gx = (field(cx + half_pixel, cy) - field(cx - half_pixel, cy));
      const double gy = (field(cx, cy + half_pixel) - field(cx, cy - half_pixel));
      const double g = std::max(std::hypot(gx, gy), 1e-6);
      const double cover_white = std::clamp((f - outer) / g + 0.5, 0.0, 1.0);
      const double cover_black = std::clamp((f - inner) / g + 0.5, 0.0, 1.0);
      double r = ((row[x] >> 16) & 255) / 255.0, gg = ((row[x] >> 8) & 255) / 255.0, b = (row[x] & 255) / 255.0;
      r = r * (1 - cover_white) + cover_white;
      gg = gg * (1 - cover_white) + cover_white;
      b = b * (1 - cover_white) + cover_white;
      r *= 1 - cover_black;
      gg *= 1 - cover_black;
      b *= 1 - cover_black;
      auto q = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
      row[x] = 0xff000000u | (q(r) << 16) | (q(gg) << 8) | q(b);
    }
  }
  cairo_surface_mark_dirty(s);
}

}  // namespace

Image draw_background_scene1(int scale) {
  Canvas canvas(kW, kH, scale);
  cairo_t* cr = canvas.cr();

  // Dusk: lilac high up, warm pink at the horizon; mid-light, so that the
  // black rig reads against it and the pale ribbons still show.
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, kHorizon);
  add_stop(sky, 0.0, {0.56, 0.50, 0.80});
  add_stop(sky, 0.55, {0.80, 0.62, 0.86});
  add_stop(sky, 1.0, {0.98, 0.76, 0.88});
  cairo_set_source(cr, sky);
  cairo_paint(cr);

  // Rings around the sun, faint teal.
  for (int i = 0; i < 4; ++i) {
    cairo_arc(cr, kRigX, kRigCentreY, 128 + i * 34, 0, 2 * std::numbers::pi);
    set_source(cr, kWhite, 0.30 - i * 0.05);
    cairo_set_line_width(cr, 2.5 - i * 0.4);
    cairo_stroke(cr);
  }

  // The sun behind the rig, pink to magenta-pink, cut by widening slits
  // towards the horizon.
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, kW, kHorizon);
  cairo_clip(cr);
  cairo_arc(cr, kRigX, kRigCentreY, 112, 0, 2 * std::numbers::pi);
  cairo_pattern_t* sun = cairo_pattern_create_linear(0, kRigCentreY - 112, 0, kHorizon);
  add_stop(sun, 0.0, {1.0, 0.97, 0.92});
  add_stop(sun, 0.55, {1.0, 0.80, 0.88});
  add_stop(sun, 1.0, {1.0, 0.62, 0.80});
  cairo_set_source(cr, sun);
  cairo_fill(cr);
  for (int i = 0; i < 6; ++i) {
    const double y = kRigCentreY + 8 + i * 11.5 + i * i * 0.6;
    cairo_rectangle(cr, 0, y, kW, 1.5 + i * 1.1);
  }
  cairo_set_source(cr, sky);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_pattern_destroy(sun);
  cairo_pattern_destroy(sky);

  // Distant hills along the horizon, left and right of the sun.
  cairo_move_to(cr, 0, kHorizon);
  cairo_line_to(cr, 0, kHorizon - 30);
  cairo_curve_to(cr, 25, kHorizon - 46, 55, kHorizon - 40, 80, kHorizon - 22);
  cairo_curve_to(cr, 95, kHorizon - 12, 110, kHorizon - 6, 130, kHorizon);
  cairo_close_path(cr);
  cairo_move_to(cr, 200, kHorizon);
  cairo_curve_to(cr, 240, kHorizon - 20, 270, kHorizon - 52, 320, kHorizon - 50);
  cairo_curve_to(cr, 360, kHorizon - 48, 380, kHorizon - 24, 410, kHorizon - 30);
  cairo_curve_to(cr, 440, kHorizon - 36, 460, kHorizon - 58, kW, kHorizon - 54);
  cairo_line_to(cr, kW, kHorizon);
  cairo_close_path(cr);
  cairo_pattern_t* hills = cairo_pattern_create_linear(0, kHorizon - 60, 0, kHorizon);
  add_stop(hills, 0, {0.36, 0.70, 0.76});
  add_stop(hills, 1, {0.62, 0.72, 0.86});
  cairo_set_source(cr, hills);
  cairo_fill(cr);
  cairo_pattern_destroy(hills);

  // The ground: a lilac floor with a teal perspective grid running to a point
  // under the rig.
  cairo_pattern_t* ground = cairo_pattern_create_linear(0, kHorizon, 0, kH);
  add_stop(ground, 0, {0.78, 0.62, 0.82});
  add_stop(ground, 1, {0.52, 0.44, 0.70});
  cairo_rectangle(cr, 0, kHorizon, kW, kH - kHorizon);
  cairo_set_source(cr, ground);
  cairo_fill(cr);
  cairo_pattern_destroy(ground);

  cairo_save(cr);
  cairo_rectangle(cr, 0, kHorizon, kW, kH - kHorizon);
  cairo_clip(cr);
  set_source(cr, kTeal, 0.7);
  cairo_set_line_width(cr, 1.2);
  for (int k = -14; k <= 14; ++k) {
    cairo_move_to(cr, kRigX + k * 6, kHorizon);
    cairo_line_to(cr, kRigX + k * 70, kH + 1);
  }
  cairo_stroke(cr);
  for (int j = 1; j <= 7; ++j) {
    const double f = j / 7.0;
    const double y = kHorizon + (kH - kHorizon) * f * f;
    cairo_move_to(cr, 0, y);
    cairo_line_to(cr, kW, y);
    cairo_set_line_width(cr, 0.8 + f * 1.2);
    set_source(cr, kTeal, 0.45 + 0.4 * f);
    cairo_stroke(cr);
  }
  cairo_restore(cr);

  // The ground line under the rig.
  cairo_rectangle(cr, 0, kHorizon - 1, kW, 2.5);
  set_source(cr, kTeal);
  cairo_fill(cr);

  return store_screen_picture(canvas.image(false), ScreenMapping::FarQuad);
}

Image draw_logo(int scale) {
  // The title sits in the sky to the right of the rig, clear of its top.
  Canvas canvas(kW, kH, scale);
  cairo_t* cr = canvas.cr();
  const std::string title = "VELMORA";
  const double cx = 318, baseline = 80;
  set_font(cr, 100, true);
  const double size = std::min(70.0, 100 * 300 / text_width(cr, title));

  auto title_path = [&](cairo_t* c) {
    set_font(c, size, true);
    text_path_centred(c, title, cx, baseline);
  };
  // A dark glow first, so the letters read on the light backdrop, then the
  // letters: a white rim around a pink to magenta fill.
  paint_glow(canvas, {0.18, 0.0, 0.14}, 0.85, 14, [&](cairo_t* c) {
    title_path(c);
    cairo_set_line_width(c, 10);
    cairo_stroke_preserve(c);
    cairo_fill(c);
  });
  title_path(cr);
  ink_logo_letters(cr, 7, baseline - size * 0.75, baseline);

  // A teal bar under the title carrying the subtitle.
  set_font(cr, 12, true);
  const std::string sub = "A REAL-TIME SHOW IN FIVE SCENES";
  const double sw = text_width(cr, sub) + 24;
  const double bar_y = baseline + 14;
  paint_glow(canvas, {0.0, 0.12, 0.12}, 0.7, 8, [&](cairo_t* c) {
    cairo_rectangle(c, cx - sw / 2, bar_y, sw, 21);
    cairo_fill(c);
  });
  cairo_rectangle(cr, cx - sw / 2, bar_y, sw, 21);
  set_source(cr, kTeal);
  cairo_fill(cr);
  set_source(cr, kBlack);
  text_path_centred(cr, sub, cx, bar_y + 15);
  cairo_fill(cr);

  return store_screen_picture(canvas.image(true), ScreenMapping::FarQuad);
}

Image draw_korvane_final(int scale) {
  Canvas canvas(kW, kH, scale);
  cairo_t* cr = canvas.cr();

  // The teal field the metaballs grew on, lighter in the middle.
  cairo_pattern_t* bg = cairo_pattern_create_radial(240, 150, 20, 240, 160, 320);
  add_stop(bg, 0, {0.35, 0.93, 0.86});
  add_stop(bg, 0.6, kTeal);
  add_stop(bg, 1, {0.02, 0.45, 0.42});
  cairo_set_source(cr, bg);
  cairo_paint(cr);
  cairo_pattern_destroy(bg);

  // The three ribbons of the opening, sweeping across under the title.
  draw_ribbon(cr, 236, 13, 52, 0.6, 9, kWhite);
  draw_ribbon(cr, 252, 16, 64, 2.1, 8, kPink);
  draw_ribbon(cr, 268, 11, 40, 4.0, 7, kMagenta);

  // Black bodies with white rims in two corners, as in the metaball scene.
  draw_blob_field(canvas,
                  {{440, 30, 38}, {474, 80, 24}, {392, 16, 22}, {34, 300, 40}, {86, 306, 24}, {8, 250, 20}}, 2.2);

  // The title, black on teal with a white rim, and the farewell.
  const double cx = 240, baseline = 160;
  set_font(cr, 100, true);
  const double size = 100 * 390 / text_width(cr, "VELMORA");
  paint_glow(canvas, {0.0, 0.25, 0.22}, 0.6, 12, [&](cairo_t* c) {
    set_font(c, size, true);
    text_path_centred(c, "VELMORA", cx, baseline + 4);
    cairo_fill(c);
  });
  set_font(cr, size, true);
  text_path_centred(cr, "VELMORA", cx, baseline);
  cairo_set_line_width(cr, 6);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  set_source(cr, kWhite);
  cairo_stroke_preserve(cr);
  set_source(cr, kBlack);
  cairo_fill(cr);

  set_font(cr, 16, true);
  const std::string bye = "THANKS FOR WATCHING";
  const double bw = text_width(cr, bye) + 32, pill_y = 190;
  cairo_new_path(cr);
  cairo_arc(cr, cx - bw / 2 + 14, pill_y, 14, std::numbers::pi / 2, 3 * std::numbers::pi / 2);
  cairo_arc(cr, cx + bw / 2 - 14, pill_y, 14, -std::numbers::pi / 2, std::numbers::pi / 2);
  cairo_close_path(cr);
  set_source(cr, kBlack);
  cairo_fill(cr);
  set_source(cr, kWhite);
  text_path_centred(cr, bye, cx, pill_y + 6);
  cairo_fill(cr);

  return store_screen_picture(canvas.image(false), ScreenMapping::FarQuad);
}

Image draw_loading(int scale) {
  Canvas canvas(kW, kH, scale);
  cairo_t* cr = canvas.cr();
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);

  // A faint teal glow behind a ring of twelve dashes, teal fading to pink.
  const double cx = 240, cy = 132;
  cairo_pattern_t* halo = cairo_pattern_create_radial(cx, cy, 0, cx, cy, 120);
  add_stop(halo, 0, kTeal, 0.22);
  add_stop(halo, 1, kTeal, 0.0);
  cairo_set_source(cr, halo);
  cairo_paint(cr);
  cairo_pattern_destroy(halo);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 7);
  for (int i = 0; i < 12; ++i) {
    const double a = -std::numbers::pi / 2 + i * std::numbers::pi / 6;
    const double f = i / 11.0;
    cairo_move_to(cr, cx + 30 * std::cos(a), cy + 30 * std::sin(a));
    cairo_line_to(cr, cx + 46 * std::cos(a), cy + 46 * std::sin(a));
    set_source(cr, mix(kTeal, kPink, f), 1.0 - 0.65 * f);
    cairo_stroke(cr);
  }

  set_font(cr, 34, true);
  set_source(cr, kWhite);
  text_path_centred(cr, "VELMORA", cx, 238);
  cairo_fill(cr);
  set_font(cr, 13, true);
  set_source(cr, kTeal);
  text_path_centred(cr, "L O A D I N G", cx, 264);
  cairo_fill(cr);

  return store_screen_picture(canvas.image(false), ScreenMapping::Upright);
}

Image draw_murelbg(int scale) {
  // A canvas taller than the view: the window slides up it over the scene
  // (the picture drifts down the screen), and it tiles top to bottom.
  constexpr int kTall = kScreenFileSide;
  Canvas canvas(kW, kTall, scale);
  cairo_t* cr = canvas.cr();

  // Magenta-violet on the left to deep teal on the right, with soft clouds.
  {
    cairo_surface_t* s = canvas.surface();
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const Rgb left{0.62, 0.14, 0.56}, mid{0.22, 0.14, 0.44}, right{0.05, 0.56, 0.58};
    for (int y = 0; y < canvas.height(); ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
      const double uy = unscaled(y, scale);
      for (int x = 0; x < canvas.width(); ++x) {
        const double ux = unscaled(x, scale);
        const double f = std::clamp(ux / (kW - 1.0), 0.0, 1.0);
        Rgb c = f < 0.5 ? mix(left, mid, f * 2) : mix(mid, right, (f - 0.5) * 2);
        const double n = fractal_noise(ux / 64.0, uy / 64.0, 7, 4, 0, kTall / 64);
        const double k = 0.70 + 0.6 * n;
        auto q = [&](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v * k, 0.0, 1.0) * 255)); };
        row[x] = 0xff000000u | (q(c.r) << 16) | (q(c.g) << 8) | q(c.b);
      }
    }
    cairo_surface_mark_dirty(s);
  }

  // Light falling in broad diagonal bands.
  for (int i = 0; i < 5; ++i) {
    const double x0 = -120 + i * 130.0;
    for (int tile = -1; tile <= 1; ++tile) {
      const double y0 = tile * kTall;
      cairo_move_to(cr, x0, y0);
      cairo_line_to(cr, x0 + 46 + i * 6, y0);
      cairo_line_to(cr, x0 + 46 + i * 6 + 140, y0 + kTall);
      cairo_line_to(cr, x0 + 140, y0 + kTall);
      cairo_close_path(cr);
    }
    set_source(cr, kWhite, 0.045);
    cairo_fill(cr);
  }

  // Drifting bubbles of light, pink, teal and white.
  for (int i = 0; i < 46; ++i) {
    const double x = hash01(i, 1, 31) * kW;
    const double y = hash01(i, 2, 31) * kTall;
    const double r = 4 + 40 * std::pow(hash01(i, 3, 31), 2.2);
    const double pick = hash01(i, 4, 31);
    const Rgb c = pick < 0.4 ? kPink : pick < 0.8 ? kTeal : kWhite;
    for (int tile = -1; tile <= 1; ++tile) {
      const double yy = y + tile * kTall;
      cairo_arc(cr, x, yy, r, 0, 2 * std::numbers::pi);
      set_source(cr, c, 0.10 + 0.10 * hash01(i, 5, 31));
      cairo_fill_preserve(cr);
      set_source(cr, c, 0.35);
      cairo_set_line_width(cr, 1.2);
      cairo_stroke(cr);
    }
  }

  return store_screen_picture(canvas.image(false), ScreenMapping::FarQuad);
}

}  // namespace assetgen
