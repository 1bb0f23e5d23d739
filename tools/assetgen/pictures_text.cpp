// The greetings and credits pages. Both are added onto the picture, so their
// background is black; each strip of the file is one line or page that the
// show turns upright in the landscape view, so a strip is drawn the way it
// reads, with its text kept well clear of the strip boundaries (they fall
// between pixel rows, and the texture is filtered and mipmapped).
#include <algorithm>
#include <cmath>

#include "pictures_internal.h"

namespace assetgen {

namespace {

// Rows (in the strip's own units) kept black above and below every strip.
constexpr double kStripMargin = 6.0;

struct Greeting {
  const char* lead;
  const char* name;
};
const Greeting kGreetings[kGreetsStrips] = {
    {"greetings to", "Mesa"},      {"greetings to", "SDL"},     {"hello", "libpng"},
    {"hello", "Cairo"},            {"respect to", "LAME"},      {"respect to", "FFmpeg"},
    {"cheers to", "CMake"},        {"cheers to", "GoogleTest"}, {"thanks to", "Debian"},
    {"and to", "the demoscene"},
};

// Each strip is laid out in its own page coordinates (page_w x page_h,
// stretched over the strip's file rows) and clipped to the page less its
// margins. Every page's glow shapes go on one layer, blurred once, then every
// page is drawn over it.
template <class Glow, class Draw>
void draw_strips(Canvas& canvas, int count, double page_w, double page_h, Rgb glow_colour, double glow_alpha,
                 int glow_radius, Glow&& glow, Draw&& draw) {
  cairo_t* cr = canvas.cr();
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  const double strip = static_cast<double>(canvas.height()) / count;
  auto enter = [&](cairo_t* c, int n) {
    cairo_identity_matrix(c);
    cairo_translate(c, 0, n * strip);
    cairo_scale(c, canvas.width() / page_w, strip / page_h);
  };
  auto clip = [&](cairo_t* c) {
    cairo_rectangle(c, 0, kStripMargin, page_w, page_h - 2 * kStripMargin);
    cairo_clip(c);
  };

  cairo_surface_t* layer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, canvas.width(), canvas.height());
  cairo_t* lc = cairo_create(layer);
  cairo_set_source_rgb(lc, 1, 1, 1);
  for (int n = 0; n < count; ++n) {
    enter(lc, n);
    glow(lc, n);
  }
  cairo_destroy(lc);
  blur_surface(layer, glow_radius, canvas.scale());
  for (int n = 0; n < count; ++n) {
    cairo_save(cr);
    enter(cr, n);
    clip(cr);
    cairo_identity_matrix(cr);
    set_source(cr, glow_colour, glow_alpha);
    cairo_mask_surface(cr, layer, 0, 0);
    cairo_restore(cr);
  }
  cairo_surface_destroy(layer);

  for (int n = 0; n < count; ++n) {
    cairo_save(cr);
    enter(cr, n);
    clip(cr);
    draw(cr, n);
    cairo_restore(cr);
  }
}

}  // namespace

const std::vector<std::string>& greetings_lines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> out;
    for (const Greeting& g : kGreetings) out.push_back(std::string(g.lead) + " " + g.name);
    return out;
  }();
  return lines;
}

