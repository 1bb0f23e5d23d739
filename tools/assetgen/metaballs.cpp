#include "metaballs.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace assetgen {

namespace {

// The lone blob's field, in red units: a smooth bump of radius kReach
// (quad units) that saturates well inside, so that a lone blob's black core
// ends at about 11 units and its white rim at about 14.5 (red falls to 160).
constexpr double kReach = 23.5;
constexpr double kPeak = 420.0;
constexpr double kUnitsPerTexel = 200.0 / kSplatSide;

double field(double units) {
  const double x = units / kReach;
  if (x >= 1) return 0;
  const double q = 1 - x * x;
  return kPeak * q * q;
}

// Green runs ahead of red everywhere the field can matter (red from 40 up),
// is equal to red in the far tail and where both have saturated.
int splat_green(int red) {
  const double ramp = std::clamp((red - 12) / 28.0, 0.0, 1.0);
  const int lead = static_cast<int>(std::lround(28 * ramp * ramp * (3 - 2 * ramp)));
  return std::min(255, red + lead);
}

struct Level {
  int side;
  std::vector<float> red, green;
};

float sample(const Level& l, const std::vector<float>& ch, double s, double t) {
  // GL_LINEAR with GL_REPEAT; t = 0 is the file's top row.
  const double u = s * l.side - 0.5, v = t * l.side - 0.5;
  const double fu = std::floor(u), fv = std::floor(v);
  const double a = u - fu, b = v - fv;
  auto texel = [&](long x, long y) {
    x = ((x % l.side) + l.side) % l.side;
    y = ((y % l.side) + l.side) % l.side;
    return static_cast<double>(ch[static_cast<std::size_t>(y) * l.side + static_cast<std::size_t>(x)]);
  };
  const long x0 = static_cast<long>(fu), y0 = static_cast<long>(fv);
  return static_cast<float>((texel(x0, y0) * (1 - a) + texel(x0 + 1, y0) * a) * (1 - b) +
                            (texel(x0, y0 + 1) * (1 - a) + texel(x0 + 1, y0 + 1) * a) * b);
}

}  // namespace

int splat_red(double units) { return static_cast<int>(std::min(255.0, std::round(field(units)))); }

Image draw_splat() {
  Image img(kSplatSide, kSplatSide, false);
  for (int y = 0; y < kSplatSide; ++y)
    for (int x = 0; x < kSplatSide; ++x) {
      const double dx = (x + 0.5 - kSplatSide / 2.0) * kUnitsPerTexel;
      const double dy = (y + 0.5 - kSplatSide / 2.0) * kUnitsPerTexel;
      const int red = splat_red(std::hypot(dx, dy));
      const int green = splat_green(red);
      std::uint8_t* p = img.at(x, y);
      p[0] = static_cast<std::uint8_t>(red);
      p[1] = static_cast<std::uint8_t>(green);
      p[2] = static_cast<std::uint8_t>(green);  // blue is never read: a white blob with a cool rim
      p[3] = 255;                               // opaque, so loading does not scale the colour
    }
  return img;
}

std::vector<BlobCentre> metaball_centres(float t) {
  std::vector<BlobCentre> out;
  const int n = std::min(static_cast<int>(t), 5);
  const float u = std::max(t, 3.5f);
  float x = 0, y = 0;
  for (int i = 1; i < n; ++i) {
    const float fi = static_cast<float>(i);
    const float a = fi * (u + 79.0f), b = fi * (u + 32.0f);
    x += static_cast<float>(15.0 * std::sin(static_cast<double>(56266 * i) + 0.4 * a));
    y += static_cast<float>(20.0 * std::sin(static_cast<double>(75437 * i) + 0.3 * b));
    out.push_back({x, y});
  }
  return out;
}

int metaball_threshold(float t) {
  if (t > 15.0f) return std::max(static_cast<int>(160.0f - 90.0f * (t - 15.0f)), 0);
  return 160;
}

void metaball_pixel(const BlobCentre& c, int& px, int& py) {
  px = static_cast<int>(std::floor((c.x / 50.0 + 1) * kMetaSide / 2));
  py = static_cast<int>(std::floor((c.y / 75.0 + 1) * kMetaSide / 2));
}

