// Textures for the meshes and the sprites. Each is painted in the UV layout
// its mesh uses:
// - mureltextur: s along the body from the tail (0) to the head (1), t once
//   around it: t = 0 (and 1) along the back, 0.5 along the belly, the flank
//   the viewer sees at 0.25 and the far one at 0.75; eyes, mouth and fins
//   where the creature's mesh puts them.
// - treetrunk_textur: s once around the trunk, t along the height with t = 0
//   at the top; the cube's light is painted where the trunk faces it.
// - treetrunk_cube_textur: the whole texture on every face.
// - grass and grass1: a view from above of the patch, the cube over the
//   centre, its light and the trunk's shadow painted where they fall.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "cube_scene_layout.h"
#include "pictures_internal.h"

namespace assetgen {

namespace {


std::uint8_t byte(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

void put(Image& img, int x, int y, Rgb c) {
  std::uint8_t* p = img.at(x, y);
  p[0] = byte(c.r);
  p[1] = byte(c.g);
  p[2] = byte(c.b);
  p[3] = 255;
}

double smoothstep(double a, double b, double x) {
  const double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

}  // namespace

Image draw_small_black() { return Image(8, 8, false); }

Image draw_bubble() {
  constexpr int kSide = 128;
  Canvas canvas(kSide, kSide);
  cairo_t* cr = canvas.cr();
  const double c = kSide / 2.0, r = 58;

  // A thin shell: nearly clear inside, denser towards the rim.
  cairo_pattern_t* body = cairo_pattern_create_radial(c, c, 0, c, c, r);
  add_stop(body, 0, kWhite, 0.04);
  add_stop(body, 0.75, kTeal, 0.14);
  add_stop(body, 1, kWhite, 0.55);
  cairo_arc(cr, c, c, r, 0, 2 * std::numbers::pi);
  cairo_set_source(cr, body);
  cairo_fill(cr);
  cairo_pattern_destroy(body);

  // An iridescent rim, teal through white to pink.
  cairo_pattern_t* rim = cairo_pattern_create_linear(0, 0, kSide, kSide);
  add_stop(rim, 0, kTeal, 0.95);
  add_stop(rim, 0.5, kWhite, 0.9);
  add_stop(rim, 1, kPink, 0.95);
  cairo_arc(cr, c, c, r - 1.5, 0, 2 * std::numbers::pi);
  cairo_set_line_width(cr, 3);
  cairo_set_source(cr, rim);
  cairo_stroke(cr);
  cairo_pattern_destroy(rim);

  // Highlights: a soft window reflection up left, a small glint down right.
  paint_glow(canvas, kWhite, 0.95, 4, [&](cairo_t* g) {
    cairo_save(g);
    cairo_translate(g, c - 22, c - 24);
    cairo_rotate(g, -std::numbers::pi / 4);
    cairo_scale(g, 16, 8);
    cairo_arc(g, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_restore(g);
    cairo_fill(g);
  });
  cairo_arc(cr, c + 30, c + 28, 4, 0, 2 * std::numbers::pi);
  set_source(cr, kWhite, 0.8);
  cairo_fill(cr);
  return canvas.image(true);
}

Image draw_mureltextur(int scale) {
  // Where the creature's mesh takes its texture: s (columns) from the tail tip
  // to the snout, t (rows) once around from the back line through the seen
  // +z flank (0.25) to the belly (0.5) and on round the far flank. Only the
  // seen half (rows 0..127) is painted; the far half is its mirror image,
  // which puts the far side upside down, as the layout wants it.
  constexpr int kW = 512, kH = 256, kHalf = kH / 2;
  auto col = [](double s) { return s * kW; };
  auto row = [](double t) { return t * kH; };
  // The mesh's features, in (s, t) on the seen side.
  constexpr double kEyeS = 0.9, kEyeT = 0.19;
  constexpr double kMouthFrom = 0.95, kMouthT = 0.29;
  constexpr double kDorsalEnd = 0.8, kVentralEnd = 0.48;  // the fins run from the tail up to these
  constexpr double kFinTip = 0.01, kFinRoot = 0.04;       // rows beside the back and belly lines
  constexpr double kTailFin = 0.02;                       // the tail fan's columns
  constexpr double kCollar = 0.835;                       // where the head begins

  Canvas canvas(kW, kHalf, scale);
  cairo_t* cr = canvas.cr();

  // Colour around the body: dark teal back, bright teal flank, pale pink belly.
  {
    cairo_surface_t* surface = canvas.surface();
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const Rgb back{0.02, 0.22, 0.30}, flank = kTeal, belly{1.0, 0.88, 0.94};
    for (int y = 0; y < canvas.height(); ++y) {
      const double t = (y + 0.5) / (kH * scale);
      const double around = std::cos(2 * std::numbers::pi * t);  // 1 on the back, -1 on the belly
      const Rgb base = around > 0 ? mix(flank, back, smoothstep(0.0, 0.9, around))
                                  : mix(flank, belly, smoothstep(0.15, 0.85, -around));
      auto* line = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
      for (int x = 0; x < canvas.width(); ++x) {
        const double k = 0.88 + 0.24 * fractal_noise(unscaled(x, scale) / 16.0, t * 16, 3, 3, 0, 16);
        line[x] = 0xff000000u | (std::uint32_t{byte(base.r * k)} << 16) | (std::uint32_t{byte(base.g * k)} << 8) |
                  byte(base.b * k);
      }
    }
    cairo_surface_mark_dirty(surface);
  }

  // A band round the body at s = centre: its edges lead on the flank, so the
  // bands point to the head; outlined in black.
  auto band = [&](double centre, double width, double lead, Rgb c) {
    auto edge = [&](double offset, double y) {
      return col(centre) + offset + lead * std::pow(std::sin(2 * std::numbers::pi * y / kH), 2);
    };
    const int steps = kHalf / 2 * scale;  // a point every two rows at 1x
    auto row_at = [&](int i) { return static_cast<double>(kHalf) * i / steps; };
    for (int pass = 0; pass < 2; ++pass) {
      const double grow = pass == 0 ? 3.0 : 0.0;
      cairo_new_path(cr);
      for (int i = 0; i <= steps; ++i) cairo_line_to(cr, edge(-width / 2 - grow, row_at(i)), row_at(i));
      for (int i = steps; i >= 0; --i) cairo_line_to(cr, edge(width / 2 + grow, row_at(i)), row_at(i));
      cairo_close_path(cr);
      set_source(cr, pass == 0 ? kBlack : c);
      cairo_fill(cr);
    }
  };
  // Bold magenta chevrons along the body, closer and thinner towards the tail.
  constexpr int kBands = 8;
  for (int b = 0; b < kBands; ++b) {
    const double f = (b + 0.5) / kBands;
    band(0.085 + 0.66 * f + 0.03 * f * f, 10 + 12 * f, 10 + 12 * f, kMagenta);
  }
  // Black spots along the flank between the bands, none on the head.
  for (int i = 0; i < 24; ++i) {
    const double x = 50 + i * 15.5 + 6 * hash01(i, 0, 5);
    const double y = row(0.25) + (hash01(i, 1, 5) - 0.5) * 38;
    const double r = 2.5 + 3.5 * hash01(i, 3, 5) * (0.4 + x / kW);
    cairo_arc(cr, x, y, r, 0, 2 * std::numbers::pi);
    set_source(cr, kBlack, 0.85);
    cairo_fill(cr);
  }

  // The fins wear the rows from the body line (their tip) to a few rows off
  // it (their root): pink at the edge, magenta at the root, with dark rays
  // leaning back; each fades out where its fin ends.
  auto fin = [&](double line_t, double toward, double end_s) {
    const double edge = row(line_t), root = row(line_t + toward * (kFinRoot + 0.006));
    cairo_pattern_t* g = cairo_pattern_create_linear(0, edge, 0, root);
    add_stop(g, 0, mix(kPink, kWhite, 0.5));
    add_stop(g, row(kFinTip) / std::fabs(root - edge), kPink);
    add_stop(g, 0.8, kMagenta);
    add_stop(g, 1, kMagenta, 0);
    cairo_pattern_t* mask = cairo_pattern_create_linear(col(end_s - 0.05), 0, col(end_s), 0);
    add_stop(mask, 0, kWhite, 1);
    add_stop(mask, 1, kWhite, 0);
    cairo_rectangle(cr, 0, std::min(edge, root), col(end_s), std::fabs(root - edge));
    cairo_clip(cr);
    cairo_push_group(cr);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    for (double x = 6; x < col(end_s); x += 9) {
      cairo_move_to(cr, x, root);
      cairo_line_to(cr, x - 3, edge);
    }
    set_source(cr, {0.45, 0.0, 0.30}, 0.35);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    cairo_pop_group_to_source(cr);
    cairo_mask(cr, mask);
    cairo_reset_clip(cr);
    cairo_pattern_destroy(mask);
    cairo_pattern_destroy(g);
  };
  fin(0.0, +1, kDorsalEnd);
  fin(0.5, -1, kVentralEnd);

  // The tail fan takes the first columns, each row a ray from its hub (at
  // s = kTailFin, on the flank) to its rim (s = 0): pink rays fading into
  // the body.
  {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, col(0.07), 0);
    add_stop(g, 0, mix(kPink, kWhite, 0.4));
    add_stop(g, kTailFin / 0.07, kPink);
    add_stop(g, 0.6, kMagenta, 0.7);
    add_stop(g, 1, kMagenta, 0);
    cairo_rectangle(cr, 0, 0, col(0.07), kHalf);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    for (int i = 0; i < 9; ++i) {
      const double y = (i + 0.5) * kHalf / 9.0;
      cairo_move_to(cr, 0, y);
      cairo_line_to(cr, col(0.05), y);
    }
    set_source(cr, {0.45, 0.0, 0.30}, 0.7);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  }

  // The head: a magenta collar where it meets the body and a magenta hood
  // over the crown, round the eye and down to just above the mouth, both
  // edged in black; the jaw below keeps the body's colours.
  band(kCollar, 14, 8, kMagenta);
  {
    const double x0 = col(kCollar) + 4, low = row(kMouthT - 0.035);
    auto hood = [&](double grow) {
      cairo_new_path(cr);
      cairo_move_to(cr, x0 - grow, 0);
      cairo_line_to(cr, kW, 0);
      cairo_line_to(cr, kW, low + grow);
      cairo_curve_to(cr, col(0.95), low + grow, col(0.90), low + 3 + grow, x0 + 10, low + 8 + grow);
      cairo_curve_to(cr, x0 + 2, low + 10 + grow, x0 - grow, low, x0 - grow, 0);
      cairo_close_path(cr);
    };
    hood(2.5);
    set_source(cr, kBlack);
    cairo_fill(cr);
    hood(0);
    cairo_pattern_t* g = cairo_pattern_create_linear(x0, 0, kW, 0);
    add_stop(g, 0, kMagenta);
    add_stop(g, 0.7, kMagenta);
    add_stop(g, 1, {0.55, 0.05, 0.40});
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
  }

  // The mouth from its corner to the snout tip, where the rows meet: a dark
  // line on a pale lip, turned up at the corner.
  {
    const double y = row(kMouthT), x0 = col(kMouthFrom);
    auto mouth = [&] {
      cairo_new_path(cr);
      cairo_move_to(cr, x0, y - 4);
      cairo_curve_to(cr, x0 + 5, y, x0 + 12, y + 1, kW, y + 1);
    };
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    mouth();
    set_source(cr, mix(kPink, kWhite, 0.5));
    cairo_set_line_width(cr, 8);
    cairo_stroke(cr);
    mouth();
    set_source(cr, {0.12, 0.0, 0.08});
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  }

  // The eye, centred on the patch its dome takes (0.9 +- 0.014 in s, 0.19
  // +- 0.045 in t) and a little larger, so that it rims the dome on the body
  // too: a black rim, white, and a pupil over the dome's crown.
  {
    const double ex = col(kEyeS), ey = row(kEyeT);
    auto ellipse = [&](double cx, double cy, double rx, double ry) {
      cairo_save(cr);
      cairo_translate(cr, cx, cy);
      cairo_scale(cr, rx, ry);
      cairo_new_sub_path(cr);
      cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
      cairo_restore(cr);
    };
    ellipse(ex, ey, 13, 15);
    set_source(cr, kBlack);
    cairo_fill(cr);
    ellipse(ex, ey, 10.5, 12.5);
    set_source(cr, kWhite);
    cairo_fill(cr);
    ellipse(ex + 2, ey, 6, 7);
    set_source(cr, kBlack);
    cairo_fill(cr);
    ellipse(ex + 4, ey - 3, 2, 2.2);
    set_source(cr, kWhite);
    cairo_fill(cr);
  }

  // The far half: the seen half mirrored about the belly line.
  const Image half = canvas.image(false);
  Image img(half.width, half.height * 2, false);
  for (int y = 0; y < half.height; ++y) {
    std::copy_n(half.at(0, y), half.width * 4, img.at(0, y));
    std::copy_n(half.at(0, y), half.width * 4, img.at(0, img.height - 1 - y));
  }
  return img;
}

Image draw_cube_texture(int scale) {
  // Every face shows the whole picture. The scene draws it at 0.4 of full
  // brightness or less, where anything pale turns grey, so the rims are the
  // teal at full strength (green at its maximum, red as low as the teal has
  // it) and the core is a teal-tinged white that stays a light, not a grey.
  // The glow around the cube is a tiny render of it blurred over the
  // screen, so the picture's average colour sets the glow's hue and
  // strength; once the credits run, that render adds the front and back
  // faces up, and with about half of full red on average the glow is then
  // as strong as it gets in every channel. A light line runs along the
  // cube's edges, a pink line inside it. 128 texels a side: the cube is at
  // most about 110 pixels tall on screen.
  constexpr int kSide = 128;
  constexpr double k = kSide / 256.0;
  constexpr Rgb kHotTeal{kTeal.r / kTeal.g, 1.0, kTeal.b / kTeal.g};
  const Rgb core_white{0.9, 1.0, 0.98};
  Canvas canvas(kSide, kSide, scale);
  cairo_t* cr = canvas.cr();
  const double c = kSide / 2.0;
  cairo_pattern_t* core = cairo_pattern_create_radial(c, c, 0, c, c, c);
  add_stop(core, 0, core_white);
  add_stop(core, 0.25, core_white);
  add_stop(core, 0.5, {0.85, 1.0, 0.98});
  add_stop(core, 0.72, mix(kHotTeal, kWhite, 0.45));
  add_stop(core, 0.92, kHotTeal);
  add_stop(core, 1, kHotTeal);
  cairo_set_source(cr, core);
  cairo_paint(cr);
  cairo_pattern_destroy(core);

  // The edge line, softly haloed into the face.
  const Rgb edge = mix(kHotTeal, kWhite, 0.6);
  paint_glow(canvas, edge, 0.7, 3, [&](cairo_t* g) {
    cairo_rectangle(g, 0, 0, kSide, kSide);
    cairo_rectangle(g, 5 * k, kSide - 5 * k, kSide - 10 * k, 10 * k - kSide);
    cairo_fill(g);
  });
  cairo_rectangle(cr, 0, 0, kSide, kSide);
  cairo_rectangle(cr, 3 * k, kSide - 3 * k, kSide - 6 * k, 6 * k - kSide);
  set_source(cr, edge);
  cairo_fill(cr);
  // The pink line, light enough not to read as a groove.
  rounded_square_path(cr, 13 * k, kSide - 13 * k, 10 * k);
  cairo_set_line_width(cr, 3 * k);
  set_source(cr, mix(kPink, kWhite, 0.35));
  cairo_stroke(cr);
  return canvas.image(false);
}

namespace {

// The colour of the cube's light where it falls: its teal, paled by its
// white-hot core.
constexpr Rgb kCubeLight{0.55, 1.0, 0.95};

// The cube's face is drawn at 0.4 of its texture, the trunk at 0.6 and the
// grass at 0.4 with the light map on top: the brightest bark and grass stay
// below the face on screen. A channel is eased towards `limit` from 0.7 of it.
double below_cube(double v, double limit) {
  const double knee = 0.7 * limit, room = limit - knee;
  return v < knee ? v : knee + room * (1 - std::exp(-(v - knee) / room));
}
constexpr double kBarkLimit = 0.58, kGrassLimit = 0.6;

}  // namespace

Image draw_treetrunk_texture(int scale) {
  // Bark in plates: wandering columns around the trunk separated by deep
  // grooves, each column broken by a few cracks, each plate rounded; moss
  // creeps up from the foot. The scene draws the trunk at 0.6 of full
  // brightness, lit by nothing but the cube, so the light is painted in: the
  // side that faces the cube, near its height, takes its teal-white light,
  // and the rest of the bark falls away into the dark. High up, where the
  // credits cross the trunk, it is dark enough for them to stay legible.
  using namespace cube_scene;
  constexpr int kW = 256, kH = 512, kColumns = 9;
  Image img(kW * scale, kH * scale, false);
  const Rgb groove{0.07, 0.03, 0.07}, plate_dark{0.34, 0.22, 0.33}, plate_light{0.56, 0.40, 0.52},
      moss{0.08, 0.62, 0.50};
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      const double u = (x + 0.5) / img.width, v = (y + 0.5) / img.height;
      // Columns wander sideways with height; the warp tiles around the trunk.
      const double warp = (fractal_noise(u * 4, v * 4, 41, 3, 4, 0) - 0.5) * 0.22;
      const double cu = (u + warp) * kColumns;
      const double col = std::floor(cu);
      const int ci = ((static_cast<int>(col) % kColumns) + kColumns) % kColumns;
      const double fx = cu - col;
      // Cracks across the column at its own heights, slightly tilted.
      const double crack_v = v * (1.6 + 2.2 * hash01(ci, 0, 42)) + hash01(ci, 1, 42) + (fx - 0.5) * 0.10;
      const double fy = crack_v - std::floor(crack_v);
      const int plate = static_cast<int>(std::floor(crack_v));
      const double edge_x = std::min(fx, 1 - fx), edge_y = std::min(fy, 1 - fy);
      const double gap = 0.05 + 0.10 * fractal_noise(u * 16, v * 10, 46, 2, 16, 0);
      const double in_plate = smoothstep(gap, gap + 0.12, edge_x) * smoothstep(0.006, 0.025, edge_y);
      const double round = std::pow(std::sin(std::numbers::pi * std::clamp(fx, 0.0, 1.0)), 0.6);
      Rgb c = mix(plate_dark, plate_light, hash01(ci, plate, 43));
      c = {c.r * (0.55 + 0.45 * round), c.g * (0.55 + 0.45 * round), c.b * (0.55 + 0.45 * round)};
      const double grain = 0.78 + 0.44 * fractal_noise(u * 96, v * 10, 44, 3, 96, 0);
      c = {c.r * grain, c.g * grain, c.b * grain};
      c = mix(groove, c, in_plate);
      // Moss creeping up from the foot of the trunk (t near 1).
      const double m = smoothstep(0.86, 0.97, v) * smoothstep(0.45, 0.65, fractal_noise(u * 8, v * 8, 45, 3, 8, 0));
      c = mix(c, moss, m * 0.75 * (0.3 + 0.7 * in_plate));
      // The cube's light on this spot of bark, the plates' rounded faces
      // catching it better than the grooves.
      const double h = kTrunkHeight * (1 - v), a = 2 * std::numbers::pi * u;
      const Point centre = trunk_centre(h);
      const double r = trunk_radius(h, a);
      const Point p{centre.x, centre.y + r * std::cos(a), centre.z + r * std::sin(a)};
      const double light = std::min(2.0, cube_light(p, {0, std::cos(a), std::sin(a)}));
      const double lit = 0.03 + 1.8 * light * (0.75 + 0.25 * round);
      const Rgb tint = mix(kWhite, kCubeLight, std::min(1.0, light));
      put(img, x, y,
          {below_cube(c.r * lit * tint.r, kBarkLimit), below_cube(c.g * lit * tint.g, kBarkLimit),
           below_cube(c.b * lit * tint.b, kBarkLimit)});
    }
  return img;
}

namespace {

// The cube's light on the ground at (y, z), past the trunk, as a fraction of
// the light straight under the cube; nothing beyond the patch's rim.
double ground_light(double y, double z) {
  using namespace cube_scene;
  const double rim = 1 - smoothstep(0.8, 0.98, std::hypot(y, z) / kPatchRadius);
  return cube_light({kGroundX, y, z}, {1, 0, 0}) * trunk_shadow(y, z) * rim;
}

}  // namespace

Image draw_grass(int scale) {
  // Colour of the ground cover by position (teal-greens in patches, a few
  // pink and white flowers), lit only by the cube: the scene draws it at 0.4,
  // so its pool of light is painted in, brightest under the cube (and with
  // the light map on top still darker than the cube's face), with the
  // trunk's shadow across it, and the patch fades into the dark at its rim.
  // The light map adds the cube's flicker on top.
  using namespace cube_scene;
  constexpr int kSide = 256;
  const int side = kSide * scale;
  Image img(side, side, false);
  const Rgb deep{0.04, 0.38, 0.30}, fresh{0.24, 0.80, 0.58}, teal = kTeal;
  auto light_at = [&](double u, double v) {
    return ground_light((2 * u - 1) * kPatchRadius, (2 * v - 1) * kPatchRadius);
  };
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const double u = (x + 0.5) / side, v = (y + 0.5) / side;
      const double n = fractal_noise(u * 6, v * 6, 21, 4);
      // A grain of one random value a 1x texel, blended smoothly between
      // them when drawn larger.
      const double fine = value_noise(unscaled(x, scale), unscaled(y, scale), 22, kSide, kSide);
      const double light = light_at(u, v);
      Rgb c = mix(deep, fresh, smoothstep(0.3, 0.7, n));
      c = mix(c, teal, 0.25 * smoothstep(0.55, 0.8, fractal_noise(u * 3, v * 3, 23, 2)));
      const double k = (0.8 + 0.4 * fine) * (0.02 + 0.6 * std::sqrt(light));
      c = mix(c, kCubeLight, 0.3 * light);
      put(img, x, y, {below_cube(c.r * k, kGrassLimit), below_cube(c.g * k, kGrassLimit), below_cube(c.b * k, kGrassLimit)});
    }
  // Flowers, two 1x texels square: single blades pick these up; they show
  // only in the light.
  for (int i = 0; i < 140; ++i) {
    const int x = static_cast<int>(hash01(i, 1, 24) * kSide), y = static_cast<int>(hash01(i, 2, 24) * kSide);
    const double pick = hash01(i, 3, 24);
    const Rgb c = pick < 0.45 ? kPink : pick < 0.8 ? kMagenta : kWhite;
    const double k = 0.02 + 0.6 * std::sqrt(light_at((x + 0.5) / kSide, (y + 0.5) / kSide));
    for (int dy = 0; dy < 2 * scale; ++dy)
      for (int dx = 0; dx < 2 * scale; ++dx)
        put(img, (x * scale + dx) % side, (y * scale + dy) % side,
            {below_cube(c.r * k, kGrassLimit), below_cube(c.g * k, kGrassLimit), below_cube(c.b * k, kGrassLimit)});
  }
  return img;
}

Image draw_grass_light(int scale) {
  // The cube's light on the ground, added over the grass at a third of the
  // cube's flickering brightness: white-hot straight under the cube, teal
  // further out, the trunk's shadow, black at the rim of the patch. A smooth
  // picture: 64 texels a side lose nothing.
  using namespace cube_scene;
  constexpr int kSide = 64;
  Image img(kSide * scale, kSide * scale, false);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      const double u = (x + 0.5) / img.width, v = (y + 0.5) / img.height;
      const double fall = std::min(1.0, ground_light((2 * u - 1) * kPatchRadius, (2 * v - 1) * kPatchRadius));
      const Rgb c = mix(kCubeLight, kWhite, std::pow(fall, 1.5));
      put(img, x, y, {c.r * fall, c.g * fall, c.b * fall});
    }
  return img;
}

}  // namespace assetgen
