#include "picture_image.h"

#include <numbers>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "file_output.h"

namespace assetgen {

Image::Image(int w, int h, bool alpha)
    : width(w), height(h), has_alpha(alpha), rgba(static_cast<std::size_t>(w) * h * 4, 0) {
  for (std::size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
}

Rgb mix(Rgb a, Rgb b, double f) {
  return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

void set_source(cairo_t* cr, Rgb c, double alpha) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void add_stop(cairo_pattern_t* p, double at, Rgb c, double alpha) {
  cairo_pattern_add_color_stop_rgba(p, at, c.r, c.g, c.b, alpha);
}

void rounded_square_path(cairo_t* cr, double from, double to, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, to - radius, from + radius, radius, -std::numbers::pi / 2, 0);
  cairo_arc(cr, to - radius, to - radius, radius, 0, std::numbers::pi / 2);
  cairo_arc(cr, from + radius, to - radius, radius, std::numbers::pi / 2, std::numbers::pi);
  cairo_arc(cr, from + radius, from + radius, radius, std::numbers::pi, 3 * std::numbers::pi / 2);
  cairo_close_path(cr);
}

void ink_logo_letters(cairo_t* cr, double line_width, double top, double baseline) {
  cairo_set_line_width(cr, line_width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  set_source(cr, kWhite);
  cairo_stroke_preserve(cr);
  cairo_pattern_t* fill = cairo_pattern_create_linear(0, top, 0, baseline);
  add_stop(fill, 0, kPink);
  add_stop(fill, 0.55, kMagenta);
  add_stop(fill, 1, {0.55, 0.0, 0.42});
  cairo_set_source(cr, fill);
  cairo_fill(cr);
  cairo_pattern_destroy(fill);
}

std::vector<std::uint8_t> encode_png(const Image& image) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = image.has_alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;

  std::vector<std::uint8_t> pixels;
  if (image.has_alpha) {
    pixels = image.rgba;
  } else {
    pixels.reserve(static_cast<std::size_t>(image.width) * image.height * 3);
    for (std::size_t i = 0; i < image.rgba.size(); i += 4)
      pixels.insert(pixels.end(), image.rgba.begin() + static_cast<std::ptrdiff_t>(i),
                    image.rgba.begin() + static_cast<std::ptrdiff_t>(i) + 3);
  }
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels.data(), 0, nullptr))
    throw OutputError(std::string("PNG encoding failed: ") + png.message);
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&png, out.data(), &size, 0, pixels.data(), 0, nullptr))
    throw OutputError(std::string("PNG encoding failed: ") + png.message);
  out.resize(size);
  return out;
}

Image decode_png(std::span<const std::uint8_t> bytes, const std::string& what) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
    throw OutputError(what + ": not a readable PNG: " + png.message);
  const bool alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png.format = PNG_FORMAT_RGBA;
  Image image(static_cast<int>(png.width), static_cast<int>(png.height), alpha);
  if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr))
    throw OutputError(what + ": PNG decoding failed: " + png.message);
  return image;
}

Image read_png(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw OutputError(path.string() + ": cannot open");
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return decode_png(bytes, path.string());
}

void write_png(const std::filesystem::path& path, const Image& image) {
  try {
    write_file_atomically(path, encode_png(image));
  } catch (const OutputError& e) {
    const std::string msg = e.what();
    if (msg.rfind(path.string(), 0) == 0) throw;
    throw OutputError(path.string() + ": " + msg);
  }
}

Canvas::Canvas(int width, int height, int scale)
    : width_(width * scale),
      height_(height * scale),
      scale_(scale),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_)),
      cr_(cairo_create(surface_)) {
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) throw OutputError("cannot create a drawing surface");
  cairo_scale(cr_, scale, scale);
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

Image Canvas::image(bool with_alpha) const {
  cairo_surface_flush(surface_);
  Image out(width_, height_, with_alpha);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  for (int y = 0; y < height_; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < width_; ++x) {
      const std::uint32_t p = row[x];
      const unsigned a = p >> 24;
      unsigned r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      std::uint8_t* o = out.at(x, y);
      if (with_alpha) {
        if (a == 0) {
          r = g = b = 0;
        } else if (a < 255) {
          r = std::min(255u, (r * 255 + a / 2) / a);
          g = std::min(255u, (g * 255 + a / 2) / a);
          b = std::min(255u, (b * 255 + a / 2) / a);
        }
        o[3] = static_cast<std::uint8_t>(a);
      } else {
        o[3] = 255;  // an opaque picture: whatever is not covered stays black
      }
      o[0] = static_cast<std::uint8_t>(r);
      o[1] = static_cast<std::uint8_t>(g);
      o[2] = static_cast<std::uint8_t>(b);
    }
  }
  return out;
}

cairo_surface_t* surface_from_image(const Image& image) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.at(x, y);
      const unsigned a = image.has_alpha ? p[3] : 255u;
      auto pm = [a](unsigned v) { return (v * a + 127) / 255; };
      row[x] = (a << 24) | (pm(p[0]) << 16) | (pm(p[1]) << 8) | pm(p[2]);
    }
  }
  cairo_surface_mark_dirty(s);
  return s;
}

