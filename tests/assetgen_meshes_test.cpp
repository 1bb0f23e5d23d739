// The generated meshes, read back with a parser of our own that applies the
// show's loader rules strictly: format, placement, how the rig's moving parts
// stay joined while it runs, texture layouts, and repeatable output.
// The generated meshes as the show's own loader reads them from the bundle:
// exactly the triangles the generator built, the same on every run, small;
// the rig's moving parts modelled about the points the show turns them
// about; placement and texture layouts. The rig in motion is checked on the
// show's frames (drill_opening_test).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

#include "assets/mesh.h"
#include "cube_scene_layout.h"
#include "meshes.h"
#include "meshes_models.h"
#include "platform/bundle.h"
#include "support/fixture_bundle.h"

namespace fs = std::filesystem;

namespace {

using namespace assetgen::cube_scene;

struct P3 {
  double x, y, z;
};
struct Vertex {
  P3 pos;       // as loaded
  double s, t;  // texture coordinate
};

// A bundle mesh as the show loads it: three vertices a triangle.
std::vector<Vertex> load(const std::string& name) {
  platform::setBundlePath(VELMORA_BUNDLE_DIR);
  Mesh m;
  ::testing::internal::CaptureStdout();
  m.Load(name);
  ::testing::internal::GetCapturedStdout();
  std::vector<Vertex> v;
  for (const float* f = m.vertices; f != m.vertices + 9 * m.vertexCount; f += 9) v.push_back({{f[0], f[1], f[2]}, f[6], f[7]});
  return v;
}

using fixture::read_file;

struct Box {
  double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
  void add(P3 p) {
    const double c[3] = {p.x, p.y, p.z};
    for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
  }
};
Box bounds(const std::vector<Vertex>& m) {
  Box b;
  for (const auto& v : m) b.add(v.pos);
  return b;
}

// ---- Files -------------------------------------------------------------------

// Written again, every file is the bundle's byte for byte, and the show's
// loader reads back from it exactly the triangles the generator built (every
// position where the generator meant it to land): nothing in a file trips
// the loader's rules. The loader grows its arrays one record at a time:
// every mesh stays small.
TEST(MeshFiles, TheLoaderReadsBackWhatWasBuiltTheSameOnEveryRun) {
  const fs::path dir = fs::temp_directory_path() / ("velmora-meshes-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  assetgen::write_meshes(dir);
  const auto built = assetgen::mesh::build_all_meshes();
  EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator())), built.size());
  for (const auto& [name, comment, mesh] : built) {
    SCOPED_TRACE(name);
    const std::string text = read_file(dir / name);
    EXPECT_EQ(text, read_file(fs::path(VELMORA_BUNDLE_DIR) / name));
    EXPECT_LE(text.size(), 400u * 1024);
    const auto loaded = load(name);
    ASSERT_EQ(loaded.size(), 3 * mesh.triangle_count());
    ASSERT_GT(loaded.size(), 0u);
    EXPECT_LE(loaded.size(), 3 * 5000u);
    for (std::size_t i = 0; i < loaded.size(); ++i) {
      const auto& p = mesh.positions()[static_cast<std::size_t>(mesh.triangles()[i / 3][i % 3].p)];
      ASSERT_LT(std::fabs(loaded[i].pos.x - p.x) + std::fabs(loaded[i].pos.y - p.y) + std::fabs(loaded[i].pos.z - p.z),
                3e-3)
          << "vertex " << i;
    }
  }
  fs::remove_all(dir);
}

// ---- The drill rig -----------------------------------------------------------

// Hammers and head cover the points the show turns them about; the wheels
// are modelled around their own origins, hub included, so that they turn in
// place. A thin slab: depth differences would shift the joints in
// perspective.
TEST(Rig, MovingPartsSitAroundTheirPivotsInAThinSlab) {
  auto covers = [](const std::vector<Vertex>& m, double x, double y) {
    auto side = [&](P3 p, P3 q) { return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x); };
    for (std::size_t i = 0; i + 2 < m.size(); i += 3) {
      const double a = side(m[i].pos, m[i + 1].pos), b = side(m[i + 1].pos, m[i + 2].pos), c = side(m[i + 2].pos, m[i].pos);
      if ((a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0)) return true;
    }
    return false;
  };
  for (auto [file, x, y] : {std::tuple{"hammer_left.obj", 0, 30}, {"hammer_right.obj", 0, 30}, {"drill_head.obj", 130, 165},
                            {"wheel_large.obj", 0, 0}, {"wheel_small.obj", 0, 0}})
    EXPECT_TRUE(covers(load(file), x, y)) << file;
  for (const char* file : {"wheel_large.obj", "wheel_small.obj"}) {
    const Box b = bounds(load(file));
    EXPECT_NEAR((b.lo[0] + b.hi[0]) / 2, 0, 1.0) << file;
    EXPECT_NEAR((b.lo[1] + b.hi[1]) / 2, 0, 1.0) << file;
  }
  for (const auto& [name, comment, mesh] : assetgen::mesh::build_rig()) {
    const Box b = bounds(load(name));
    EXPECT_TRUE(b.lo[2] >= -20 && b.hi[2] <= 20) << name;
  }
}