Image draw_greets(int scale) {
  // 256 x 512: a strip is 256 x 51.2 texels and shows as 240 x 48 pixels, so
  // texels are square on screen and the strips are drawn as they read.
  Canvas canvas(kGreetsWidth, kGreetsHeight, scale);
  const double strip = static_cast<double>(kGreetsHeight) / kGreetsStrips;

  // The lead in small pink letters, the name large and white, on one
  // baseline, the pair centred; the name shrinks to fit if it must.
  struct Layout {
    double name_size, lead_w, name_x, baseline;
  };
  std::vector<Layout> layout;
  constexpr double kLeadSize = 12.5, kGap = 6, kRoom = kGreetsWidth - 20;
  for (const Greeting& g : kGreetings) {
    cairo_t* cr = canvas.cr();
    double name_size = 27;
    set_font(cr, kLeadSize, true);
    const double lead_w = text_width(cr, g.lead);
    set_font(cr, name_size, true);
    double name_w = text_width(cr, g.name);
    if (lead_w + kGap + name_w > kRoom) {
      name_size *= (kRoom - lead_w - kGap) / name_w;
      set_font(cr, name_size, true);
      name_w = text_width(cr, g.name);
    }
    const double x0 = (kGreetsWidth - (lead_w + kGap + name_w)) / 2;
    layout.push_back({name_size, lead_w, x0 + lead_w + kGap, strip / 2 + name_size * 0.36});
  }
  auto name_path = [&](cairo_t* c, int n) {
    set_font(c, layout[n].name_size, true);
    cairo_move_to(c, layout[n].name_x, layout[n].baseline);
    cairo_text_path(c, kGreetings[n].name);
  };

  draw_strips(
      canvas, kGreetsStrips, kGreetsWidth, strip, kTeal, 0.75, 6,
      [&](cairo_t* c, int n) {
        name_path(c, n);
        cairo_fill(c);
      },
      [&](cairo_t* c, int n) {
        name_path(c, n);
        set_source(c, kWhite);
        cairo_fill(c);
        set_font(c, kLeadSize, true);
        cairo_move_to(c, layout[n].name_x - kGap - layout[n].lead_w, layout[n].baseline);
        cairo_text_path(c, kGreetings[n].lead);
        set_source(c, kPink);
        cairo_fill(c);
      });
  return canvas.image(false);
}

Image draw_credits(int scale) {
  // 512 x 512: a page is 512 x 102.4 texels shown as 448 x 96 pixels. Each
  // page is laid out in screen pixels and stretched into its strip, so the
  // screen squeezes it back to true proportions.
  Canvas canvas(kCreditsSide, kCreditsSide, scale);
  constexpr double kPageW = 448, kPageH = 96, kCx = kPageW / 2;

  struct Page {
    const char* heading;
    const char* who;
    const char* how;
  };
  const Page pages[kCreditsStrips] = {
      {"CODE", "the velmora project", "written in C++20 for OpenGL ES 1.1, every scene drawn in real time"},
      {"PICTURES AND MODELS", "the velmora project", "pictures drawn by code with Cairo, every mesh built by code"},
      {"MUSIC", "the velmora project", "sequenced and synthesised by code, encoded with LAME"},
      {nullptr, nullptr, nullptr},  // strips 3 and 4 stay empty
      {nullptr, nullptr, nullptr},
  };
  auto who_path = [&](cairo_t* c, int k) {
    set_font(c, 29, true);
    text_path_centred(c, pages[k].who, kCx, 58);
  };

  draw_strips(
      canvas, kCreditsStrips, kPageW, kPageH, kMagenta, 0.8, 7,
      [&](cairo_t* c, int k) {
        if (!pages[k].who) return;
        who_path(c, k);
        cairo_fill(c);
      },
      [&](cairo_t* c, int k) {
        const Page& p = pages[k];
        if (!p.who) return;
        // Heading: teal capitals between two rules.
        set_font(c, 13, true);
        const double hw = text_width(c, p.heading);
        set_source(c, kTeal);
        text_path_centred(c, p.heading, kCx, 23);
        cairo_fill(c);
        for (int side = -1; side <= 1; side += 2) {
          const double x_in = kCx + side * (hw / 2 + 10), x_out = kCx + side * (hw / 2 + 60);
          cairo_rectangle(c, std::min(x_in, x_out), 17.5, std::abs(x_out - x_in), 2);
        }
        cairo_fill(c);
        // Who made it: large and white over its pink glow.
        who_path(c, k);
        set_source(c, kWhite);
        cairo_fill(c);
        // How: one line in pink.
        double how_size = 12.5;
        set_font(c, how_size, false);
        const double how_w = text_width(c, p.how);
        if (how_w > kPageW - 24) how_size *= (kPageW - 24) / how_w;
        set_font(c, how_size, false);
        set_source(c, kPink);
        text_path_centred(c, p.how, kCx, 80);
        cairo_fill(c);
      });
  return canvas.image(false);
}

}  // namespace assetgen
