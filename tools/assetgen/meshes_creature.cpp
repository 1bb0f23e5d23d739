// The swimming creature: a long eel with a deep head at +x, a body tapering to
// a tail at -x, and a fin running along its back, round the tail and under the
// rear half of its belly. The show scales its y by a wave along x and its z by
// its own value, so the body is finely ringed along x and the fins stand out
// in y, where the wave moves them most.
//
// Texture layout: s runs along the body from the tail tip (s = 0) to the snout
// (s = 1), linearly in x; t runs once around the body: t = 0 along the back
// (+y), 0.25 along the +z flank, 0.5 along the belly (-y), 0.75 along the -z
// flank and 1 at the back again. So the upper half of the picture is the +z
// side, the one the viewer sees, upright with the head to the right; the lower
// half is the far side upside down. The fins take the rows just beside the
// back line and the belly line, so they wear the body's colours there.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "meshes_models.h"

namespace assetgen::mesh {

namespace {

constexpr double kTailX = -97;  // tip of the body; the tail fin reaches a little further
constexpr double kSnoutX = 100;
constexpr int kRingPoints = 24;
// Where the eyes sit: along the body and around it (and mirrored).
constexpr double kEyeU = 0.9;
constexpr double kEyeT = 0.19;

// Piecewise-cubic (Catmull-Rom) interpolation through (u, value) knots.
double spline(const std::vector<Vec2>& knots, double u) {
  if (u <= knots.front().x) return knots.front().y;
  if (u >= knots.back().x) return knots.back().y;
  std::size_t i = 0;
  while (knots[i + 1].x < u) ++i;
  const Vec2 p1 = knots[i], p2 = knots[i + 1];
  const Vec2 p0 = i > 0 ? knots[i - 1] : p1;
  const Vec2 p3 = i + 2 < knots.size() ? knots[i + 2] : p2;
  const double t = (u - p1.x) / (p2.x - p1.x);
  // Tangents scaled to the knot spacing so uneven knots do not overshoot.
  const double m1 = (p2.y - p0.y) / (p2.x - p0.x) * (p2.x - p1.x);
  const double m2 = (p3.y - p1.y) / (p3.x - p1.x) * (p2.x - p1.x);
  const double t2 = t * t, t3 = t2 * t;
  return (2 * t3 - 3 * t2 + 1) * p1.y + (t3 - 2 * t2 + t) * m1 + (-2 * t3 + 3 * t2) * p2.y + (t3 - t2) * m2;
}

// Body proportions along u = 0 (tail tip) .. 1 (snout).
const std::vector<Vec2> kHalfHeight = {{0, 0.6},   {0.1, 5},     {0.3, 11},   {0.5, 14.5}, {0.7, 16},
                                       {0.82, 17},  {0.9, 15.2},  {0.95, 11},  {0.98, 6.5}, {0.995, 2.8},
                                       {1, 0}};
const std::vector<Vec2> kHalfWidth = {{0, 0.5},    {0.1, 3},     {0.3, 7},    {0.5, 9.5},  {0.7, 11},
                                      {0.82, 11.5}, {0.9, 10.5},  {0.95, 7.5}, {0.98, 4.5}, {0.995, 2},
                                      {1, 0}};
// The head hangs a little: the snout sits below the body's line.
double centre_y(double u) {
  const double k = std::clamp((u - 0.8) / 0.2, 0.0, 1.0);
  return -3.0 * k * k;
}
// Fin heights above the back and below the belly.
// Each fin rises smoothly from nothing and waves gently along its edge.
double dorsal_height(double u) {
  const double rise = std::clamp((0.8 - u) / 0.16, 0.0, 1.0);
  return 9 * std::sin(rise * std::numbers::pi / 2) * (1 + 0.05 * std::sin(u * 40));
}
double ventral_height(double u) {
  const double rise = std::clamp((0.48 - u) / 0.14, 0.0, 1.0);
  return 7 * std::sin(rise * std::numbers::pi / 2) * (1 + 0.05 * std::sin(u * 40 + 1));
}

double x_of(double u) { return kTailX + (kSnoutX - kTailX) * u; }
double s_of(double x) { return (x - kTailX) / (kSnoutX - kTailX); }

// Ring stations along the body: even spacing, closer at the snout where the
// shape turns fastest.
std::vector<double> stations() {
  std::vector<double> u;
  for (int i = 0; i <= 56; ++i) u.push_back(0.9 * i / 56.0);
  for (double v : {0.915, 0.93, 0.945, 0.958, 0.97, 0.98, 0.988, 0.994, 0.998, 1.0}) u.push_back(v);
  return u;
}

constexpr double kFullness = 0.8;  // superellipse exponent: below 1 is fuller than an oval
double shape(double v) { return std::copysign(std::pow(std::fabs(v), kFullness), v); }
double unshape(double v) { return std::copysign(std::pow(std::fabs(v), 1 / kFullness), v); }

// The body surface at u, at angle th around it (0 on the back, a quarter turn
// at the +z flank): a superellipse, fuller than an oval.
Vec3 surface_at(double u, double th) {
  const double a = spline(kHalfHeight, u), b = spline(kHalfWidth, u);
  return {x_of(u), centre_y(u) + a * shape(std::cos(th)), b * shape(std::sin(th))};
}
Vec3 section_point(double u, int k) { return surface_at(u, 2 * std::numbers::pi * k / kRingPoints); }

// The body's texture coordinate for a point on (or just off) its surface.
Vec2 body_uv(Vec3 p) {
  const double u = std::clamp(s_of(p.x), 0.0, 1.0);
  const double a = spline(kHalfHeight, u), b = spline(kHalfWidth, u);
  double th = std::atan2(unshape(p.z / b), unshape((p.y - centre_y(u)) / a));
  if (th < 0) th += 2 * std::numbers::pi;
  return {u, th / (2 * std::numbers::pi)};
}

// A fin: a thin blade standing out from the body line (sign +1 on the back,
// -1 under the belly), with a narrow wedge section. Its faces take the rows
// of the body's texture just beside that line, on their own side.
void fin(MeshBuilder& m, const std::vector<double>& us, double sign, double (*height)(double)) {
  auto fin_t = [&](double side, double spread) {
    // Towards the +z flank t moves from the back line (0) up and from the
    // belly line (0.5) down.
    const double line = sign > 0 ? 0.0 : 0.5;
    const double t = line + side * sign * spread;
    return t < 0 ? t + 1 : t;
  };
  auto root = [&](double u) { return Vec3{x_of(u), centre_y(u) + sign * spline(kHalfHeight, u) * 0.92, 0}; };
  for (std::size_t i = 0; i + 1 < us.size(); ++i) {
    const double u0 = us[i], u1 = us[i + 1];
    const double h0 = height(u0), h1 = height(u1);
    if (h0 <= 0 && h1 <= 0) continue;
    const Vec3 r0 = root(u0), r1 = root(u1);
    // The root sits a little inside the body so the fin grows out of it.
    const Vec3 tip0 = r0 + Vec3{0, sign * (h0 + 1.3 * std::min(1.0, h0 * 4)), 0};
    const Vec3 tip1 = r1 + Vec3{0, sign * (h1 + 1.3 * std::min(1.0, h1 * 4)), 0};
    for (double side : {1.0, -1.0}) {
      const double thick = 0.9 * side;
      const Vec3 a = r0 + Vec3{0, 0, thick}, b = r1 + Vec3{0, 0, thick};
      const double tr = fin_t(side, 0.04), tt = fin_t(side, 0.01);
      const Vec2 ua{s_of(a.x), tr}, ub{s_of(b.x), tr}, uc{s_of(tip1.x), tt}, ud{s_of(tip0.x), tt};
      if (side * sign > 0) {
        m.quad(a, b, tip1, tip0, ua, ub, uc, ud);
      } else {
        m.quad(a, tip0, tip1, b, ua, ud, uc, ub);
      }
    }
  }
}

}  // namespace

MeshBuilder build_murel() {
  MeshBuilder m;
  const std::vector<double> us = stations();
  // Each ring lies in a plane x = const; its points are offsets in (y, z).
  std::vector<SweepFrame> path;
  for (double u : us) path.push_back({{x_of(u), 0, 0}, {0, 1, 0}, {0, 0, 1}});
  sweep(
      m, path, kRingPoints,
      [&](int i, int k) {
        const Vec3 p = section_point(us[i], k);
        return Vec2{p.y, p.z};
      },
      [&](int i, int k) { return Vec2{s_of(x_of(us[i])), double(k) / kRingPoints}; });

  // Tail tip: close the open ring with a small cone pointing back.
  const Vec3 tip{kTailX - 1.5, centre_y(0), 0};
  for (int k = 0; k < kRingPoints; ++k) {
    const Vec3 a = section_point(0, k), b = section_point(0, k + 1);
    m.triangle(tip, b, a, {0, (k + 0.5) / kRingPoints}, {0, double(k + 1) / kRingPoints},
               {0, double(k) / kRingPoints});
  }

  // Fins along the back and the belly, on the same stations as the body.
  std::vector<double> fin_us;
  for (int i = 0; i <= 64; ++i) fin_us.push_back(0.8 * i / 64.0);
  fin(m, fin_us, +1, dorsal_height);
  fin(m, fin_us, -1, ventral_height);

  // Tail fin: a fan behind the tail tip joining the two long fins.
  const Vec3 hub{kTailX + 3, centre_y(0), 0};
  const int fan = 12;
  for (int i = 0; i < fan; ++i) {
    const double a0 = 90 + 180.0 * i / fan, a1 = 90 + 180.0 * (i + 1) / fan;
    const double r0 = 6 + 0.8 * std::sin(i * 1.7), r1 = 6 + 0.8 * std::sin((i + 1) * 1.7);
    const Vec2 e0 = polar(r0, a0), e1 = polar(r1, a1);
    for (double side : {1.0, -1.0}) {
      // Rows from the back line (top of the fan) to the belly line (bottom),
      // on this side's half of the picture.
      auto fan_t = [&](double a) {
        const double t = 0.5 * (a - 90) / 180;
        return side > 0 ? t : (t == 0 ? 0.0 : 1 - t);
      };
      const Vec3 c = hub + Vec3{0, 0, side * 0.8};
      const Vec3 p0 = hub + Vec3{e0.x, e0.y, 0}, p1 = hub + Vec3{e1.x, e1.y, 0};
      const Vec2 tc{0.02, side > 0 ? 0.25 : 0.75}, t0{0, fan_t(a0)}, t1{0, fan_t(a1)};
      if (side > 0) {
        m.triangle(c, p1, p0, tc, t1, t0);
      } else {
        m.triangle(c, p0, p1, tc, t0, t1);
      }
    }
  }

  // Eyes: low domes on the flanks of the head, a little above the middle.
  // They take the body's own texture coordinates, so eyes painted there land
  // on them.
  for (double t_eye : {kEyeT, 1 - kEyeT}) {
    const double th = 2 * std::numbers::pi * t_eye;
    const Vec3 p = surface_at(kEyeU, th);
    const double a = spline(kHalfHeight, kEyeU), b = spline(kHalfWidth, kEyeU);
    const Vec3 n = normalized({0.25, (p.y - centre_y(kEyeU)) / (a * a), p.z / (b * b)});
    const Vec3 side = normalized(cross(n, {1, 0, 0}));
    const Vec3 up = cross(n, side);
    const double r = 3.4;
    const int rings = 5, around = 12;
    std::vector<SweepFrame> dome;
    for (int i = 0; i <= rings; ++i) {
      const double phi = std::numbers::pi / 2 * (1.15 - 1.15 * i / rings);  // rim (a little under) to pole
      dome.push_back({p + n * (r * std::sin(std::numbers::pi / 2 - phi) - 0.9), side, up});
    }
    auto offset = [&](int i, int k) {
      const double phi = std::numbers::pi / 2 * (1.15 - 1.15 * i / rings);
      const double ang = 2 * std::numbers::pi * k / around;
      return Vec2{r * std::sin(phi) * std::cos(ang), r * std::sin(phi) * std::sin(ang)};
    };
    sweep(m, dome, around, offset, [&](int i, int k) {
      const Vec2 o = offset(i, k % around);
      return body_uv(dome[i].centre + side * o.x + up * o.y);
    });
  }
  return m;
}

}  // namespace assetgen::mesh