MetaFrame metaball_frame(const Image& splat, float t) {
  // Level 0 and the box-filtered level 1 of the mipmapped texture. The blob
  // quad is minified 1 : 1 across and 1.5 : 1 along the portrait's height,
  // so the scene samples between the two with weight log2(1.5) on level 1.
  std::array<Level, 2> levels{};
  levels[0].side = splat.width;
  for (int y = 0; y < splat.height; ++y)
    for (int x = 0; x < splat.width; ++x) {
      levels[0].red.push_back(splat.at(x, y)[0]);
      levels[0].green.push_back(splat.at(x, y)[1]);
    }
  levels[1].side = splat.width / 2;
  for (int y = 0; y < levels[1].side; ++y)
    for (int x = 0; x < levels[1].side; ++x) {
      auto avg = [&](const std::vector<float>& c) {
        const auto at = [&](int xx, int yy) { return c[static_cast<std::size_t>(yy) * splat.width + xx]; };
        return std::floor((at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1)) / 4 + 0.5f);
      };
      levels[1].red.push_back(avg(levels[0].red));
      levels[1].green.push_back(avg(levels[0].green));
    }
  const double lod = std::log2(1.5);

  MetaFrame f;
  f.blobs = metaball_centres(t);
  f.red.assign(kMetaSide * kMetaSide, 0);
  f.green.assign(kMetaSide * kMetaSide, 0);
  for (int py = 0; py < kMetaSide; ++py)
    for (int px = 0; px < kMetaSide; ++px) {
      const double ex = ((px + 0.5) / (kMetaSide / 2.0) - 1) * 50;
      const double ey = ((py + 0.5) / (kMetaSide / 2.0) - 1) * 75;
      int r = 0, g = 0;
      for (const BlobCentre& b : f.blobs) {
        const double s = (ex - b.x + 100) / 200, tt = (ey - b.y + 100) / 200;
        auto filtered = [&](bool red) {
          const float l0 = sample(levels[0], red ? levels[0].red : levels[0].green, s, tt);
          const float l1 = sample(levels[1], red ? levels[1].red : levels[1].green, s, tt);
          return static_cast<int>(std::lround(l0 * (1 - lod) + l1 * lod));
        };
        r = std::min(255, r + filtered(true));
        g = std::min(255, g + filtered(false));
      }
      const std::size_t i = static_cast<std::size_t>(py) * kMetaSide + px;
      f.red[i] = static_cast<std::uint8_t>(r);
      f.green[i] = static_cast<std::uint8_t>(g);
    }
  const int k = metaball_threshold(t);
  f.classes.resize(f.red.size());
  for (std::size_t i = 0; i < f.red.size(); ++i)
    f.classes[i] = f.red[i] < k ? MetaClass::Teal : f.red[i] == f.green[i] ? MetaClass::Black : MetaClass::White;
  return f;
}

Image metaball_view(const MetaFrame& frame) {
  auto colour = [](MetaClass c) -> std::array<double, 3> {
    switch (c) {
      case MetaClass::Teal: return {20, 220, 200};
      case MetaClass::Black: return {0, 0, 0};
      case MetaClass::White: return {255, 255, 255};
    }
    return {0, 0, 0};
  };
  Image view(480, 320, false);
  for (int ly = 0; ly < 320; ++ly)
    for (int lx = 0; lx < 480; ++lx) {
      const int ppx = 319 - ly, ppy = lx;  // the portrait pixel this landscape pixel shows
      const double u = (ppx + 0.5) / 320.0 * kMetaSide - 0.5;
      const double v = (1 - (ppy + 0.5) / 480.0) * kMetaSide - 0.5;  // read-back rows run bottom-up
      const int x0 = std::clamp(static_cast<int>(std::floor(u)), 0, kMetaSide - 1);
      const int y0 = std::clamp(static_cast<int>(std::floor(v)), 0, kMetaSide - 1);
      const int x1 = std::min(x0 + 1, kMetaSide - 1), y1 = std::min(y0 + 1, kMetaSide - 1);
      const double a = std::clamp(u - x0, 0.0, 1.0), b = std::clamp(v - y0, 0.0, 1.0);
      std::uint8_t* p = view.at(lx, ly);
      for (int ch = 0; ch < 3; ++ch) {
        const double c = (colour(frame.at(x0, y0))[ch] * (1 - a) + colour(frame.at(x1, y0))[ch] * a) * (1 - b) +
                         (colour(frame.at(x0, y1))[ch] * (1 - a) + colour(frame.at(x1, y1))[ch] * a) * b;
        p[ch] = static_cast<std::uint8_t>(std::lround(c));
      }
    }
  return view;
}

}  // namespace assetgen
