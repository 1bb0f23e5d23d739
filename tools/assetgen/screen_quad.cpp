#include "screen_quad.h"

#include <cmath>
#include <numbers>

namespace assetgen {

ScreenQuad frustum_quad(const std::array<std::array<double, 3>, 4>& eye,
                        const std::array<std::array<double, 2>, 4>& st, double degrees) {
  const double a = degrees * std::numbers::pi / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  ScreenQuad q{};
  for (int i = 0; i < 4; ++i) {
    const double x = c * eye[i][0] - s * eye[i][1], y = s * eye[i][0] + c * eye[i][1];
    const double depth = -eye[i][2];
    q.ndc[i] = {x / depth, y / (1.5 * depth)};
    q.st[i] = st[i];
  }
  return q;
}

std::optional<std::array<double, 2>> quad_texcoord(const ScreenQuad& quad, int x, int y) {
  // Landscape pixel (x, y) shows portrait pixel (319 - y, x).
  const double px = 319 - y + 0.5, py = x + 0.5;
  const double nx = px / 160.0 - 1, ny = 1 - py / 240.0;
  // The strip's two triangles: (0, 1, 2) and (2, 1, 3).
  const int tris[2][3] = {{0, 1, 2}, {2, 1, 3}};
  for (const auto& tri : tris) {
    const auto& a = quad.ndc[tri[0]];
    const auto& b = quad.ndc[tri[1]];
    const auto& c = quad.ndc[tri[2]];
    const double det = (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
    if (std::abs(det) < 1e-12) continue;
    const double l1 = ((nx - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (ny - a[1])) / det;
    const double l2 = ((b[0] - a[0]) * (ny - a[1]) - (nx - a[0]) * (b[1] - a[1])) / det;
    const double l0 = 1 - l1 - l2;
    constexpr double e = -1e-9;
    if (l0 < e || l1 < e || l2 < e) continue;
    return std::array<double, 2>{l0 * quad.st[tri[0]][0] + l1 * quad.st[tri[1]][0] + l2 * quad.st[tri[2]][0],
                                 l0 * quad.st[tri[0]][1] + l1 * quad.st[tri[1]][1] + l2 * quad.st[tri[2]][1]};
  }
  return std::nullopt;
}

std::array<double, 4> sample_bilinear(const Image& image, double s, double t) {
  const double u = s * image.width - 0.5, v = t * image.height - 0.5;
  const double fu = std::floor(u), fv = std::floor(v);
  const double a = u - fu, b = v - fv;
  auto texel = [&](long xx, long yy) {
    xx = ((xx % image.width) + image.width) % image.width;
    yy = ((yy % image.height) + image.height) % image.height;
    return image.at(static_cast<int>(xx), static_cast<int>(yy));
  };
  const long x0 = static_cast<long>(fu), y0 = static_cast<long>(fv);
  std::array<double, 4> out{};
  for (int ch = 0; ch < 4; ++ch) {
    const double top = texel(x0, y0)[ch] * (1 - a) + texel(x0 + 1, y0)[ch] * a;
    const double bottom = texel(x0, y0 + 1)[ch] * (1 - a) + texel(x0 + 1, y0 + 1)[ch] * a;
    out[static_cast<std::size_t>(ch)] = top * (1 - b) + bottom * b;
  }
  return out;
}

}  // namespace assetgen
