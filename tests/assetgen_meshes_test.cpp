// The generated meshes, read back with a parser of our own that applies the
// show's loader rules strictly: format, placement, how the rig's moving parts
// stay joined while it runs, texture layouts, and repeatable output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "meshes.h"

namespace fs = std::filesystem;

namespace {

constexpr double kPi = std::numbers::pi;

const std::vector<std::string> kMeshFiles = {
    "pipe_hi.obj",      "pipe_lo.obj",  "drill_arm_connector.obj", "drill_body.obj",     "hammer_left.obj",
    "hammer_right.obj", "drill_head.obj", "wheel_small.obj",       "wheel_large.obj",    "murel.obj",
    "treetrunk_cube.obj", "treetrunk.obj", "grass.obj"};

struct P3 {
  double x, y, z;
};
struct Vertex {
  P3 pos;        // as loaded: the file's (x, y, z) stored as (z, y, -x)
  double s, t;   // texture coordinate
};
struct Mesh {
  std::vector<Vertex> v;  // three per triangle
  std::size_t triangles() const { return v.size() / 3; }
};

bool starts_with(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

bool is_number(const std::string& tok, double& out) {
  if (tok.empty()) return false;
  char* end = nullptr;
  out = std::strtod(tok.c_str(), &end);
  return end == tok.c_str() + tok.size() && std::isfinite(out);
}

bool is_index(const std::string& s) {
  if (s.empty() || s[0] == '0') return false;
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Parses `text` by the loader's rules; any breach is reported in `error`.
Mesh parse(const std::string& text, std::string& error) {
  std::istringstream in(text);
  std::vector<std::string> tok;
  for (std::string w; in >> w;) tok.push_back(w);
  std::vector<P3> pos, nrm;
  std::vector<std::array<double, 2>> uv;
  std::vector<std::array<int, 9>> faces;
  bool attributes_seen = false;
  auto fail = [&](const std::string& why) {
    if (error.empty()) error = why;
  };
  auto three_numbers = [&](std::size_t& i, std::array<double, 3>& out) {
    for (int k = 0; k < 3; ++k) {
      if (i + 1 >= tok.size() || !is_number(tok[i + 1], out[k])) {
        fail("record '" + tok[i - k] + "' is not followed by three numbers");
        return false;
      }
      ++i;
    }
    return true;
  };
  for (std::size_t i = 0; i < tok.size(); ++i) {
    const std::string& w = tok[i];
    std::array<double, 3> n{};
    if (w == "v") {
      if (attributes_seen) fail("position after a texture coordinate or normal");
      if (three_numbers(i, n)) pos.push_back({n[2], n[1], -n[0]});
    } else if (w == "vt") {
      attributes_seen = true;
      if (three_numbers(i, n)) uv.push_back({n[0], n[1]});
    } else if (w == "vn") {
      attributes_seen = true;
      if (three_numbers(i, n)) nrm.push_back({n[2], n[1], -n[0]});
    } else if (w == "f") {
      std::array<int, 9> f{};
      for (int c = 0; c < 3; ++c) {
        if (i + 1 >= tok.size()) {
          fail("truncated face");
          break;
        }
        const std::string& corner = tok[++i];
        const auto a = corner.find('/'), b = corner.find('/', a == std::string::npos ? a : a + 1);
        if (a == std::string::npos || b == std::string::npos) {
          fail("face corner not i/j/k: " + corner);
          continue;
        }
        const std::string parts[3] = {corner.substr(0, a), corner.substr(a + 1, b - a - 1), corner.substr(b + 1)};
        for (int k = 0; k < 3; ++k) {
          if (!is_index(parts[k])) fail("face index not plain decimal: " + corner);
          f[c * 3 + k] = std::atoi(parts[k].c_str());
        }
      }
      faces.push_back(f);
    } else if ((w[0] == 'v' && !starts_with(w, "ve")) || (w[0] == 'f' && !starts_with(w, "faces"))) {
      fail("stray word read as a record: " + w);
    }
  }
  Mesh m;
  for (const auto& f : faces) {
    for (int c = 0; c < 3; ++c) {
      const int p = f[c * 3], t = f[c * 3 + 1], n = f[c * 3 + 2];
      if (p < 1 || p > static_cast<int>(pos.size()) || t < 1 || t > static_cast<int>(uv.size()) || n < 1 ||
          n > static_cast<int>(nrm.size())) {
        fail("face index out of range");
        continue;
      }
      m.v.push_back({pos[p - 1], uv[t - 1][0], uv[t - 1][1]});
    }
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
    fs::create_directories(dir_ / "b");
    assetgen::write_meshes(dir_ / "a");
    assetgen::write_meshes(dir_ / "b");
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  static Mesh load(const std::string& name) {
    std::string error;
    Mesh m = parse(read_file(dir_ / "a" / name), error);
    EXPECT_EQ(error, "") << name;
    return m;
  }

  static fs::path dir_;
};
fs::path MeshFiles::dir_;

// ---- Format and size ---------------------------------------------------------

TEST_F(MeshFiles, EveryFileFollowsTheLoaderRules) {
  for (const auto& name : kMeshFiles) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::exists(dir_ / "a" / name));
    const std::string text = read_file(dir_ / "a" / name);
    std::string error;
    const Mesh m = parse(text, error);
    EXPECT_EQ(error, "");
    EXPECT_GT(m.triangles(), 0u);
    // The loader grows its arrays one record at a time: keep every mesh small.
    EXPECT_LE(m.triangles(), 5000u);
    EXPECT_LE(text.size(), 400u * 1024);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    for (const auto& v : m.v) {
      ASSERT_TRUE(v.s >= 0 && v.s <= 1 && v.t >= 0 && v.t <= 1) << "texture coordinate outside the picture";
    }
  }
}

TEST_F(MeshFiles, NoOtherFilesAreWritten) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_ / "a")) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = kMeshFiles;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