namespace {

// One box blur pass of one channel, sliding-window sums: along every row, or
// along every column (all columns at once, row by row, in memory order).
void box_pass(std::vector<float>& v, int w, int h, int r, bool horizontal) {
  const float inv = 1.0f / static_cast<float>(2 * r + 1);
  if (horizontal) {
    std::vector<float> line(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
      float* row = &v[static_cast<std::size_t>(y) * w];
      std::copy_n(row, w, line.begin());
      double sum = 0;
      for (int i = 0; i <= std::min(r, w - 1); ++i) sum += line[static_cast<std::size_t>(i)];
      for (int i = 0; i < w; ++i) {
        row[i] = static_cast<float>(sum) * inv;
        const int add = i + r + 1, sub = i - r;
        if (add < w) sum += line[static_cast<std::size_t>(add)];
        if (sub >= 0) sum -= line[static_cast<std::size_t>(sub)];
      }
    }
    return;
  }
  const std::vector<float> before(v);
  auto row = [&](int y) { return &before[static_cast<std::size_t>(y) * w]; };
  std::vector<double> sum(static_cast<std::size_t>(w), 0.0);
  for (int i = 0; i <= std::min(r, h - 1); ++i)
    for (int x = 0; x < w; ++x) sum[static_cast<std::size_t>(x)] += row(i)[x];
  for (int i = 0; i < h; ++i) {
    float* out = &v[static_cast<std::size_t>(i) * w];
    for (int x = 0; x < w; ++x) out[x] = static_cast<float>(sum[static_cast<std::size_t>(x)]) * inv;
    const int add = i + r + 1, sub = i - r;
    if (add < h)
      for (int x = 0; x < w; ++x) sum[static_cast<std::size_t>(x)] += row(add)[x];
    if (sub >= 0)
      for (int x = 0; x < w; ++x) sum[static_cast<std::size_t>(x)] -= row(sub)[x];
  }
}

}  // namespace

void blur_surface(cairo_surface_t* surface, int radius, int scale) {
  if (radius <= 0) return;
  cairo_surface_flush(surface);
  const int w = cairo_image_surface_get_width(surface);
  const int h = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  // The box radius at 1x; at a larger scale, the box whose three passes
  // spread as much (variance scale^2 times the 1x one's) in its pixels.
  const int r1 = std::max(1, radius / 2);
  const double variance = static_cast<double>(scale) * scale * ((2 * r1 + 1) * (2 * r1 + 1) - 1);
  const int r = static_cast<int>(std::lround((std::sqrt(variance + 1) - 1) / 2));
  std::vector<float> ch(static_cast<std::size_t>(w) * h);
  for (int shift = 0; shift < 32; shift += 8) {
    for (int y = 0; y < h; ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
      for (int x = 0; x < w; ++x) ch[static_cast<std::size_t>(y) * w + x] = static_cast<float>((row[x] >> shift) & 255);
    }
    for (int pass = 0; pass < 3; ++pass) {
      box_pass(ch, w, h, r, true);
      box_pass(ch, w, h, r, false);
    }
    for (int y = 0; y < h; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
      for (int x = 0; x < w; ++x) {
        const auto v = static_cast<std::uint32_t>(
            std::clamp(std::lround(ch[static_cast<std::size_t>(y) * w + x]), 0l, 255l));
        row[x] = (row[x] & ~(255u << shift)) | (v << shift);
      }
    }
  }
  // Rounding per channel can leave a colour channel above alpha; keep the
  // surface a valid premultiplied one.
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t a = row[x] >> 24;
      std::uint32_t p = row[x] & 0xff000000u;
      for (int shift = 0; shift < 24; shift += 8) p |= std::min((row[x] >> shift) & 255u, a) << shift;
      row[x] = p;
    }
  }
  cairo_surface_mark_dirty(surface);
}

void paint_glow_surface(const Canvas& canvas, cairo_surface_t* layer, Rgb c, double alpha, int radius) {
  blur_surface(layer, radius, canvas.scale());
  cairo_t* cr = canvas.cr();
  cairo_save(cr);
  cairo_identity_matrix(cr);
  set_source(cr, c, alpha);
  cairo_mask_surface(cr, layer, 0, 0);
  cairo_restore(cr);
}

void set_font(cairo_t* cr, double size, bool bold, const char* family) {
  cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_font_options_t* opt = cairo_font_options_create();
  cairo_font_options_set_antialias(opt, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(opt, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(opt, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, opt);
  cairo_font_options_destroy(opt);
}

double text_width(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t ext;
  cairo_text_extents(cr, text.c_str(), &ext);
  return ext.x_advance;
}

void text_path_centred(cairo_t* cr, const std::string& text, double cx, double baseline) {
  cairo_move_to(cr, cx - text_width(cr, text) / 2, baseline);
  cairo_text_path(cr, text.c_str());
}

double hash01(std::int64_t x, std::int64_t y, std::uint32_t seed) {
  std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
                    static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^
                    static_cast<std::uint64_t>(seed) * 0x165667B19E3779F9ull;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

double value_noise(double x, double y, std::uint32_t seed, int px, int py) {
  const double fx = std::floor(x), fy = std::floor(y);
  const double tx = x - fx, ty = y - fy;
  const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  auto wrap = [](std::int64_t v, int p) { return p > 0 ? ((v % p) + p) % p : v; };
  auto at = [&](std::int64_t ix, std::int64_t iy) { return hash01(wrap(ix, px), wrap(iy, py), seed); };
  const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
  const double a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
  return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

double fractal_noise(double x, double y, std::uint32_t seed, int octaves, int px, int py) {
  double sum = 0, amp = 1, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * value_noise(x, y, seed + static_cast<std::uint32_t>(o) * 101u, px, py);
    total += amp;
    amp *= 0.5;
    x *= 2;
    y *= 2;
    px *= 2;
    py *= 2;
  }
  return sum / total;
}

}  // namespace assetgen
