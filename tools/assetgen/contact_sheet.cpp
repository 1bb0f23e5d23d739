// The contact sheet: every picture of a bundle laid out the way the viewer
// sees it, labelled, on one PNG for review. Full-screen pictures are put
// through the show's own quads and texture coordinates into the landscape
// view; text strips are shown where and how the show draws them; the blob is
// shown with what the metaball scene makes of it.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "metaballs.h"
#include "picture_mapping.h"
#include "pictures.h"
#include "pictures_internal.h"
#include "screen_quad.h"

namespace assetgen {

namespace {

constexpr int kSheetW = 1520, kMargin = 20, kLabel = 40;

using Pixel = std::array<double, 4>;

// A landscape view built pixel by pixel from quads over a base.
Image render_view(const Image* base, const std::vector<std::pair<ScreenQuad, const Image*>>& layers,
                  double brightness, bool additive, double base_brightness = 1.0) {
  Image out(kLandscapeWidth, kLandscapeHeight, false);
  for (int y = 0; y < kLandscapeHeight; ++y)
    for (int x = 0; x < kLandscapeWidth; ++x) {
      double rgb[3] = {0, 0, 0};
      if (base)
        for (int c = 0; c < 3; ++c) rgb[c] = base->at(x, y)[c] * base_brightness;
      for (const auto& [quad, image] : layers) {
        const auto st = quad_texcoord(quad, x, y);
        if (!st) continue;
        const Pixel p = sample_bilinear(*image, (*st)[0], (*st)[1]);
        const double a = image->has_alpha ? p[3] / 255.0 : 1.0;
        for (int c = 0; c < 3; ++c) {
          const double premultiplied = p[static_cast<std::size_t>(c)] * a;  // as the loader stores it
          if (additive)
            rgb[c] += premultiplied * brightness;
          else  // blended with the texel's alpha, as the show draws the logo
            rgb[c] = rgb[c] * (1 - a * brightness) + premultiplied * a * brightness;
        }
      }
      std::uint8_t* o = out.at(x, y);
      for (int c = 0; c < 3; ++c) o[c] = static_cast<std::uint8_t>(std::lround(std::clamp(rgb[c], 0.0, 255.0)));
    }
  return out;
}

ScreenQuad far_quad(double scroll = 0) {
  auto st = kSquareTexCoords;
  for (auto& p : st) p[0] += scroll;
  return frustum_quad(kFarQuad, st);
}

// The greetings scene's two lines for strip block k (strips 2k and 2k + 1).
std::vector<ScreenQuad> greet_lines(int k) {
  const std::array<std::array<double, 3>, 4> line{{{0, 75, -500}, {750, 75, -500}, {0, -75, -500}, {750, -75, -500}}};
  const double p = 2 * k;
  ScreenQuad first = frustum_quad(line, {{{1, (p + 1) / 10}, {0, (p + 1) / 10}, {1, p / 10}, {0, p / 10}}}, 90);
  auto moved = line;
  for (auto& v : moved) v[0] -= 750;  // translated after the rotation, in model coordinates
  ScreenQuad second =
      frustum_quad(moved, {{{1, (p + 2) / 10}, {0, (p + 2) / 10}, {1, (p + 1) / 10}, {0, (p + 1) / 10}}}, 90);
  return {first, second};
}

ScreenQuad credits_band(int k) {
  const std::array<std::array<double, 3>, 4> band{
      {{-700, -200, -500}, {700, -200, -500}, {-700, -500, -500}, {700, -500, -500}}};
  const double a = k / 5.0, b = (k + 1) / 5.0;
  return frustum_quad(band, {{{1, b}, {0, b}, {1, a}, {0, a}}}, 90);
}

Image crop(const Image& img, int x, int y, int w, int h) {
  Image out(w, h, img.has_alpha);
  for (int yy = 0; yy < h; ++yy)
    for (int xx = 0; xx < w; ++xx) std::copy_n(img.at(x + xx, y + yy), 4, out.at(xx, yy));
  return out;
}

// The opening scene's three ribbons at full length, drawn over a landscape
// tile at (ox, oy): built as the show builds them, placed where it places
// them (turned -90 degrees, moved to (80, -100, -130) at the rest offset).
void draw_ribbons(cairo_t* cr, double ox, double oy) {
  auto to_view = [](double rx, double ry) {
    const double ex = ry - 100, ey = -(rx + 80), depth = 130;
    const double px = (ex / depth + 1) * 160, py = (1 - ey / (1.5 * depth)) * 240;
    return std::array<double, 2>{py, 319 - px + 1};
  };
  cairo_save(cr);
  cairo_rectangle(cr, ox, oy, kLandscapeWidth, kLandscapeHeight);
  cairo_clip(cr);
  for (int k = 0; k < 3; ++k) {
    auto vertex = [k](int p, int side) -> std::array<double, 2> {
      const double i = 6.0 * p;
      switch (k) {
        case 0: return side == 0 ? std::array<double, 2>{0, i} : std::array<double, 2>{10, i + 3};
        case 1: return side == 0 ? std::array<double, 2>{i, 100 * std::sin(i / 50)}
                                 : std::array<double, 2>{i + 13, 90 * std::sin((i + 3) / 50)};
        default: return side == 0 ? std::array<double, 2>{-i, 150 * std::sin(i / 70)}
                                  : std::array<double, 2>{7 - i, 140 * std::sin((i + 3) / 70)};
      }
    };
    for (int p = 0; p < 149; ++p) {
      const double c1 = 0.5 - 0.5 * std::cos(8.0 * p / 50), c2 = 0.5 - 0.5 * std::cos(8.0 * p / 70);
      const double rgb[3][3] = {{20, 220, 200}, {240, 190 + 65 * c1, 240 + 15 * c1}, {240, 60 + 195 * c2, 240 + 15 * c2}};
      cairo_new_path(cr);
      for (auto [q, side] : {std::pair{p, 0}, {p, 1}, {p + 1, 1}, {p + 1, 0}}) {
        const auto v = vertex(q, side);
        const auto l = to_view(v[0], v[1]);
        cairo_line_to(cr, ox + l[0], oy + l[1]);
      }
      cairo_close_path(cr);
      cairo_set_source_rgb(cr, rgb[k][0] / 255, rgb[k][1] / 255, rgb[k][2] / 255);
      cairo_fill_preserve(cr);
      cairo_set_line_width(cr, 0.6);
      cairo_stroke(cr);
    }
  }
  cairo_restore(cr);
}

class Sheet {
 public:
  explicit Sheet(int height) : canvas_(kSheetW, height) {
    cairo_t* cr = canvas_.cr();
    cairo_set_source_rgb(cr, 0.12, 0.12, 0.14);
    cairo_paint(cr);
  }
  cairo_t* cr() { return canvas_.cr(); }