TEST_F(MeshFiles, TwoRunsWriteIdenticalBytes) {
  for (const auto& name : kMeshFiles) EXPECT_EQ(read_file(dir_ / "a" / name), read_file(dir_ / "b" / name)) << name;
}

TEST(MeshParser, CatchesWhatTheLoaderWouldMisread) {
  std::string e;
  parse("v 1 2 3\nv 1 2 3\nv 1 2 3\nvt 0 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n", e);
  EXPECT_EQ(e, "");
  parse("# view\nv 1 2 3\n", e = "");
  EXPECT_NE(e, "");
  parse("# vertices faces version\nv 1 2 3\n", e = "");
  EXPECT_EQ(e, "");
  parse("v 1 2 3\nvt 0 0 0\nv 1 2 3\n", e = "");
  EXPECT_NE(e, "");
  parse("v 1 2\nvt 0 0 0\n", e = "");
  EXPECT_NE(e, "");
  parse("v 1 2 3\nv 1 2 3\nv 1 2 3\nvt 0 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 03/1/1\n", e = "");
  EXPECT_NE(e, "");
  parse("v 1 2 3\nv 1 2 3\nv 1 2 3\nvt 0 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 4/1/1\n", e = "");
  EXPECT_NE(e, "");
  parse("v 1 2 3\nvt 0 0 0\nvn 0 0 1\nf 1//1 1/1/1 1/1/1\n", e = "");
  EXPECT_NE(e, "");
  // The quarter turn: the file's (-z, y, x) lands at (x, y, z).
  const Mesh m = parse("v -3 2 1\nvt 0.25 0.5 0\nvn 0 0 1\nf 1/1/1 1/1/1 1/1/1\n", e = "");
  ASSERT_EQ(m.v.size(), 3u);
  EXPECT_DOUBLE_EQ(m.v[0].pos.x, 1);
  EXPECT_DOUBLE_EQ(m.v[0].pos.y, 2);
  EXPECT_DOUBLE_EQ(m.v[0].pos.z, 3);
  EXPECT_DOUBLE_EQ(m.v[0].t, 0.5);
}

