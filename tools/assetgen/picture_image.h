#pragma once
// The raster type every picture of the bundle is built in, and the small
// toolbox around it: PNG encoding and decoding, the bridge to Cairo, a blur,
// deterministic noise and the fonts.
#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace assetgen {

// Straight (not premultiplied) 8-bit RGBA, top row first.
struct Image {
  int width = 0;
  int height = 0;
  bool has_alpha = false;  // written as RGBA when true, as RGB otherwise
  std::vector<std::uint8_t> rgba;

  Image() = default;
  Image(int w, int h, bool alpha = false);

  std::uint8_t* at(int x, int y) { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
  const std::uint8_t* at(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

struct Rgb {
  double r, g, b;
};
// The show's fixed colours, 0..1.
inline constexpr Rgb kTeal{20 / 255.0, 220 / 255.0, 200 / 255.0};
inline constexpr Rgb kPink{1.0, 130 / 255.0, 205 / 255.0};
inline constexpr Rgb kMagenta{225 / 255.0, 30 / 255.0, 160 / 255.0};
inline constexpr Rgb kWhite{1.0, 1.0, 1.0};
inline constexpr Rgb kBlack{0.0, 0.0, 0.0};
Rgb mix(Rgb a, Rgb b, double f);
void set_source(cairo_t* cr, Rgb c, double alpha = 1.0);
void add_stop(cairo_pattern_t* p, double at, Rgb c, double alpha = 1.0);
// A square from (from, from) to (to, to) with corners of `radius`, as a new sub-path.
void rounded_square_path(cairo_t* cr, double from, double to, double radius);
// The logo's letters on the current path: a white rim of `line_width` around
// a pink to magenta fill that runs from `top` down to `baseline`.
void ink_logo_letters(cairo_t* cr, double line_width, double top, double baseline);

// PNG bytes of an image (RGB or RGBA by has_alpha); deterministic.
std::vector<std::uint8_t> encode_png(const Image& image);
// Any PNG, converted to straight RGBA8; has_alpha reports whether the file carries alpha.
Image decode_png(std::span<const std::uint8_t> bytes, const std::string& what);
Image read_png(const std::filesystem::path& path);
void write_png(const std::filesystem::path& path, const Image& image);

// An owned Cairo image surface and its context, for drawing one picture at
// `scale` times its size: the surface has width x height pixels times the
// scale, and the context is scaled to match, so that a picture is drawn in
// the coordinates of its 1x size at any scale.
class Canvas {
 public:
  Canvas(int width, int height, int scale = 1);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }
  // The surface's size in pixels (the 1x size times the scale).
  int width() const { return width_; }
  int height() const { return height_; }
  int scale() const { return scale_; }
  // The canvas as straight RGBA; alpha kept only if with_alpha.
  Image image(bool with_alpha) const;

 private:
  int width_, height_, scale_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

// A premultiplied ARGB32 surface holding the image (caller destroys it).
cairo_surface_t* surface_from_image(const Image& image);

// Three box blurs of radius r on every channel of an ARGB32 surface (close to
// a Gaussian of sigma ~ r), edges treated as transparent. On a picture drawn
// at `scale`, radius is in 1x pixels and the blur spreads as far across the
// picture as it does at 1x.
void blur_surface(cairo_surface_t* surface, int radius, int scale = 1);

// Paints what `draw` fills (in white) as a soft glow of colour c on the
// canvas: the shape is rendered on its own layer (under the canvas's current
// transformation), blurred by `radius` and composited with `alpha`.
template <class Draw>
void paint_glow(const Canvas& canvas, Rgb c, double alpha, int radius, Draw&& draw);
void paint_glow_surface(const Canvas& canvas, cairo_surface_t* layer, Rgb c, double alpha, int radius);

// Where pixel p of a picture drawn at `scale` samples, in its 1x pixels: a
// picture computed pixel by pixel samples 1x pixel k at k, and the scale x
// scale pixels that stand for it around k, at k on average.
inline double unscaled(int p, int scale) { return (p + 0.5) / scale - 0.5; }

// Fonts: DejaVu through fontconfig, grey antialiasing, no hinting, so that text
// renders the same on every run.
void set_font(cairo_t* cr, double size, bool bold = true, const char* family = "DejaVu Sans");
// Width of text in the current font.
double text_width(cairo_t* cr, const std::string& text);
// Adds text to the path with its baseline at y, horizontally centred on cx.
void text_path_centred(cairo_t* cr, const std::string& text, double cx, double baseline);

// Deterministic noise in 0..1: a hash per lattice point, smooth value noise
// (periodic in x with period px and in y with period py when those are > 0),
// and a few octaves of it.
double hash01(std::int64_t x, std::int64_t y, std::uint32_t seed);
double value_noise(double x, double y, std::uint32_t seed, int px = 0, int py = 0);
double fractal_noise(double x, double y, std::uint32_t seed, int octaves, int px = 0, int py = 0);

template <class Draw>
void paint_glow(const Canvas& canvas, Rgb c, double alpha, int radius, Draw&& draw) {
  cairo_surface_t* layer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, canvas.width(), canvas.height());
  cairo_t* lc = cairo_create(layer);
  cairo_matrix_t m;
  cairo_get_matrix(canvas.cr(), &m);
  cairo_set_matrix(lc, &m);
  cairo_set_source_rgb(lc, 1, 1, 1);
  draw(lc);
  cairo_destroy(lc);
  paint_glow_surface(canvas, layer, c, alpha, radius);
  cairo_surface_destroy(layer);
}

}  // namespace assetgen