  void label(double x, double y, const std::string& name, const std::string& note) {
    cairo_t* cr = canvas_.cr();
    set_font(cr, 15, true);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, x, y + 16);
    cairo_show_text(cr, name.c_str());
    set_font(cr, 12, false);
    cairo_set_source_rgb(cr, 0.68, 0.70, 0.74);
    cairo_move_to(cr, x, y + 33);
    cairo_show_text(cr, note.c_str());
  }

  // Places an image at (x, y), scaled by an integer factor, over a checker
  // where it is transparent.
  void place(const Image& img, double x, double y, int scale = 1) {
    cairo_t* cr = canvas_.cr();
    if (img.has_alpha) {
      for (int cy = 0; cy < img.height * scale; cy += 8)
        for (int cx = 0; cx < img.width * scale; cx += 8) {
          const double g = ((cx / 8 + cy / 8) % 2) ? 0.42 : 0.55;
          cairo_set_source_rgb(cr, g, g, g);
          cairo_rectangle(cr, x + cx, y + cy, std::min(8, img.width * scale - cx), std::min(8, img.height * scale - cy));
          cairo_fill(cr);
        }
    }
    cairo_surface_t* s = surface_from_image(img);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(s);
  }

  void heading(double y, const std::string& text) {
    cairo_t* cr = canvas_.cr();
    set_font(cr, 20, true);
    set_source(cr, kTeal);
    cairo_move_to(cr, kMargin, y + 22);
    cairo_show_text(cr, text.c_str());
    cairo_rectangle(cr, kMargin, y + 30, kSheetW - 2 * kMargin, 1.5);
    cairo_fill(cr);
  }