// ---- The drill rig -----------------------------------------------------------

enum Part { kBody, kHammerL, kHammerR, kConnector, kHead, kWheelL, kWheelS, kPipeLo, kPipeHi, kParts };
const char* const kPartFile[kParts] = {"drill_body.obj",  "hammer_left.obj", "hammer_right.obj",
                                       "drill_arm_connector.obj", "drill_head.obj", "wheel_large.obj",
                                       "wheel_small.obj", "pipe_lo.obj",     "pipe_hi.obj"};

struct Affine {  // x' = a x + b y + c, y' = d x + e y + f
  double a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;
  P3 operator()(P3 p) const { return {a * p.x + b * p.y + c, d * p.x + e * p.y + f, p.z}; }
};
Affine rotate_about(double deg, double cx, double cy) {
  const double r = deg * kPi / 180, co = std::cos(r), si = std::sin(r);
  return {co, -si, cx - co * cx + si * cy, si, co, cy - si * cx - co * cy};
}
Affine then(const Affine& outer, const Affine& inner) {  // outer(inner(p))
  return {outer.a * inner.a + outer.b * inner.d, outer.a * inner.b + outer.b * inner.e,
          outer.a * inner.c + outer.b * inner.f + outer.c, outer.d * inner.a + outer.e * inner.d,
          outer.d * inner.b + outer.e * inner.e, outer.d * inner.c + outer.e * inner.f + outer.f};
}
Affine translate(double x, double y) { return {1, 0, x, 0, 1, y}; }

// Where the rig model puts each part at drill time x, in rig coordinates.
Affine pose(Part part, double x) {
  const double a = 360 * x;
  switch (part) {
    case kHammerL:
    case kHammerR:
      return rotate_about(a, 0, 30);
    case kConnector: {
      const double b = 15 * std::cos(2 * kPi * x) - 15;
      return then(rotate_about(b, 5, 165), translate(-5 * std::cos(4 * kPi * x), 40 * std::sin(2 * kPi * x)));
    }
    case kHead:
      return rotate_about(20 * std::sin(-2 * kPi * x), 130, 165);
    case kWheelL:
      return then(translate(10, 35), rotate_about(a, 0, 0));
    case kWheelS:
      return then(translate(-134, -4.5), rotate_about(545.454 * x, 0, 0));
    case kPipeHi:
      return translate(0, -10 * std::sin(3 * x) - 5);
    default:
      return {};
  }
}

