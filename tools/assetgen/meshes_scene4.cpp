// The cube light scene: the glowing cube floating on the axis the world turns
// about, a tree trunk close beside it and a patch of grass tufts on the
// ground below (cube_scene_layout.h places them). The world's +x axis is up.
//
// Texture layouts:
// - cube: every face carries the whole texture, the right way round when
//   seen from outside; on the four upright faces t = 0 is the top edge (+x).
// - trunk: s once around the trunk from +y towards +z, t along its height,
//   t = 0 at the top.
// - grass: a planar map of the ground, s = (y + R) / 2R, t = (z + R) / 2R,
//   with R = kPatchRadius; every blade takes the coordinate of its root, so
//   it shows the colour (and the cube's light) of the ground it stands on.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "cube_scene_layout.h"
#include "meshes_models.h"

namespace assetgen::mesh {

namespace {

using namespace cube_scene;

// A small fixed-seed generator (a 64-bit linear congruential step with the
// top bits taken), so the scatter is the same on every run and platform.
class Scatter {
 public:
  explicit Scatter(std::uint64_t seed) : state_(seed) {}
  double next() {  // in [0, 1)
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) / 9007199254740992.0;
  }
  double range(double lo, double hi) { return lo + (hi - lo) * next(); }

 private:
  std::uint64_t state_;
};

Vec3 centre_at(double h) {
  const Point c = trunk_centre(h);
  return {c.x, c.y, c.z};
}

}  // namespace

MeshBuilder build_cube() {
  MeshBuilder m;
  const double h = kCubeHalf;
  const Vec3 centre{kCubeX, 0, 0};
  // Each face by its outward direction and the direction of its picture's top
  // (t = 0). The picture's right (s = 1) is then top x outward, so that every
  // face reads the right way round from outside.
  struct Face {
    Vec3 n, up;
  };
  const Face faces[] = {
      {{0, 1, 0}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}}, {{0, 0, 1}, {1, 0, 0}},
      {{0, 0, -1}, {1, 0, 0}}, {{1, 0, 0}, {0, 0, -1}}, {{-1, 0, 0}, {0, 0, 1}},
  };
  for (const Face& f : faces) {
    const Vec3 right = cross(f.up, f.n);
    const Vec3 c = centre + f.n * h;
    const Vec3 tl = c + f.up * h - right * h, tr = c + f.up * h + right * h;
    const Vec3 bl = c - f.up * h - right * h, br = c - f.up * h + right * h;
    m.quad(bl, br, tr, tl, {0, 1}, {1, 1}, {1, 0}, {0, 0});
  }
  return m;
}

MeshBuilder build_trunk() {
  // Rings close together where the roots flare and where the cube lights the
  // bark, further apart up in the dark; the camera never sees the top.
  MeshBuilder m;
  const int around = 12;
  std::vector<double> heights;
  for (double h = 0; h < 6; h += 2) heights.push_back(h);
  for (double h = 6; h < 24; h += 6) heights.push_back(h);
  for (double h = 24; h < kTrunkHeight; h += 19) heights.push_back(h);
  heights.push_back(kTrunkHeight);
  std::vector<SweepFrame> path;
  for (double h : heights) path.push_back({centre_at(h), {0, 1, 0}, {0, 0, 1}});
  const double span = kTrunkHeight;
  sweep(
      m, path, around,
      [&](int i, int k) {
        const double a = 2 * std::numbers::pi * k / around;
        const double r = trunk_radius(heights[i], a);
        return Vec2{r * std::cos(a), r * std::sin(a)};
      },
      [&](int i, int k) { return Vec2{double(k) / around, (span - heights[i]) / span}; });

  // Two boughs reaching up and away from the cube, high over the camera's
  // circle. Their bark runs the same way: t follows the height, s goes round
  // each bough.
  const double away = std::atan2(kTrunkZ, kTrunkY) * 180 / std::numbers::pi;
  struct Bough {
    double height, azimuth, length, radius;
  };
  for (const Bough& b : {Bough{56, away - 40, 26, 1.5}, Bough{72, away + 55, 20, 1.2}}) {
    const double az = b.azimuth * std::numbers::pi / 180;
    const int rings = 4, bough_around = 6;
    std::vector<SweepFrame> bough;
    std::vector<double> radius;
    Vec3 p = centre_at(b.height);
    for (int i = 0; i <= rings; ++i) {
      const double f = double(i) / rings;
      const double elev = (38 + 30 * f) * std::numbers::pi / 180;  // curving upwards
      const Vec3 dir{std::sin(elev), std::cos(elev) * std::cos(az), std::cos(elev) * std::sin(az)};
      const Vec3 side = normalized(cross(dir, {1, 0, 0}));
      bough.push_back({p, side, cross(dir, side)});
      radius.push_back(b.radius * (1 - 0.75 * f));
      p = p + dir * (b.length / rings);
    }
    auto t_at = [&](double x) { return std::clamp((span - (x - (kGroundX - kTrunkSunk))) / span, 0.0, 1.0); };
    sweep(
        m, bough, bough_around,
        [&](int i, int k) {
          const double a = 2 * std::numbers::pi * k / bough_around;
          return Vec2{radius[i] * std::cos(a), radius[i] * std::sin(a)};
        },
        [&](int i, int k) { return Vec2{double(k) / bough_around, t_at(bough[i].centre.x)}; });
    // Cap the cut end.
    const SweepFrame& end = bough.back();
    for (int k = 0; k < bough_around; ++k) {
      const double a0 = 2 * std::numbers::pi * k / bough_around, a1 = 2 * std::numbers::pi * (k + 1) / bough_around;
      const double r = radius.back();
      const Vec3 q0 = end.centre + end.side * (r * std::cos(a0)) + end.up * (r * std::sin(a0));
      const Vec3 q1 = end.centre + end.side * (r * std::cos(a1)) + end.up * (r * std::sin(a1));
      const double t = t_at(end.centre.x);
      m.triangle(end.centre, q0, q1, {0.5, t}, {double(k) / bough_around, t}, {double(k + 1) / bough_around, t});
    }
  }
  return m;
}