  Image image(int height) const { return crop(canvas_.image(false), 0, 0, kSheetW, height); }

 private:
  Canvas canvas_;
};

}  // namespace

void write_contact_sheet(const std::filesystem::path& outdir, const std::filesystem::path& sheet_path) {
  std::map<std::string, Image> img;
  for (const PictureFile& f : picture_files()) img[f.name] = read_png(outdir / f.name);

  const int col[3] = {kMargin, kMargin * 2 + kLandscapeWidth, kMargin * 3 + 2 * kLandscapeWidth};
  const int tile = kLabel + kLandscapeHeight + kMargin;
  int y = kMargin;
  Sheet sheet(3120);

  // Full-screen pictures.
  sheet.heading(y, "Full-screen pictures, as the landscape window shows them");
  y += 44;
  const Image bg_view = render_view(nullptr, {{far_quad(), &img["background_scene1.png"]}}, 1, false);
  sheet.label(col[0], y, "background_scene1.png", "scene 1 backdrop (the rig stands on it in black)");
  sheet.place(bg_view, col[0], y + kLabel);
  sheet.label(col[1], y, "background_scene1.png", "with the three ribbons fully grown (48 s; rig left out)");
  sheet.place(bg_view, col[1], y + kLabel);
  draw_ribbons(sheet.cr(), col[1], y + kLabel);
  sheet.label(col[2], y, "logo.png", "over the backdrop at full opacity, 20 to 25 s");
  sheet.place(render_view(&bg_view, {{far_quad(), &img["logo.png"]}}, 1, false), col[2], y + kLabel);
  y += tile;

  const ScreenQuad upright{{{{-1, -1}, {1, -1}, {-1, 1}, {1, 1}}}, kSquareTexCoords};
  sheet.label(col[0], y, "loading.png", "loading screen, upright on the phone");
  sheet.place(render_view(nullptr, {{upright, &img["loading.png"]}}, 1, false), col[0], y + kLabel);
  sheet.label(col[1], y, "korvane_final.png", "closing picture, 180 to 185 s");
  sheet.place(render_view(nullptr, {{far_quad(), &img["korvane_final.png"]}}, 1, false), col[1], y + kLabel);
  const Image& mbg = img["murelbg.png"];
  sheet.label(col[2], y, "murelbg.png", "scene 3: window s = 0 at half brightness (it drifts down)");
  sheet.place(render_view(nullptr, {{far_quad(0), &mbg}}, 0.5, true), col[2], y + kLabel);
  y += tile;

  // Text pages.
  sheet.heading(y, "Greetings and credits, where and how the show draws them");
  y += 44;
  const Image greet_bg = render_view(nullptr, {{far_quad(0), &mbg}}, 1, true);
  sheet.label(col[0], y, "greets.png", "blocks 0 to 4 over the full-brightness background (both lines lit)");
  for (int k = 0; k < 5; ++k) {
    const auto lines = greet_lines(k);
    const Image frame = render_view(&greet_bg, {{lines[0], &img["greets.png"]}, {lines[1], &img["greets.png"]}}, 1, true);
    sheet.place(crop(frame, 0, 116, kLandscapeWidth, 88), col[0], y + kLabel + k * 94);
  }
  sheet.label(col[1], y, "credits.png", "pages 0 to 2 in the band along the top, lit, over black");
  for (int k = 0; k < kCreditsPages; ++k) {
    const Image frame = render_view(nullptr, {{credits_band(k), &img["credits.png"]}}, 1, true);
    sheet.place(crop(frame, 0, 0, kLandscapeWidth, 104), col[1], y + kLabel + k * 112);
    cairo_t* cr = sheet.cr();
    cairo_set_source_rgba(cr, 0.4, 0.4, 0.45, 1);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, col[1] + 0.5, y + kLabel + k * 112 + 0.5, kLandscapeWidth - 1, 103);
    cairo_stroke(cr);
  }
  sheet.label(col[2], y, "greets.png / credits.png", "the files themselves (scaled 1/2 and 1/2)");
  {
    Canvas small(kLandscapeWidth, 260);
    cairo_t* cr = small.cr();
    cairo_set_source_rgb(cr, 0.12, 0.12, 0.14);
    cairo_paint(cr);
    cairo_surface_t* g = surface_from_image(img["greets.png"]);
    cairo_surface_t* c = surface_from_image(img["credits.png"]);
    cairo_scale(cr, 0.5, 0.5);
    cairo_set_source_surface(cr, g, 0, 0);
    cairo_paint(cr);
    cairo_set_source_surface(cr, c, 300, 0);
    cairo_paint(cr);
    cairo_surface_destroy(g);
    cairo_surface_destroy(c);
    sheet.place(small.image(false), col[2], y + kLabel);
  }
  y += kLabel + 5 * 94 + kMargin;

  // The blob and the metaball scene.
  sheet.heading(y, "splat.png and what the metaball scene makes of it");
  y += 44;
  const Image& splat = img["splat.png"];
  const float times[3] = {2.5f, 8.75f, 16.45f};
  const char* notes[3] = {"one blob (2.5 s)", "four blobs merging (8.75 s)", "threshold falling (16.45 s)"};
  for (int i = 0; i < 3; ++i) {
    sheet.label(col[i], y, "metaballs", notes[i]);
    sheet.place(metaball_view(metaball_frame(splat, times[i])), col[i], y + kLabel);
  }
  y += tile;

  // Textures.
  sheet.heading(y, "Textures and sprites");
  y += 44;
  sheet.label(col[0], y, "mureltextur.png", "s: tail to head, t: back, flank, belly, flank, back");
  sheet.place(img["mureltextur.png"], col[0], y + kLabel);
  sheet.label(col[0] + 552, y, "treetrunk_textur.png", "s around, t down the trunk");
  sheet.place(img["treetrunk_textur.png"], col[0] + 552, y + kLabel);
  sheet.label(col[0] + 828, y, "treetrunk_cube_textur.png", "every face");
  sheet.place(img["treetrunk_cube_textur.png"], col[0] + 828, y + kLabel);
  sheet.label(col[0] + 1104, y, "splat.png", "opaque; red = green in body");
  sheet.place(splat, col[0] + 1104, y + kLabel);
  const int y2 = y + kLabel + 256 + kMargin;
  sheet.label(col[0], y2, "grass.png", "ground colour, cube over the centre");
  sheet.place(img["grass.png"], col[0], y2 + kLabel);
  sheet.label(col[0] + 276, y2, "grass1.png", "the cube's light");
  sheet.place(img["grass1.png"], col[0] + 276, y2 + kLabel);
  sheet.label(col[0] + 828, y2, "bubble.png", "loaded, never drawn");
  sheet.place(img["bubble.png"], col[0] + 828, y2 + kLabel);
  sheet.label(col[0] + 1104, y2, "small_black.png", "8 x 8, shown 8 times");
  sheet.place(img["small_black.png"], col[0] + 1104, y2 + kLabel, 8);
  {
    cairo_t* cr = sheet.cr();
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.55);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, col[0] + 1104 - 0.5, y2 + kLabel - 0.5, 65, 65);
    cairo_stroke(cr);
  }

  // Sizes of every file, for the record.
  int ty = y2 + kLabel + 256 + kMargin;
  {
    cairo_t* cr = sheet.cr();
    set_font(cr, 12, false);
    cairo_set_source_rgb(cr, 0.68, 0.70, 0.74);
    int i = 0;
    for (const PictureFile& f : picture_files()) {
      const Image& im = img[f.name];
      const std::string s = std::string(f.name) + "  " + std::to_string(im.width) + " x " + std::to_string(im.height) +
                            (im.has_alpha ? "  RGBA" : "  RGB");
      cairo_move_to(cr, col[0] + (i % 3) * 500, ty + 16 + (i / 3) * 18);
      cairo_show_text(cr, s.c_str());
      ++i;
    }
  }
  write_png(sheet_path, sheet.image(ty + 6 * 18 + kMargin));
}

}  // namespace assetgen