// A coverage grid over rig space, one cell per rig unit.
class Grid {
 public:
  static constexpr int kX0 = -260, kY0 = -120, kW = 620, kH = 460;
  Grid() : cells_(kW * kH, 0) {}
  void fill(const Mesh& m, const Affine& t) {
    for (std::size_t i = 0; i + 2 < m.v.size(); i += 3) {
      const P3 a = t(m.v[i].pos), b = t(m.v[i + 1].pos), c = t(m.v[i + 2].pos);
      const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
      if (std::fabs(area) < 1e-9) continue;
      const int x0 = std::max(0, int(std::floor(std::min({a.x, b.x, c.x}))) - kX0);
      const int x1 = std::min(kW - 1, int(std::ceil(std::max({a.x, b.x, c.x}))) - kX0);
      const int y0 = std::max(0, int(std::floor(std::min({a.y, b.y, c.y}))) - kY0);
      const int y1 = std::min(kH - 1, int(std::ceil(std::max({a.y, b.y, c.y}))) - kY0);
      for (int gy = y0; gy <= y1; ++gy)
        for (int gx = x0; gx <= x1; ++gx) {
          const double px = gx + kX0 + 0.5, py = gy + kY0 + 0.5;
          const double w0 = (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
          const double w1 = (c.x - b.x) * (py - b.y) - (c.y - b.y) * (px - b.x);
          const double w2 = (a.x - c.x) * (py - c.y) - (a.y - c.y) * (px - c.x);
          if ((w0 >= 0 && w1 >= 0 && w2 >= 0) || (w0 <= 0 && w1 <= 0 && w2 <= 0)) cells_[gy * kW + gx] = 1;
        }
    }
  }
  bool at(double x, double y) const {
    const int gx = int(std::floor(x)) - kX0, gy = int(std::floor(y)) - kY0;
    return gx >= 0 && gy >= 0 && gx < kW && gy < kH && cells_[gy * kW + gx];
  }
  int overlap(const Grid& o) const {
    int n = 0;
    for (std::size_t i = 0; i < cells_.size(); ++i) n += cells_[i] && o.cells_[i];
    return n;
  }
  void merge(const Grid& o) {
    for (std::size_t i = 0; i < cells_.size(); ++i) cells_[i] |= o.cells_[i];
  }
  // Number of 8-connected pieces.
  int pieces() const {
    std::vector<char> seen(cells_.size(), 0);
    int count = 0;
    std::vector<int> stack;
    for (int start = 0; start < kW * kH; ++start) {
      if (!cells_[start] || seen[start]) continue;
      ++count;
      stack.assign(1, start);
      seen[start] = 1;
      while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        const int x = i % kW, y = i / kW;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= kW || ny >= kH) continue;
            const int j = ny * kW + nx;
            if (cells_[j] && !seen[j]) seen[j] = 1, stack.push_back(j);
          }
      }
    }
    return count;
  }

 private:
  std::vector<char> cells_;
};

class Rig : public MeshFiles {
 protected:
  void SetUp() override {
    for (int p = 0; p < kParts; ++p) parts_[p] = load(kPartFile[p]);
  }
  Mesh parts_[kParts];
};

TEST_F(Rig, MachineSizeAndGround) {
  // The pumping unit itself (without the wellhead's flow line and tank).
  Box unit, all;
  for (int p = 0; p < kParts; ++p)
    for (const auto& v : parts_[p].v) {
      const P3 q = pose(Part(p), 0)(v.pos);
      all.add(q);
      if (p != kPipeLo) unit.add(q);
    }
  const double width = unit.hi[0] - unit.lo[0], height = unit.hi[1] - unit.lo[1];
  EXPECT_GE(width, 300);
  EXPECT_LE(width, 420);
  EXPECT_GE(height, 230);
  EXPECT_LE(height, 300);
  // The backdrop's ground line is painted where the skid stands.
  EXPECT_NEAR(all.lo[1], -46, 0.5);
  // A thin slab: depth differences would shift the joints in perspective.
  EXPECT_GE(all.lo[2], -20);
  EXPECT_LE(all.hi[2], 20);
}

TEST_F(Rig, WheelsAreModelledAroundTheirOwnOrigins) {
  for (Part p : {kWheelL, kWheelS}) {
    SCOPED_TRACE(kPartFile[p]);
    const Box b = bounds(parts_[p]);
    EXPECT_NEAR((b.lo[0] + b.hi[0]) / 2, 0, 1.0);
    EXPECT_NEAR((b.lo[1] + b.hi[1]) / 2, 0, 1.0);
    double rmax = 0;
    for (const auto& v : parts_[p].v) rmax = std::max(rmax, std::hypot(v.pos.x, v.pos.y));
    EXPECT_GT(rmax, 20);
    Grid g;
    g.fill(parts_[p], {});
    EXPECT_TRUE(g.at(0, 0)) << "hub missing";
  }
  // The large wheel is the larger; neither reaches below the skid.
  const Box l = bounds(parts_[kWheelL]), s = bounds(parts_[kWheelS]);
  EXPECT_GT(l.hi[0], s.hi[0] * 1.2);
  EXPECT_GT(35 + l.lo[1], -34);
  EXPECT_GT(-4.5 + s.lo[1], -34);
}

