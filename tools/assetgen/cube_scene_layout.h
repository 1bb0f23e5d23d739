#pragma once
// Where the cube light scene's models stand in the show's world (+x up), and
// how the cube's light falls on them: shared by the meshes and by the
// pictures that paint that light onto the trunk and the ground.
//
// The scene's camera looks at the world point (kCubeX, 0, 0) from 50 units
// before its cut; after it the world turns about the x axis, which passes
// through that point, while the camera closes in from 59 to 20 units. So the
// cube floats there, in the middle of every frame, turning on its own axis,
// while the trunk and the grass turn around it.
#include <algorithm>
#include <cmath>

namespace assetgen::cube_scene {

// The cube: centre (kCubeX, 0, 0), 12 units a side (readable at 50 units,
// whole at 20).
inline constexpr double kCubeX = 30;
inline constexpr double kCubeHalf = 6;

// The ground, a little below the cube, and the grass patch on it: a disc of
// kPatchRadius about the turning axis, no wider than the cube's light reaches.
inline constexpr double kGroundX = 18;
inline constexpr double kPatchRadius = 24;

// The trunk stands 12 units off the turning axis: close enough that, as the
// camera closes in, it crosses in front of the cube only briefly and stays
// clear of the camera; to the side of the cube and a little behind it before
// the cut, so that the first camera sees its lit side beside the cube.
inline constexpr double kTrunkY = -11.3;
inline constexpr double kTrunkZ = -4.1;
inline constexpr double kTrunkHeight = 100;  // from the ground up, out of every frame
inline constexpr double kTrunkSunk = 1.5;    // its foot goes this far into the ground

struct Point {
  double x, y, z;
};

// The trunk's centre line at height h above the ground: a gentle S-bend.
inline Point trunk_centre(double h) {
  return {kGroundX - kTrunkSunk + h, kTrunkY + 0.8 * std::sin(h / 30.0), kTrunkZ + 0.6 * std::sin(h / 41.0 + 1)};
}

// The trunk's radius at height h and angle a (radians about the x axis, from
// +y towards +z): tapering, buttress roots flaring at the foot, bark ridges.
inline double trunk_radius(double h, double a) {
  const double base = 3.2 - 1.0 * std::min(h, kTrunkHeight) / kTrunkHeight;
  const double foot = std::exp(-h / 3.5);
  const double lobes = std::pow(std::max(0.0, std::cos(5 * a + 0.6)), 2.0);
  const double ridges = 0.05 * std::sin(11 * a + h * 0.13) + 0.03 * std::sin(23 * a - h * 0.21);
  return base * (1 + ridges) + foot * (1.2 + 2.8 * lobes);
}

// The cube's light at a surface point p with unit normal n, as a fraction of
// the light straight under the cube on the ground: the cosine to the cube's
// centre over the square of the distance. The cube is a broad light close to
// the trunk, so its light wraps a little further round than a point's would.
inline constexpr double kWrap = 0.8;
inline double cube_light(Point p, Point n) {
  const Point to{kCubeX - p.x, -p.y, -p.z};
  const double d2 = to.x * to.x + to.y * to.y + to.z * to.z;
  const double d = std::sqrt(d2);
  const double cosine = std::max(0.0, ((to.x * n.x + to.y * n.y + to.z * n.z) / d + kWrap) / (1 + kWrap));
  const double below = kCubeX - kGroundX;
  return cosine * below * below / d2;
}

// How much of the cube's light reaches the ground point (kGroundX, y, z)
// past the trunk: 0 in its shadow, 1 in the open, soft at the edges (the cube
// is a broad light). Seen from above, the light comes from the axis.
inline double trunk_shadow(double y, double z) {
  const Point c = trunk_centre(6);
  const double along = (y * c.y + z * c.z) / (c.y * c.y + c.z * c.z);  // 1 at the trunk
  if (along <= 1) return 1;
  const double miss = std::fabs(y * c.z - z * c.y) / std::hypot(y, z);  // the trunk from the ray
  const double r = trunk_radius(6, 0);
  return std::clamp((miss - 0.6 * r) / (1.2 * r), 0.0, 1.0);
}

}  // namespace assetgen::cube_scene