// ---- The creature ------------------------------------------------------------

// About +-100 units long with the head at +x. s runs evenly from the tail
// (0) to the head (1); t once around: the back at 0, the +z flank at a
// quarter, the belly at a half.
TEST(Meshes, CreatureSizeHeadAndTexture) {
  const auto m = load("murel.obj");
  const Box b = bounds(m);
  EXPECT_GE(b.lo[0], -102);
  EXPECT_LE(b.hi[0], 102);
  EXPECT_GT(b.hi[0] - b.lo[0], 190);
  auto girth_near = [&](double x0) {
    double d = 0;
    for (const auto& v : m)
      if (std::fabs(v.pos.x - x0) < 4) d = std::max(d, std::fabs(v.pos.z));
    return d;
  };
  EXPECT_GT(girth_near(70), 2 * girth_near(-70));
  double n = 0, sx = 0, ss = 0, sxx = 0, sxs = 0;
  for (const auto& v : m)
    if (v.s > 0.05 && v.s < 0.95) n += 1, sx += v.pos.x, ss += v.s, sxx += v.pos.x * v.pos.x, sxs += v.pos.x * v.s;
  const double slope = (n * sxs - sx * ss) / (n * sxx - sx * sx), offset = (ss - slope * sx) / n;
  EXPECT_NEAR(slope * 200, 1, 0.06);
  for (const auto& v : m) {
    ASSERT_TRUE(v.s >= 0 && v.s <= 1 && v.t >= 0 && v.t <= 1);
    EXPECT_TRUE(v.s <= 0.05 || v.s >= 0.95 || std::fabs(v.s - (slope * v.pos.x + offset)) < 0.005) << v.pos.x;
    EXPECT_TRUE(v.s > 0 || v.pos.x < -90);
    EXPECT_TRUE(v.pos.x < b.hi[0] || v.s > 0.999);
    // Near the four lines around the body, between the tail fin and the head.
    if (v.pos.x > 60 || v.pos.x < -88 || std::hypot(v.pos.y, v.pos.z) < 4) continue;
    const double turn = std::atan2(v.pos.z, v.pos.y) / (2 * std::numbers::pi);  // 0 at the back, 0.25 at +z
    const double line = std::round(turn * 4) / 4, off = std::remainder(v.t - line, 1.0);
    EXPECT_TRUE(std::fabs(turn - line) > 0.05 || std::fabs(off) < 0.1) << "t " << v.t << " at turn " << turn;
  }
}

// ---- Scene 4 --------------------------------------------------------------------

// On the axis the camera looks along, twelve units a side; every triangle
// spans half the texture, so that each face carries the whole of it.
TEST(Meshes, CubeFloatsOnTheTurningAxisWithTheWholeTextureOnEachFace) {
  const auto m = load("treetrunk_cube.obj");
  ASSERT_EQ(m.size(), 36u);
  const Box b = bounds(m);
  const double centre[3] = {kCubeX, 0, 0};
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(b.lo[k], centre[k] - kCubeHalf, 1e-3) << k;
    EXPECT_NEAR(b.hi[k], centre[k] + kCubeHalf, 1e-3) << k;
  }
  for (std::size_t i = 0; i < m.size(); i += 3) {
    const Vertex *a = &m[i], *b1 = a + 1, *c = a + 2;
    for (const Vertex* v : {a, b1, c}) EXPECT_TRUE((v->s == 0 || v->s == 1) && (v->t == 0 || v->t == 1));
    EXPECT_NE((b1->s - a->s) * (c->t - a->t) - (c->s - a->s) * (b1->t - a->t), 0) << "triangle " << i / 3;
  }
  // Whole in the frame when the camera is closest, 20 units from the axis,
  // however far the world has turned: the frustum spans x/-z within 1 and
  // y/-z within 1.5.
  for (int degrees = 0; degrees < 360; degrees += 5) {
    const double a = degrees * std::numbers::pi / 180;
    for (const auto& v : m) {
      const double y = v.pos.y * std::cos(a) - v.pos.z * std::sin(a), z = v.pos.y * std::sin(a) + v.pos.z * std::cos(a);
      const double depth = 20 - z;
      EXPECT_LT(std::fabs(v.pos.x - kCubeX) / depth, 0.9) << degrees;
      EXPECT_LT(std::fabs(y) / depth, 1.4) << degrees;
    }
  }
}