TEST_F(Rig, MovingPartsHoldTheirPivots) {
  struct Pivot {
    Part part;
    double x, y;
  };
  for (const Pivot& pv : {Pivot{kHammerL, 0, 30}, Pivot{kHammerR, 0, 30}, Pivot{kHead, 130, 165}}) {
    Grid g;
    g.fill(parts_[pv.part], {});
    EXPECT_TRUE(g.at(pv.x, pv.y)) << kPartFile[pv.part];
  }
  // The hammers swing clear of the ground and of the post.
  for (Part p : {kHammerL, kHammerR})
    for (const auto& v : parts_[p].v) EXPECT_LT(std::hypot(v.pos.x - 0, v.pos.y - 30), 64) << kPartFile[p];
}

// Runs the rig through several turns (the pipe's stroke has its own period)
// and checks that nothing comes apart: the silhouette stays one piece, the
// rod keeps hold of the crank and the beam, the bridle's top stays inside the
// horse head and the polished rod's foot inside the wellhead.
TEST_F(Rig, PartsStayJoinedWhileTheRigRuns) {
  Grid fixed;
  fixed.fill(parts_[kBody], {});
  fixed.fill(parts_[kPipeLo], {});
  Grid lo;
  lo.fill(parts_[kPipeLo], {});
  double hi_top = -1e9, hi_bottom = 1e9;
  for (const auto& v : parts_[kPipeHi].v) hi_top = std::max(hi_top, v.pos.y), hi_bottom = std::min(hi_bottom, v.pos.y);
  for (int step = 0; step <= 3 * 48; ++step) {
    const double x = step / 48.0;
    SCOPED_TRACE("drill time " + std::to_string(x));
    Grid g[kParts];
    for (int p = 1; p < kParts; ++p)
      if (p != kPipeLo) g[p].fill(parts_[p], pose(Part(p), x));
    EXPECT_GE(g[kConnector].overlap(g[kHammerR]), 40);
    EXPECT_GE(g[kConnector].overlap(g[kHead]), 40);
    EXPECT_GE(g[kHammerL].overlap(fixed), 10);
    EXPECT_GE(g[kWheelL].overlap(fixed), 10);
    EXPECT_GE(g[kWheelS].overlap(fixed), 10);
    const Affine hi = pose(kPipeHi, x);
    for (const auto& v : parts_[kPipeHi].v) {
      const P3 p = hi(v.pos);
      if (v.pos.y > hi_top - 0.5) {
        EXPECT_TRUE(g[kHead].at(p.x, p.y)) << "bridle top outside the horse head at " << p.x << "," << p.y;
      }
      if (v.pos.y < hi_bottom + 0.5) {
        EXPECT_TRUE(lo.at(p.x, p.y)) << "rod foot outside the wellhead at " << p.x << "," << p.y;
      }
    }
    Grid all = fixed;
    for (int p = 1; p < kParts; ++p) all.merge(g[p]);
    EXPECT_EQ(all.pieces(), 1);
    if (HasFailure()) break;
  }
}

// The whole rig stays on screen in the landscape view, at rest and running:
// the rig's placement (rotate -90 about z, translate (-150, -100, -300)) and
// the show's frustum, with the window turned a quarter turn.
TEST_F(Rig, StaysInTheFrameWhileRunning) {
  double lx_min = 1e9, lx_max = -1e9, ly_min = 1e9, ly_max = -1e9;
  for (int step = 0; step < 40; ++step) {
    const double x = step / 40.0 * 2.2;
    for (int p = 0; p < kParts; ++p) {
      const Affine t = pose(Part(p), x);
      for (const auto& v : parts_[p].v) {
        const P3 r = t(v.pos);
        // Rig point -> eye: x_e = y - 100, y_e = 150 - x, z_e = z - 300.
        const double xe = r.y - 100, ye = 150 - r.x, ze = r.z - 300;
        const double px = (xe / -ze + 1) * 160, py_up = (ye / -ze / 1.5 + 1) * 240;
        const double lx = 480 - py_up, ly = 320 - px;  // landscape, from the top-left
        lx_min = std::min(lx_min, lx), lx_max = std::max(lx_max, lx);
        ly_min = std::min(ly_min, ly), ly_max = std::max(ly_max, ly);
      }
    }
  }
  EXPECT_GT(lx_min, 20);
  EXPECT_LT(lx_max, 460);
  EXPECT_GT(ly_min, 20);
  EXPECT_LT(ly_max, 300);
  // The rig fills a good part of the view's height.
  EXPECT_GT(ly_max - ly_min, 130);
}

