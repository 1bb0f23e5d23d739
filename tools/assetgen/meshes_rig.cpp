// The drill rig: a beam pump on a truss skid. A small flywheel drives the
// large gear wheel by a belt; the gear turns the hammer crank, whose pitman
// rod (the arm connector) nods the walking beam (the drill head) on its post;
// the horse head at the beam's far end hangs the bridle that works the
// polished rod in and out of the wellhead.
//
// Every part is drawn black against a light backdrop, so only the silhouette
// counts: the shapes are flat outlines with a little depth, and the moving
// parts overlap their partners generously so that the joints never open up
// while the rig runs.
#include <cmath>
#include <numbers>

#include "meshes_models.h"

namespace assetgen::mesh {

namespace {

// Pivots of the rig's moving parts.
constexpr Vec2 kCrankCentre{0, 30};
constexpr Vec2 kBeamPivot{130, 165};
constexpr Vec2 kLargeWheelAt{10, 35};
constexpr Vec2 kSmallWheelAt{-134, -4.5};

// The crank pin, on the right hammer's arm, and the ends of the pitman rod.
// The rod swings and slides in its own frame as the rig runs; these ends are
// where it best follows the pin and the beam's guide.
constexpr double kCrankPinRadius = 37.8;
constexpr double kCrankPinAngle = -9.8;
constexpr Vec2 kRodBottom{34, 28};
constexpr Vec2 kRodTop{9, 187};

// The beam's guide block holds the rod's top end as it slides along the beam.
constexpr double kGuideLeft = -8, kGuideRight = 33, kGuideBottom = 173, kGuideTop = 199;

// The horse head: an arc about the beam pivot; the bridle hangs straight down
// from its face at x = kWellX.
constexpr double kHorseRadius = 75;
constexpr double kWellX = kBeamPivot.x + kHorseRadius;

// The storage tank the flow line runs to.
constexpr double kTankLeft = 266, kTankRight = 310, kTankTop = 40;

// Wheels.
constexpr double kSmallTip = 29, kSmallRoot = 25, kSmallRimIn = 20.5;
constexpr double kSmallBelt = 15;
constexpr double kLargeTip = 39, kLargeRoot = 35, kLargeRimIn = 30;
// The belt makes the small wheel turn 50/33 times as fast as the large one.
constexpr double kLargeBelt = kSmallBelt * 50.0 / 33.0;

constexpr double kSkidTop = kRigGround + 12;

// Planar texture coordinates over the whole rig, within 0..1 (the rig is
// drawn with a tiny black picture, so any will do).
void rig_uv(MeshBuilder& m) { m.set_planar_uv({-260, 300}, 1.0 / 600.0); }

// The two straight runs of an open belt around circles a (radius ra) and b (rb).
void belt(MeshBuilder& m, Vec2 a, double ra, Vec2 b, double rb, double width, double z0, double z1) {
  const Vec2 d = b - a;
  const double dist = length(d);
  const double base = std::atan2(d.y, d.x) * 180 / std::numbers::pi;
  const double phi = std::acos((ra - rb) / dist) * 180 / std::numbers::pi;
  for (double sign : {1.0, -1.0}) {
    const double ang = base + sign * phi;
    bar(m, a + polar(ra + width / 2, ang), b + polar(rb + width / 2, ang), width, z0, z1);
  }
  ring(m, a, ra, ra + width, 0, 360, z0, z1, 24);
  ring(m, b, rb, rb + width, 0, 360, z0, z1, 32);
}

MeshBuilder drill_body() {
  MeshBuilder m;
  rig_uv(m);
  const double g = kRigGround;
  // Truss skid along the ground, with a raised sled nose at the left.
  bar(m, {-164, g + 1.75}, {222, g + 1.75}, 3.5, -7, 7);
  bar(m, {-158, kSkidTop - 1.75}, {222, kSkidTop - 1.75}, 3.5, -7, 7);
  prism(m, {{-164, g}, {-158, g}, {-154, kSkidTop}, {-164, kSkidTop + 2}, {-172, kSkidTop + 6}, {-174, kSkidTop + 3}},
        -7, 7);
  for (double x = -158; x < 210; x += 18) {
    bar(m, {x, g + 3}, {x + 9, kSkidTop - 3}, 2.6, -6, 6);
    bar(m, {x + 9, kSkidTop - 3}, {x + 18, g + 3}, 2.6, -6, 6);
  }
  box(m, {218, g, -7}, {223, kSkidTop, 7});

  // Small wheel bearing stand.
  const Vec2 sw = kSmallWheelAt;
  bar(m, {sw.x - 20, kSkidTop}, sw, 6, -12, -9);
  bar(m, {sw.x + 20, kSkidTop}, sw, 6, -12, -9);
  disc(m, sw, 7, -12, 6, 16);
  box(m, {sw.x - 26, kSkidTop - 1, -12}, {sw.x + 26, kSkidTop + 3, 12});

  // Gear stand under the crank and the large wheel, with its bearing cap.
  bar(m, {-30, kSkidTop}, {2, 30}, 6, -14, -11);
  bar(m, {46, kSkidTop}, {9, 33}, 6, -14, -11);
  box(m, {-36, kSkidTop - 1, -14}, {52, kSkidTop + 4, 14});
  disc(m, {5, 32.5}, 11, -14, 16, 20);
  disc(m, {5, 32.5}, 6, 16, 18, 12);

  // Belt from the small wheel to the large one.
  belt(m, sw, kSmallBelt, kLargeWheelAt, kLargeBelt, 3.2, -9.5, -6.5);

  // Fuel tank on the skid under the belt, with its filler cap.
  rounded_bar(m, {-94, -24}, {-66, -24}, 16, -10, 6, 8);
  box(m, {-96, kSkidTop, -8}, {-92, -26, 4});
  box(m, {-68, kSkidTop, -8}, {-64, -26, 4});
  box(m, {-84, -16.5, -3}, {-78, -13, 3});

  // Samson post: an A-frame from the skid to the saddle bearing under the
  // beam pivot, with braces and a ladder.
  const Vec2 apex = kBeamPivot;
  const Vec2 foot_l{88, kSkidTop}, foot_r{172, kSkidTop};
  const Vec2 top_l{apex.x - 9, apex.y - 14}, top_r{apex.x + 9, apex.y - 14};
  bar(m, foot_l, top_l, 8, -8, 8);
  bar(m, foot_r, top_r, 8, -8, 8);
  auto leg_at = [](Vec2 a, Vec2 b, double y) {
    const double t = (y - a.y) / (b.y - a.y);
    return Vec2{a.x + (b.x - a.x) * t, y};
  };
  for (double y : {10.0, 62.0, 112.0}) bar(m, leg_at(foot_l, top_l, y), leg_at(foot_r, top_r, y), 4.5, -6, 6);
  bar(m, leg_at(foot_l, top_l, 10), leg_at(foot_r, top_r, 62), 3, -5, 5);
  bar(m, leg_at(foot_r, top_r, 62), leg_at(foot_l, top_l, 112), 3, -5, 5);
  bar(m, leg_at(foot_r, top_r, 10), leg_at(foot_l, top_l, 62), 3, -5, 5);
  // Ladder along the right leg, standing off it.
  const Vec2 ldir = (top_r - foot_r) * (1.0 / length(top_r - foot_r));
  const Vec2 lnorm{ldir.y, -ldir.x};  // points away from the post
  const Vec2 rail_a0 = foot_r + lnorm * 5, rail_b0 = foot_r + lnorm * 12;
  const double ladder_len = 146;
  bar(m, rail_a0, rail_a0 + ldir * ladder_len, 1.8, 8, 10);
  bar(m, rail_b0, rail_b0 + ldir * ladder_len, 1.8, 8, 10);
  for (double s = 9; s < ladder_len; s += 11) bar(m, rail_a0 + ldir * s, rail_b0 + ldir * s, 1.6, 8, 10);
  for (double s : {40.0, 90.0, 140.0}) bar(m, foot_r + ldir * s, rail_b0 + ldir * s, 2, 7, 9);
  // Saddle bearing housing.
  prism(m, {{apex.x - 16, apex.y - 18}, {apex.x + 16, apex.y - 18}, {apex.x + 10, apex.y - 4}, {apex.x - 10, apex.y - 4}},
        -9, 9);
  return m;
}

MeshBuilder hammer(bool right) {
  MeshBuilder m;
  rig_uv(m);
  const Vec2 c = kCrankCentre;
  const double dir = right ? kCrankPinAngle : kCrankPinAngle + 180;
  const double z0 = right ? 4 : -11, z1 = right ? 9 : -6;
  // Arm: tapers from the hub to the head.
  prism(m, {c + polar(10, dir - 90), c + polar(50, dir - 7), c + polar(50, dir + 7), c + polar(10, dir + 90)}, z0, z1);
  disc(m, c, 12, z0, z1, 20);
  // Hammer head: a block across the arm with bevelled striking faces.
  auto hp = [&](double r, double across) { return c + rotated(Vec2{r, across}, dir); };
  prism(m, {hp(47, -11), hp(49, -16), hp(60, -16), hp(62, -11), hp(62, 11), hp(60, 16), hp(49, 16), hp(47, 11)}, z0 - 1,
        z1 + 1);
  // Striking faces: thin plates proud of the head's sides.
  prism(m, {hp(48.5, -19), hp(60.5, -19), hp(60.5, -16), hp(48.5, -16)}, z0, z1);
  prism(m, {hp(48.5, 16), hp(60.5, 16), hp(60.5, 19), hp(48.5, 19)}, z0, z1);
  if (right) {
    // Crank pin boss for the pitman rod.
    const Vec2 pin = c + polar(kCrankPinRadius, kCrankPinAngle);
    disc(m, pin, 8, z0, z1 + 3, 16);
  } else {
    // A lightening hole would break the arm's outline; a stiffening rib adds to it.
    bar(m, c + polar(14, dir), c + polar(46, dir), 3, z0 - 1.5, z0);
  }
  return m;
}

MeshBuilder arm_connector() {
  MeshBuilder m;
  rig_uv(m);
  const double z0 = 9, z1 = 13;
  // Big end strap around the crank pin, small end in the beam's guide.
  disc(m, kRodBottom, 15, z0, z1, 24);
  disc(m, kRodTop, 8, z0, z1, 16);
  const Vec2 d = kRodTop - kRodBottom;
  const Vec2 n = Vec2{-d.y, d.x} * (1.0 / length(d));
  prism(m, {kRodBottom - n * 7, kRodTop - n * 4.5, kRodTop + n * 4.5, kRodBottom + n * 7}, z0, z1);
  // A turnbuckle-like collar partway up.
  const Vec2 collar = kRodBottom + d * 0.32;
  bar(m, collar - d * 0.04, collar + d * 0.04, 14, z0 - 0.5, z1 + 0.5);
  return m;
}

MeshBuilder drill_head() {
  MeshBuilder m;
  rig_uv(m);
  const Vec2 p = kBeamPivot;
  // Walking beam sitting on the pivot, with a king-post truss under its rear
  // arm and the equaliser guide at the rear end.
  const double beam_lo = 172, beam_hi = 186;
  prism(m, {{kGuideLeft + 4, beam_lo}, {p.x + 60, beam_lo}, {p.x + 60, beam_hi}, {kGuideLeft + 4, beam_hi}}, -6, 6);
  prism(m, {{kGuideLeft, kGuideBottom}, {kGuideRight, kGuideBottom}, {kGuideRight + 4, kGuideTop - 4},
            {kGuideRight, kGuideTop}, {kGuideLeft, kGuideTop}, {kGuideLeft - 4, kGuideTop - 4}},
        -13, 13);
  const Vec2 kp{62, 140};
  bar(m, {62, beam_lo}, kp, 6, -4, 4);
  bar(m, {kGuideRight, kGuideBottom + 2}, kp, 3.5, -4, 4);
  bar(m, {p.x - 14, beam_lo}, kp, 3.5, -4, 4);
  // Bearing hub at the pivot, hanging under the beam.
  prism(m, {{p.x - 14, beam_lo + 1}, {p.x + 14, beam_lo + 1}, {p.x + 10, p.y - 6}, {p.x - 10, p.y - 6}}, -8, 8);
  disc(m, p, 9, -9, 9, 16);
  // Horse head: an arc plate about the pivot, braced back to the beam.
  const double r_out = kHorseRadius + 5, r_in = kHorseRadius - 24;
  ring(m, p, r_in, r_out, -42, 42, -7, 7, 24);
  ring(m, p, r_in - 6, r_in, -30, 32, -5, 5, 16);
  bar(m, p + polar(r_in - 3, -28), {p.x + 40, beam_lo}, 7, -5, 5);
  // Lip at the bottom of the arc, where the bridle leaves it.
  prism(m, {p + polar(r_in, -42), p + polar(r_out + 2, -42), p + polar(r_out + 2, -45), p + polar(r_in + 6, -46)}, -7,
        7);
  return m;
}

MeshBuilder wheel(bool large) {
  MeshBuilder m;
  rig_uv(m);
  const Vec2 o{0, 0};
  if (large) {
    gear(m, o, kLargeRimIn, kLargeRoot, kLargeTip, 20, 0, -4, 4);
    spokes(m, o, 9, kLargeRimIn + 1, 6, 6, 15, -3, 3);
    disc(m, o, 11, -5, 5, 20);
    ring(m, o, kLargeBelt - 3.5, kLargeBelt + 0.5, 0, 360, -9, -4, 32);
    // Two bolt bosses on the rim make the turning easy to follow.
    disc(m, polar(kLargeRimIn - 2, 45), 4, -4, 5, 10);
    disc(m, polar(kLargeRimIn - 2, 225), 4, -4, 5, 10);
  } else {
    gear(m, o, kSmallRimIn, kSmallRoot, kSmallTip, 12, 0, -3, 3);
    // Curved spokes: three straight segments each.
    for (int i = 0; i < 5; ++i) {
      const double a = 72.0 * i;
      const Vec2 p0 = polar(5, a), p1 = polar(11, a + 12), p2 = polar(kSmallRimIn + 1, a + 30);
      bar(m, p0, p1, 4.5, -2.5, 2.5);
      bar(m, p1, p2, 4.5, -2.5, 2.5);
      disc(m, p1, 2.25, -2.5, 2.5, 8);
    }
    disc(m, o, 7, -4, 4, 16);
    ring(m, o, kSmallBelt - 3.5, kSmallBelt + 0.5, 0, 360, -9, -3, 24);
  }
  return m;
}

MeshBuilder pipe_lo() {
  MeshBuilder m;
  rig_uv(m);
  const double x = kWellX, g = kRigGround;
  // Wellhead: base flange on the skid, casing, tee with a flow line and its
  // valve wheel, then the stuffing box the polished rod runs through.
  box(m, {x - 16, kSkidTop, -9}, {x + 16, kSkidTop + 5, 9});
  // The casing and its flanges up to the stuffing box, turned as one piece:
  // (radius, height) from the ground up.
  std::vector<Vec2> turned = {{0, g}, {7, g}, {7, -20}, {11, -20}, {11, -16}, {7, -16}, {7, 0},
                              {11, 0}, {11, 4}, {7, 4}, {7, 20}, {11, 20}, {11, 24}, {7, 24},
                              {5.5, 27}, {4.5, 36}, {3.5, 36}, {3.5, 39}, {0, 39}};
  lathe(m, {x, 0, 0}, {0, 1, 0}, turned, 14, 0, 1);
  // Flow line out to the right with its valve and hand wheel, down to the
  // ground and along it to the storage tank.
  cylinder(m, {x, -8, 0}, {x + 26, -8, 0}, 4, 4, 10);
  cylinder(m, {x + 26, -8, 0}, {x + 26, -28, 0}, 4, 4, 10);
  torus(m, {x + 26, -8, 0}, {0, 0, 1}, 2, 2, 8, 6);
  cylinder(m, {x + 26, -28, 0}, {kTankLeft + 2, -28, 0}, 4, 4, 10);
  box(m, {x + 11, -14, -5}, {x + 17, -2, 5});
  cylinder(m, {x + 14, -2, 0}, {x + 14, 6, 0}, 1.5, 1.5, 8);
  torus(m, {x + 14, 7, 0}, {0, 1, 0}, 6, 1.3, 16, 6);
  for (double px : {x + 36, kTankLeft - 8}) box(m, {px - 2, g, -3}, {px + 2, -31, 3});  // pipe stands
  box(m, {x + 40, -35, -5}, {x + 46, -21, 5});                                         // check valve

  // Storage tank: banded shell, low cone roof with a vent, a ladder up the
  // right side and a railing round the roof.
  const double l = kTankLeft, r = kTankRight, top = kTankTop;
  box(m, {l - 3, g, -10}, {r + 3, g + 4, 10});
  box(m, {l, g + 4, -8}, {r, top, 8});
  for (double y = g + 20; y < top - 4; y += 18) box(m, {l - 1.2, y, -9}, {r + 1.2, y + 2, 9});
  prism(m, {{l - 2, top}, {r + 2, top}, {r - 6, top + 4}, {(l + r) / 2, top + 9}, {l + 6, top + 4}}, -8, 8);
  box(m, {(l + r) / 2 - 2, top + 8, -2}, {(l + r) / 2 + 2, top + 14, 2});
  box(m, {(l + r) / 2 - 4, top + 14, -4}, {(l + r) / 2 + 4, top + 16, 4});
  const double rail = top + 9;
  bar(m, {l + 4, rail}, {r + 8, rail}, 1.4, 8, 10);
  for (double px = l + 4; px <= r + 8; px += 11) bar(m, {px, top + 1}, {px, rail}, 1.4, 8, 10);
  // Ladder.
  bar(m, {r + 4, g + 4}, {r + 4, rail}, 1.6, 8, 10);
  bar(m, {r + 10, g + 4}, {r + 10, rail}, 1.6, 8, 10);
  for (double y = g + 10; y < rail; y += 7) bar(m, {r + 4, y}, {r + 10, y}, 1.3, 8, 10);
  for (double y : {g + 30.0, top - 10}) bar(m, {r, y}, {r + 4, y}, 2, 8, 10);
  return m;
}

MeshBuilder pipe_hi() {
  MeshBuilder m;
  rig_uv(m);
  const double x = kWellX;
  // Polished rod, the clamp and carrier bar, and the bridle up into the
  // horse head. The rod's foot stays inside the stuffing box and the bridle's
  // top inside the horse head over the whole stroke.
  cylinder(m, {x, 12, 0}, {x, 112, 0}, 2.4, 2.4, 10);
  box(m, {x - 4.5, 104, -4.5}, {x + 4.5, 112, 4.5});
  box(m, {x - 13, 112, -6}, {x + 13, 118, 6});
  for (double z : {-4.0, 4.0}) cylinder(m, {x, 118, z}, {x, 180, z}, 1.2, 1.2, 8);
  box(m, {x - 3, 118, -5}, {x + 3, 124, 5});
  return m;
}

}  // namespace

std::vector<NamedMesh> build_rig() {
  std::vector<NamedMesh> out;
  out.push_back({"pipe_hi.obj", "velmora rig: polished rod and bridle", pipe_hi()});
  out.push_back({"pipe_lo.obj", "velmora rig: wellhead", pipe_lo()});
  out.push_back({"drill_arm_connector.obj", "velmora rig: pitman rod", arm_connector()});
  out.push_back({"drill_body.obj", "velmora rig: skid, stands, belt and post", drill_body()});
  out.push_back({"hammer_left.obj", "velmora rig: left hammer", hammer(false)});
  out.push_back({"hammer_right.obj", "velmora rig: right hammer and crank pin", hammer(true)});
  out.push_back({"drill_head.obj", "velmora rig: walking beam and horse head", drill_head()});
  out.push_back({"wheel_small.obj", "velmora rig: small wheel", wheel(false)});
  out.push_back({"wheel_large.obj", "velmora rig: large gear wheel", wheel(true)});
  return out;
}

}  // namespace assetgen::mesh
