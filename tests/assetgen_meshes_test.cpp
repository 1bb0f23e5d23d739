// The generated meshes, read back with a parser of our own that applies the
// show's loader rules strictly: format, placement, how the rig's moving parts
// stay joined while it runs, texture layouts, and repeatable output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cube_scene_layout.h"
#include "meshes.h"

namespace fs = std::filesystem;

namespace {

using namespace assetgen::cube_scene;

const std::vector<std::string> kMeshFiles = {
    "pipe_hi.obj",      "pipe_lo.obj",    "drill_arm_connector.obj", "drill_body.obj",  "hammer_left.obj",
    "hammer_right.obj", "drill_head.obj", "wheel_small.obj",         "wheel_large.obj", "murel.obj",
    "treetrunk_cube.obj", "treetrunk.obj", "grass.obj"};

struct P3 {
  double x, y, z;
};
struct Vertex {
  P3 pos;       // as loaded
  double s, t;  // texture coordinate
};
struct Mesh {
  std::vector<Vertex> v;  // three per triangle
};

// Reads a mesh by the loader's rules; the first breach goes to `error`. The
// loader turns the file's (x, y, z) into (z, y, -x).
Mesh parse(const std::string& text, std::string& error) {
  std::istringstream in(text);
  auto fail = [&](const std::string& why) {
    if (error.empty()) error = why;
  };
  auto number = [&](const std::string& record) {
    std::string w;
    char* end = nullptr;
    const double x = in >> w ? std::strtod(w.c_str(), &end) : 0;
    if (w.empty() || end != w.c_str() + w.size() || !std::isfinite(x)) fail("'" + record + "' without three numbers");
    return x;
  };
  const std::regex corner("([1-9][0-9]*)/([1-9][0-9]*)/([1-9][0-9]*)");
  std::vector<P3> pos;
  std::vector<std::array<double, 2>> uv;
  std::size_t normals = 0;
  std::vector<std::array<std::size_t, 3>> corners;
  for (std::string w; in >> w;) {
    if (w == "v" || w == "vt" || w == "vn") {
      const double a = number(w), b = number(w), c = number(w);
      if (w == "v" && (!uv.empty() || normals > 0)) fail("position after a texture coordinate or normal");
      if (w == "v") pos.push_back({c, b, -a});
      if (w == "vt") uv.push_back({a, b});
      normals += w == "vn";
    } else if (w == "f") {
      for (int k = 0; k < 3; ++k) {
        std::string c;
        std::smatch m;
        if (!(in >> c) || !std::regex_match(c, m, corner)) fail("face corner not plain i/j/k: " + c);
        else corners.push_back({std::stoul(m[1].str()), std::stoul(m[2].str()), std::stoul(m[3].str())});
      }
    } else if ((w[0] == 'v' && w.rfind("ve", 0) != 0) || (w[0] == 'f' && w.rfind("faces", 0) != 0)) {
      fail("stray word read as a record: " + w);
    }
  }
  Mesh m;
  for (const auto& [p, t, n] : corners) {
    if (p > pos.size() || t > uv.size() || n > normals) fail("face index out of range");
    else m.v.push_back({pos[p - 1], uv[t - 1][0], uv[t - 1][1]});
  }
  return m;
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct Box {
  double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
  void add(P3 p) {
    const double c[3] = {p.x, p.y, p.z};
    for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
  }
};
Box bounds(const Mesh& m) {
  Box b;
  for (const auto& v : m.v) b.add(v.pos);
  return b;
}

class MeshFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("velmora-meshes-test-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "a");
    assetgen::write_meshes(dir_ / "a");
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  static Mesh load(const std::string& name) {
    std::string error;
    Mesh m = parse(read_file(dir_ / "a" / name), error);
    EXPECT_EQ(error, "") << name;
    return m;
  }

  static inline fs::path dir_;
};

// ---- Format ------------------------------------------------------------------

TEST_F(MeshFiles, EveryFileFollowsTheLoaderRulesAndIsTheSameOnEveryRun) {
  std::set<std::string> written;
  for (const auto& e : fs::directory_iterator(dir_ / "a")) written.insert(e.path().filename().string());
  EXPECT_EQ(written, std::set<std::string>(kMeshFiles.begin(), kMeshFiles.end()));
  fs::create_directories(dir_ / "b");
  assetgen::write_meshes(dir_ / "b");
  for (const auto& name : kMeshFiles) {
    SCOPED_TRACE(name);
    const std::string text = read_file(dir_ / "a" / name);
    EXPECT_EQ(text, read_file(dir_ / "b" / name));
    const Mesh m = load(name);
    EXPECT_GT(m.v.size(), 0u);
    // The loader grows its arrays one record at a time: keep every mesh small.
    EXPECT_LE(m.v.size(), 3 * 5000u);
    EXPECT_LE(text.size(), 400u * 1024);
  }
}

// ---- The drill rig -----------------------------------------------------------

enum Part { kBody, kHammerL, kHammerR, kConnector, kHead, kWheelL, kWheelS, kPipeLo, kPipeHi, kParts };
const char* const kPartFile[kParts] = {"drill_body.obj",  "hammer_left.obj", "hammer_right.obj",
                                       "drill_arm_connector.obj", "drill_head.obj", "wheel_large.obj",
                                       "wheel_small.obj", "pipe_lo.obj",     "pipe_hi.obj"};

// Where the rig model puts a point of a part at drill time x, in rig coordinates.
P3 place(Part part, double x, P3 p) {
  const double pi = std::numbers::pi;
  auto turn = [&](double degrees, double cx, double cy) {
    const double r = degrees * pi / 180, dx = p.x - cx, dy = p.y - cy;
    p = {cx + dx * std::cos(r) - dy * std::sin(r), cy + dx * std::sin(r) + dy * std::cos(r), p.z};
  };
  auto shift = [&](double dx, double dy) { p = {p.x + dx, p.y + dy, p.z}; };
  if (part == kHammerL || part == kHammerR) turn(360 * x, 0, 30);
  if (part == kConnector) {
    shift(-5 * std::cos(4 * pi * x), 40 * std::sin(2 * pi * x));
    turn(15 * std::cos(2 * pi * x) - 15, 5, 165);
  }
  if (part == kHead) turn(20 * std::sin(-2 * pi * x), 130, 165);
  if (part == kWheelL) turn(360 * x, 0, 0), shift(10, 35);
  if (part == kWheelS) turn(545.454 * x, 0, 0), shift(-134, -4.5);
  if (part == kPipeHi) shift(0, -10 * std::sin(3 * x) - 5);
  return p;
}

// What the rig's parts cover of its plane, one cell per rig unit and one bit
// per part.
class Grid {
 public:
  static constexpr int kX0 = -260, kY0 = -120, kW = 620, kH = 460;
  // At drill time x, or as modelled.
  void fill(const Mesh& m, Part part, std::optional<double> x = {}) {
    auto t = [&](P3 p) { return x ? place(part, *x, p) : p; };
    auto side = [](P3 p, P3 q, double px, double py) { return (q.x - p.x) * (py - p.y) - (q.y - p.y) * (px - p.x); };
    for (std::size_t i = 0; i + 2 < m.v.size(); i += 3) {
      const P3 a = t(m.v[i].pos), b = t(m.v[i + 1].pos), c = t(m.v[i + 2].pos);
      const int x0 = std::max(0, int(std::floor(std::min({a.x, b.x, c.x}))) - kX0);
      const int x1 = std::min(kW - 1, int(std::ceil(std::max({a.x, b.x, c.x}))) - kX0);
      const int y0 = std::max(0, int(std::floor(std::min({a.y, b.y, c.y}))) - kY0);
      const int y1 = std::min(kH - 1, int(std::ceil(std::max({a.y, b.y, c.y}))) - kY0);
      for (int gy = y0; gy <= y1; ++gy)
        for (int gx = x0; gx <= x1; ++gx) {
          const double px = gx + kX0 + 0.5, py = gy + kY0 + 0.5;
          const double w0 = side(a, b, px, py), w1 = side(b, c, px, py), w2 = side(c, a, px, py);
          if ((w0 >= 0 && w1 >= 0 && w2 >= 0) || (w0 <= 0 && w1 <= 0 && w2 <= 0)) cells_[gy * kW + gx] |= 1 << part;
        }
    }
  }
  bool at(double x, double y, unsigned parts) const {
    const int gx = int(std::floor(x)) - kX0, gy = int(std::floor(y)) - kY0;
    return gx >= 0 && gy >= 0 && gx < kW && gy < kH && (cells_[gy * kW + gx] & parts);
  }
  int overlap(unsigned a, unsigned b) const {
    return static_cast<int>(std::count_if(cells_.begin(), cells_.end(), [&](unsigned c) { return (c & a) && (c & b); }));
  }
  int pieces() const {  // 8-connected, of everything drawn
    std::vector<char> seen(cells_.size(), 0);
    int count = 0;
    for (int start = 0; start < kW * kH; ++start) {
      if (!cells_[start] || seen[start]) continue;
      ++count;
      std::vector<int> stack{start};
      seen[start] = 1;
      while (!stack.empty()) {
        const int i = stack.back(), x = i % kW, y = i / kW;
        stack.pop_back();
        for (int ny = std::max(0, y - 1); ny <= std::min(kH - 1, y + 1); ++ny)
          for (int nx = std::max(0, x - 1); nx <= std::min(kW - 1, x + 1); ++nx)
            if (const int j = ny * kW + nx; cells_[j] && !seen[j]) seen[j] = 1, stack.push_back(j);
      }
    }
    return count;
  }

 private:
  std::vector<std::uint16_t> cells_ = std::vector<std::uint16_t>(kW * kH, 0);
};
constexpr unsigned bit(Part p) { return 1u << p; }

class Rig : public MeshFiles {
 protected:
  void SetUp() override {
    for (int p = 0; p < kParts; ++p) parts_[p] = load(kPartFile[p]);
  }
  Mesh parts_[kParts];
};

// Hammers and head cover the points they turn about; the wheels are modelled
// around their own origins, hub included, so that they turn in place.
TEST_F(Rig, MovingPartsSitAroundTheirPivots) {
  Grid g;
  for (auto [part, x, y] : {std::tuple{kHammerL, 0, 30}, {kHammerR, 0, 30}, {kHead, 130, 165}, {kWheelL, 0, 0},
                            {kWheelS, 0, 0}}) {
    g.fill(parts_[part], part);
    EXPECT_TRUE(g.at(x, y, bit(part))) << kPartFile[part];
  }
  for (Part p : {kWheelL, kWheelS}) {
    const Box b = bounds(parts_[p]);
    EXPECT_NEAR((b.lo[0] + b.hi[0]) / 2, 0, 1.0) << kPartFile[p];
    EXPECT_NEAR((b.lo[1] + b.hi[1]) / 2, 0, 1.0) << kPartFile[p];
  }
}

// Runs the rig through three turns (the pipe's stroke has its own period)
// and checks that nothing comes apart: the silhouette stays one piece, the
// rod keeps hold of the crank and the beam, the bridle's top stays inside the
// horse head and the polished rod's foot inside the wellhead.
TEST_F(Rig, PartsStayJoinedWhileTheRigRuns) {
  const unsigned fixed = bit(kBody) | bit(kPipeLo);
  double hi_top = -1e9, hi_bottom = 1e9;
  for (const auto& v : parts_[kPipeHi].v) hi_top = std::max(hi_top, v.pos.y), hi_bottom = std::min(hi_bottom, v.pos.y);
  for (int step = 0; step <= 3 * 48; ++step) {
    const double x = step / 48.0;
    SCOPED_TRACE("drill time " + std::to_string(x));
    Grid g;
    for (int p = 0; p < kParts; ++p) g.fill(parts_[p], Part(p), x);
    EXPECT_GE(g.overlap(bit(kConnector), bit(kHammerR)), 40);
    EXPECT_GE(g.overlap(bit(kConnector), bit(kHead)), 40);
    for (Part p : {kHammerL, kWheelL, kWheelS}) EXPECT_GE(g.overlap(bit(p), fixed), 10) << kPartFile[p];
    for (const auto& v : parts_[kPipeHi].v) {
      const P3 p = place(kPipeHi, x, v.pos);
      EXPECT_TRUE(v.pos.y < hi_top - 0.5 || g.at(p.x, p.y, bit(kHead))) << "bridle top outside the horse head";
      EXPECT_TRUE(v.pos.y > hi_bottom + 0.5 || g.at(p.x, p.y, bit(kPipeLo))) << "rod foot outside the wellhead";
    }
    EXPECT_EQ(g.pieces(), 1);
    if (HasFailure()) break;
  }
}

// Running, the rig stays on screen and fills a good part of the view's height,
// its skid on the backdrop's ground line and nothing that moves below it: the
// rig's placement (rotate -90 about z, translate (-150, -100, -300)) and the
// show's frustum, with the window turned a quarter turn.
TEST_F(Rig, StandsOnTheGroundInTheFrameWhileRunning) {
  Box rest, moving, screen;
  for (int p = 0; p < kParts; ++p)
    for (const auto& v : parts_[p].v) rest.add(place(Part(p), 0, v.pos));
  EXPECT_NEAR(rest.lo[1], -46, 0.5);
  // A thin slab: depth differences would shift the joints in perspective.
  EXPECT_TRUE(rest.lo[2] >= -20 && rest.hi[2] <= 20);
  for (int step = 0; step < 40; ++step)
    for (int p = 0; p < kParts; ++p)
      for (const auto& v : parts_[p].v) {
        const P3 r = place(Part(p), step / 40.0 * 2.2, v.pos);
        if (p != kBody && p != kPipeLo) moving.add(r);
        const double xe = r.y - 100, ye = 150 - r.x, ze = r.z - 300;  // eye coordinates
        screen.add({480 - (ye / -ze / 1.5 + 1) * 240, 320 - (xe / -ze + 1) * 160, 0});
      }
  EXPECT_GT(moving.lo[1], rest.lo[1] + 5);
  EXPECT_TRUE(screen.lo[0] > 20 && screen.hi[0] < 460 && screen.lo[1] > 20 && screen.hi[1] < 300)
      << screen.lo[0] << ".." << screen.hi[0] << " by " << screen.lo[1] << ".." << screen.hi[1];
  EXPECT_GT(screen.hi[1] - screen.lo[1], 130);
}

// ---- The creature ------------------------------------------------------------

// About +-100 units long with the head at +x. s runs evenly from the tail
// (0) to the head (1); t once around: the back at 0, the +z flank at a
// quarter, the belly at a half.
TEST_F(MeshFiles, CreatureSizeHeadAndTexture) {
  const Mesh m = load("murel.obj");
  const Box b = bounds(m);
  EXPECT_GE(b.lo[0], -102);
  EXPECT_LE(b.hi[0], 102);
  EXPECT_GT(b.hi[0] - b.lo[0], 190);
  auto girth_near = [&](double x0) {
    double d = 0;
    for (const auto& v : m.v)
      if (std::fabs(v.pos.x - x0) < 4) d = std::max(d, std::fabs(v.pos.z));
    return d;
  };
  EXPECT_GT(girth_near(70), 2 * girth_near(-70));
  double n = 0, sx = 0, ss = 0, sxx = 0, sxs = 0;
  for (const auto& v : m.v)
    if (v.s > 0.05 && v.s < 0.95) n += 1, sx += v.pos.x, ss += v.s, sxx += v.pos.x * v.pos.x, sxs += v.pos.x * v.s;
  const double slope = (n * sxs - sx * ss) / (n * sxx - sx * sx), offset = (ss - slope * sx) / n;
  EXPECT_NEAR(slope * 200, 1, 0.06);
  for (const auto& v : m.v) {
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
TEST_F(MeshFiles, CubeFloatsOnTheTurningAxisWithTheWholeTextureOnEachFace) {
  const Mesh m = load("treetrunk_cube.obj");
  ASSERT_EQ(m.v.size(), 36u);
  const Box b = bounds(m);
  const double centre[3] = {kCubeX, 0, 0};
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(b.lo[k], centre[k] - kCubeHalf, 1e-3) << k;
    EXPECT_NEAR(b.hi[k], centre[k] + kCubeHalf, 1e-3) << k;
  }
  for (std::size_t i = 0; i < m.v.size(); i += 3) {
    const Vertex *a = &m.v[i], *b1 = a + 1, *c = a + 2;
    for (const Vertex* v : {a, b1, c}) EXPECT_TRUE((v->s == 0 || v->s == 1) && (v->t == 0 || v->t == 1));
    EXPECT_NE((b1->s - a->s) * (c->t - a->t) - (c->s - a->s) * (b1->t - a->t), 0) << "triangle " << i / 3;
  }
  // Whole in the frame when the camera is closest, 20 units from the axis,
  // however far the world has turned: the frustum spans x/-z within 1 and
  // y/-z within 1.5.
  for (int degrees = 0; degrees < 360; degrees += 5) {
    const double a = degrees * std::numbers::pi / 180;
    for (const auto& v : m.v) {
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
TEST_F(MeshFiles, TrunkStandsBesideTheCubeClearOfTheCamera) {
  const Mesh m = load("treetrunk.obj");
  const Box b = bounds(m);
  EXPECT_LE(b.lo[0], kGroundX);
  EXPECT_GT(b.hi[0], kCubeX + 50);
  double top_t = 1, bottom_t = 0, nearest = 1e9;
  for (const auto& v : m.v) {
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
TEST_F(MeshFiles, GrassMapsTheGroundUnderTheCube) {
  const Mesh m = load("grass.obj");
  const double ground = bounds(m).lo[0];
  EXPECT_EQ(ground, kGroundX);
  double R = 0;
  for (const auto& v : m.v)
    if (v.pos.x == ground) R = std::max(R, std::hypot(v.pos.y, v.pos.z));
  EXPECT_NEAR(R, kPatchRadius, 1e-3);
  std::size_t blades = 0;
  for (std::size_t i = 0; i < m.v.size(); i += 3) {
    const Vertex* tri = &m.v[i];
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