// ---- The creature ------------------------------------------------------------

TEST_F(MeshFiles, CreatureSizeHeadAndTexture) {
  const Mesh m = load("murel.obj");
  const Box b = bounds(m);
  EXPECT_GE(b.lo[0], -102);
  EXPECT_LE(b.hi[0], 102);
  EXPECT_GT(b.hi[0] - b.lo[0], 190);
  // Head at +x: the body is deeper there than at the tail.
  auto girth_near = [&](double x0) {
    double d = 0;
    for (const auto& v : m.v)
      if (std::fabs(v.pos.x - x0) < 4) d = std::max(d, std::fabs(v.pos.z));
    return d;
  };
  EXPECT_GT(girth_near(70), 2 * girth_near(-70));
  // s runs along the body from tail to head; t around it: the back at 0, the
  // +z flank at a quarter, the belly at a half.
  // Along the body s is linear in x, spanning the body's length.
  double n = 0, sx = 0, ss = 0, sxx = 0, sxs = 0;
  for (const auto& v : m.v)
    if (v.s > 0.05 && v.s < 0.95) n += 1, sx += v.pos.x, ss += v.s, sxx += v.pos.x * v.pos.x, sxs += v.pos.x * v.s;
  const double slope = (n * sxs - sx * ss) / (n * sxx - sx * sx), offset = (ss - slope * sx) / n;
  EXPECT_NEAR(slope * 200, 1, 0.06);
  for (const auto& v : m.v) {
    ASSERT_GE(v.s, 0);
    ASSERT_LE(v.s, 1);
    ASSERT_GE(v.t, 0);
    ASSERT_LE(v.t, 1);
    if (v.s > 0.05 && v.s < 0.95) {
      EXPECT_NEAR(v.s, slope * v.pos.x + offset, 0.005);
    }
    if (v.s == 0) {
      EXPECT_LT(v.pos.x, -90);
    }
    if (v.pos.x == b.hi[0]) {
      EXPECT_NEAR(v.s, 1, 1e-3);
    }
    // (Between the tail fin and the head, where the centre line is y = 0.)
    const double r = v.pos.x < 60 && v.pos.x > -88 ? std::hypot(v.pos.y, v.pos.z) : 0;
    if (r > 4 && v.pos.z > 3 * std::fabs(v.pos.y)) {
      EXPECT_NEAR(v.t, 0.25, 0.1);
    }
    if (r > 4 && v.pos.z < -3 * std::fabs(v.pos.y)) {
      EXPECT_NEAR(v.t, 0.75, 0.1);
    }
    if (r > 4 && v.pos.y > 3 * std::fabs(v.pos.z)) {
      EXPECT_LT(std::min(v.t, 1 - v.t), 0.1);  // the back
    }
    if (r > 4 && v.pos.y < -3 * std::fabs(v.pos.z)) {
      EXPECT_NEAR(v.t, 0.5, 0.1);  // the belly
    }
  }
}

TEST_F(MeshFiles, CreatureIsFinelyRingedForTheWobble) {
  // The wobble scales y by a wave of x / 26: rings must come a few units apart.
  const Mesh m = load("murel.obj");
  std::vector<double> xs;
  for (const auto& v : m.v) xs.push_back(std::round(v.pos.x * 10) / 10);
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  double widest = 0;
  for (std::size_t i = 1; i < xs.size(); ++i)
    if (xs[i] > -95 && xs[i - 1] < 95) widest = std::max(widest, xs[i] - xs[i - 1]);
  EXPECT_LT(widest, 5.0);
}