bool inside_cube(const Vertex& v, double margin) {
  return std::fabs(v.pos.x - kCubeX) < kCubeHalf + margin && std::fabs(v.pos.y) < kCubeHalf + margin &&
         std::fabs(v.pos.z) < kCubeHalf + margin;
}

// Rooted in the ground beside the cube and rising out of the first frame
// (its top edge is 50 units above the cube), clear of the cube and, at the
// camera's height, well inside its closing circle (20 units from the axis),
// t = 0 at its top and 1 at its foot.
TEST(Meshes, TrunkStandsBesideTheCubeClearOfTheCamera) {
  const auto m = load("treetrunk.obj");
  const Box b = bounds(m);
  EXPECT_LE(b.lo[0], kGroundX);
  EXPECT_GT(b.hi[0], kCubeX + 50);
  double top_t = 1, bottom_t = 0, nearest = 1e9;
  for (const auto& v : m) {
    EXPECT_FALSE(inside_cube(v, 0.5)) << "inside the cube";
    if (std::fabs(v.pos.x - kCubeX) < 6) nearest = std::min(nearest, 20 - std::hypot(v.pos.y, v.pos.z));
    ASSERT_TRUE(v.s >= 0 && v.s <= 1);
    if (v.pos.x == b.hi[0]) top_t = std::min(top_t, v.t);
    if (v.pos.x == b.lo[0]) bottom_t = std::max(bottom_t, v.t);
  }
  EXPECT_GT(nearest, 4) << "in the camera's way";
  EXPECT_NEAR(top_t, 0, 1e-3);
  EXPECT_NEAR(bottom_t, 1, 1e-3);
}

// The ground lies below the cube, a disc about the turning axis. Every vertex
// carries the planar map of its root on the ground: s = (y + R) / 2R,
// t = (z + R) / 2R, with R the patch's radius; blades stand up from their root
// and none reaches the cube.
TEST(Meshes, GrassMapsTheGroundUnderTheCube) {
  const auto m = load("grass.obj");
  const double ground = bounds(m).lo[0];
  EXPECT_EQ(ground, kGroundX);
  double R = 0;
  for (const auto& v : m)
    if (v.pos.x == ground) R = std::max(R, std::hypot(v.pos.y, v.pos.z));
  EXPECT_NEAR(R, kPatchRadius, 1e-3);
  std::size_t blades = 0;
  for (std::size_t i = 0; i < m.size(); i += 3) {
    const Vertex* tri = &m[i];
    const bool flat = tri[0].pos.x == ground && tri[1].pos.x == ground && tri[2].pos.x == ground;
    blades += !flat;
    for (int k = 0; k < 3; ++k) {
      const Vertex& v = tri[k];
      // A blade's corners share its root's coordinate; the ground's are its own.
      const double ry = (flat ? v : tri[0]).s * 2 * R - R, rz = (flat ? v : tri[0]).t * 2 * R - R;
      EXPECT_TRUE(v.s == tri[0].s || flat) << "blade corners differ at " << i;
      EXPECT_TRUE(v.t == tri[0].t || flat) << "blade corners differ at " << i;
      EXPECT_LE(std::hypot(ry, rz), R + 0.02) << "root outside the patch";
      EXPECT_LT(std::hypot(v.pos.y - ry, v.pos.z - rz), flat ? 3e-4 * 2 * R : 6) << "at " << i;
      EXPECT_TRUE(v.pos.x >= ground && v.pos.x < kCubeX - kCubeHalf - 1) << "reaches the cube at " << i;
    }
  }
  EXPECT_GT(blades, 600u);
}

}  // namespace