MeshBuilder build_grass() {
  MeshBuilder m;
  const double R = kPatchRadius, g = kGroundX;
  auto ground_uv = [&](double y, double z) { return Vec2{(y + R) / (2 * R), (z + R) / (2 * R)}; };

  // The ground itself: a flat disc, so the cube's light falls on the earth
  // between the tufts too.
  const int rim = 48;
  const Vec3 centre{g, 0, 0};
  const int ic = m.position(centre), tc = m.uv(ground_uv(0, 0)), up = m.normal({1, 0, 0});
  for (int i = 0; i < rim; ++i) {
    const double a0 = 2 * std::numbers::pi * i / rim, a1 = 2 * std::numbers::pi * (i + 1) / rim;
    const Vec3 p0{g, R * std::cos(a0), R * std::sin(a0)}, p1{g, R * std::cos(a1), R * std::sin(a1)};
    m.triangle(Corner{ic, tc, up}, Corner{m.position(p0), m.uv(ground_uv(p0.y, p0.z)), up},
               Corner{m.position(p1), m.uv(ground_uv(p1.y, p1.z)), up});
  }

  // Tufts of blades where the cube's light falls, thinning out into the dark
  // (blades there would cost as much and show nothing), none inside the trunk.
  Scatter rnd(0x5eed'cafe'f00dULL);
  const Point trunk = trunk_centre(0);
  int tufts = 0;
  while (tufts < 130) {
    const double r = (R - 4) * std::pow(rnd.next(), 0.85);
    const double a = rnd.range(0, 2 * std::numbers::pi);
    const double ty = r * std::cos(a), tz = r * std::sin(a);
    if (std::hypot(ty - trunk.y, tz - trunk.z) < 5) continue;
    if (rnd.next() > cube_light({g, ty, tz}, {1, 0, 0}) * 1.6) continue;
    ++tufts;
    const double lit = cube_light({g, ty, tz}, {1, 0, 0});
    const int blades = 4 + static_cast<int>(rnd.next() * 4);
    const double tuft_height = 2.0 + 2.0 * lit + rnd.range(0, 1.0);
    for (int b = 0; b < blades; ++b) {
      const double ry = ty + rnd.range(-1.2, 1.2), rz = tz + rnd.range(-1.2, 1.2);
      if (std::hypot(ry, rz) > R - 0.5) continue;
      const Vec2 st = ground_uv(ry, rz);
      const double h = std::min(tuft_height * rnd.range(0.6, 1.15), 4.5);  // well below the cube
      const double w = rnd.range(0.4, 0.75);
      const double face = rnd.range(0, std::numbers::pi);           // which way the blade's flat side turns
      const double lean_dir = rnd.range(0, 2 * std::numbers::pi);  // which way it leans
      const double lean = rnd.range(0.1, 0.4) * h;
      const Vec3 across{0, std::cos(face) * w / 2, std::sin(face) * w / 2};
      const Vec3 bend{0, std::cos(lean_dir), std::sin(lean_dir)};
      const Vec3 root{g, ry, rz};
      const Vec3 tip = root + Vec3{h, 0, 0} + bend * lean;
      // One leaning triangle a blade: at a few pixels tall, a bend would not
      // show, and each triangle costs the driver as much as a large one.
      const int n = m.normal(cross(across, tip - root)), t = m.uv(st);
      m.triangle(Corner{m.position(root - across), t, n}, Corner{m.position(root + across), t, n},
                 Corner{m.position(tip), t, n});
    }
  }
  return m;
}

}  // namespace assetgen::mesh