// ---- Scene 4 --------------------------------------------------------------------

TEST_F(MeshFiles, CubeIsTenUnitsAtTheOriginWithTheWholeTextureOnEachFace) {
  const Mesh m = load("treetrunk_cube.obj");
  EXPECT_EQ(m.triangles(), 12u);
  const Box b = bounds(m);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(b.lo[k], -5, 1e-3);
    EXPECT_NEAR(b.hi[k], 5, 1e-3);
  }
  // Group the triangles by face (the axis their corners share).
  std::map<std::string, std::array<double, 4>> face_uv;  // s min, s max, t min, t max
  for (std::size_t i = 0; i < m.v.size(); i += 3) {
    std::string key;
    const double c[3][3] = {{m.v[i].pos.x, m.v[i].pos.y, m.v[i].pos.z},
                            {m.v[i + 1].pos.x, m.v[i + 1].pos.y, m.v[i + 1].pos.z},
                            {m.v[i + 2].pos.x, m.v[i + 2].pos.y, m.v[i + 2].pos.z}};
    for (int k = 0; k < 3; ++k)
      if (c[0][k] == c[1][k] && c[1][k] == c[2][k]) key = std::to_string(k) + (c[0][k] > 0 ? "+" : "-");
    ASSERT_FALSE(key.empty());
    auto [it, fresh] = face_uv.try_emplace(key, std::array<double, 4>{1e9, -1e9, 1e9, -1e9});
    for (int j = 0; j < 3; ++j) {
      auto& r = it->second;
      r[0] = std::min(r[0], m.v[i + j].s), r[1] = std::max(r[1], m.v[i + j].s);
      r[2] = std::min(r[2], m.v[i + j].t), r[3] = std::max(r[3], m.v[i + j].t);
    }
  }
  EXPECT_EQ(face_uv.size(), 6u);
  for (const auto& [key, r] : face_uv) EXPECT_EQ(r, (std::array<double, 4>{0, 1, 0, 1})) << key;

  // Each face's picture reads the right way round from outside (its right
  // crossed with its up points outwards), upright on the four side faces.
  for (std::size_t i = 0; i < m.v.size(); i += 3) {
    const Vertex &va = m.v[i], &vb = m.v[i + 1], &vc = m.v[i + 2];
    const double e1[3] = {vb.pos.x - va.pos.x, vb.pos.y - va.pos.y, vb.pos.z - va.pos.z};
    const double e2[3] = {vc.pos.x - va.pos.x, vc.pos.y - va.pos.y, vc.pos.z - va.pos.z};
    const double ds1 = vb.s - va.s, dt1 = vb.t - va.t, ds2 = vc.s - va.s, dt2 = vc.t - va.t;
    const double det = ds1 * dt2 - ds2 * dt1;
    ASSERT_NE(det, 0);
    double along_s[3], along_t[3], centre[3];
    for (int k = 0; k < 3; ++k) {
      along_s[k] = (e1[k] * dt2 - e2[k] * dt1) / det;
      along_t[k] = (e2[k] * ds1 - e1[k] * ds2) / det;
    }
    centre[0] = va.pos.x + vb.pos.x + vc.pos.x, centre[1] = va.pos.y + vb.pos.y + vc.pos.y;
    centre[2] = va.pos.z + vb.pos.z + vc.pos.z;
    // right x up, with up = -along_t
    const double out[3] = {-(along_s[1] * along_t[2] - along_s[2] * along_t[1]),
                           -(along_s[2] * along_t[0] - along_s[0] * along_t[2]),
                           -(along_s[0] * along_t[1] - along_s[1] * along_t[0])};
    EXPECT_GT(out[0] * centre[0] + out[1] * centre[1] + out[2] * centre[2], 0) << "mirrored face";
    const bool side = std::fabs(va.pos.x - vb.pos.x) > 1e-6 || std::fabs(va.pos.x - vc.pos.x) > 1e-6;
    if (side) {
      EXPECT_LT(along_t[0], 0) << "side face upside down";
    }
  }
}

TEST_F(MeshFiles, TrunkStandsBesideTheCubeInsideTheCamerasCircle) {
  const Mesh m = load("treetrunk.obj");
  const Box b = bounds(m);
  const Box g = bounds(load("grass.obj"));
  EXPECT_LE(b.lo[0], g.lo[0]);   // rooted in the ground
  EXPECT_GT(b.hi[0], 110);       // rises out of the frame
  double top_t = 1, bottom_t = 0;
  for (const auto& v : m.v) {
    const double r = std::hypot(v.pos.y, v.pos.z);
    // Clear of the cube, and inside the circle of the closing camera (20
    // units from the x axis at eye height 30).
    if (std::fabs(v.pos.x) < 6) {
      EXPECT_FALSE(std::fabs(v.pos.y) < 6 && std::fabs(v.pos.z) < 6);
    }
    if (v.pos.x > 10 && v.pos.x < 50) {
      EXPECT_LT(r, 18.5);
    }
    ASSERT_GE(v.s, 0);
    ASSERT_LE(v.s, 1);
    if (v.pos.x == b.hi[0]) top_t = std::min(top_t, v.t);
    if (v.pos.x == b.lo[0]) bottom_t = std::max(bottom_t, v.t);
  }
  EXPECT_NEAR(top_t, 0, 1e-3);     // t = 0 at the top
  EXPECT_NEAR(bottom_t, 1, 1e-3);  // and 1 at the foot
}

TEST_F(MeshFiles, GrassMapsTheGroundAroundTheCube) {
  const Mesh m = load("grass.obj");
  const Box b = bounds(m);
  const double ground = b.lo[0];
  EXPECT_LT(ground, -5);  // under the cube's bottom
  EXPECT_GT(ground, -12);
  double R = 0;
  for (const auto& v : m.v)
    if (v.pos.x == ground) R = std::max(R, std::hypot(v.pos.y, v.pos.z));
  EXPECT_GE(R, 40);
  std::size_t blades = 0;
  for (std::size_t i = 0; i < m.v.size(); i += 3) {
    const Vertex* tri = &m.v[i];
    const bool flat = tri[0].pos.x == ground && tri[1].pos.x == ground && tri[2].pos.x == ground;
    if (flat) {
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(tri[k].s, (tri[k].pos.y + R) / (2 * R), 2e-4);
        EXPECT_NEAR(tri[k].t, (tri[k].pos.z + R) / (2 * R), 2e-4);
      }
      continue;
    }
    ++blades;
    // A blade triangle: one coordinate, its root's, on all three corners.
    EXPECT_EQ(tri[0].s, tri[1].s);
    EXPECT_EQ(tri[0].s, tri[2].s);
    EXPECT_EQ(tri[0].t, tri[1].t);
    EXPECT_EQ(tri[0].t, tri[2].t);
    const double ry = tri[0].s * 2 * R - R, rz = tri[0].t * 2 * R - R;
    EXPECT_LE(std::hypot(ry, rz), R);
    for (int k = 0; k < 3; ++k) {
      EXPECT_GE(tri[k].pos.x, ground - 1e-9);
      EXPECT_LT(tri[k].pos.x, ground + 12);
      EXPECT_LT(std::hypot(tri[k].pos.y - ry, tri[k].pos.z - rz), 6);
      // Nothing grows into the cube.
      if (tri[k].pos.x > -5.5) {
        EXPECT_FALSE(std::fabs(tri[k].pos.y) < 5.5 && std::fabs(tri[k].pos.z) < 5.5);
      }
    }
  }
  EXPECT_GT(blades, 1000u);
  // The cube sits over the middle of the map.
  EXPECT_NEAR((b.lo[1] + b.hi[1]) / 2, 0, 1);
  EXPECT_NEAR((b.lo[2] + b.hi[2]) / 2, 0, 1);
}

}  // namespace
