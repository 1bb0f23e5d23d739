#include "mesh_kit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

namespace assetgen::mesh {

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

// Texture coordinates and normals keep more places than positions: they are
// small numbers and a texel of a 512 texture is 0.002 wide.
constexpr int kPositionDecimals = 3;
constexpr int kUvDecimals = 4;
constexpr int kNormalDecimals = 3;

double signed_area(const std::vector<Vec2>& poly) {
  double a = 0;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    const Vec2& p = poly[i];
    const Vec2& q = poly[(i + 1) % poly.size()];
    a += p.x * q.y - q.x * p.y;
  }
  return a / 2;
}

double cross2(Vec2 o, Vec2 a, Vec2 b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

bool inside_triangle(Vec2 p, Vec2 a, Vec2 b, Vec2 c) {
  return cross2(a, b, p) >= 0 && cross2(b, c, p) >= 0 && cross2(c, a, p) >= 0;
}

// Ear clipping of a counter-clockwise simple polygon; returns index triples.
std::vector<std::array<int, 3>> triangulate(const std::vector<Vec2>& poly) {
  std::vector<int> idx(poly.size());
  for (std::size_t i = 0; i < poly.size(); ++i) idx[i] = static_cast<int>(i);
  std::vector<std::array<int, 3>> out;
  std::size_t guard = 0;
  while (idx.size() > 3 && guard < poly.size() * poly.size() + 16) {
    ++guard;
    bool clipped = false;
    for (std::size_t i = 0; i < idx.size(); ++i) {
      const int ia = idx[(i + idx.size() - 1) % idx.size()];
      const int ib = idx[i];
      const int ic = idx[(i + 1) % idx.size()];
      const Vec2 a = poly[ia], b = poly[ib], c = poly[ic];
      if (cross2(a, b, c) <= 1e-12) continue;  // reflex or flat corner
      bool ear = true;
      for (int j : idx) {
        if (j == ia || j == ib || j == ic) continue;
        if (inside_triangle(poly[j], a, b, c)) {
          ear = false;
          break;
        }
      }
      if (!ear) continue;
      out.push_back({ia, ib, ic});
      idx.erase(idx.begin() + static_cast<std::ptrdiff_t>(i));
      clipped = true;
      break;
    }
    if (!clipped) break;
  }
  if (idx.size() == 3) out.push_back({idx[0], idx[1], idx[2]});
  if (idx.size() > 3) throw std::logic_error("mesh outline is not a simple polygon");
  return out;
}

// An orthonormal pair perpendicular to `axis`.
void frame_for(Vec3 axis, Vec3& u, Vec3& v) {
  const Vec3 a = normalized(axis);
  const Vec3 helper = std::fabs(a.y) < 0.9 ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
  u = normalized(cross(helper, a));
  v = cross(a, u);
}

}  // namespace

double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(Vec3 a) { return std::sqrt(dot(a, a)); }
Vec3 normalized(Vec3 a) {
  const double l = length(a);
  return l > 0 ? a * (1.0 / l) : Vec3{0, 0, 1};
}
double length(Vec2 a) { return std::hypot(a.x, a.y); }
Vec2 polar(double radius, double degrees) {
  return {radius * std::cos(degrees * kDeg), radius * std::sin(degrees * kDeg)};
}
Vec2 rotated(Vec2 p, double degrees, Vec2 about) {
  const double c = std::cos(degrees * kDeg), s = std::sin(degrees * kDeg);
  const Vec2 d = p - about;
  return {about.x + d.x * c - d.y * s, about.y + d.x * s + d.y * c};
}

std::string format_number(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s(buf);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

bool is_record_word(std::string_view word) {
  if (word.empty()) return false;
  if (word[0] == 'v') return !word.starts_with("ve");
  if (word[0] == 'f') return !word.starts_with("faces");
  return false;
}

// ---- MeshBuilder --------------------------------------------------------------

int MeshBuilder::position(Vec3 p) {
  // Written as (-z, y, x): the loader turns that into (x, y, z).
  std::string text = format_number(-p.z, kPositionDecimals) + " " + format_number(p.y, kPositionDecimals) + " " +
                     format_number(p.x, kPositionDecimals);
  auto [it, fresh] = position_index_.try_emplace(text, static_cast<int>(positions_.size()));
  if (fresh) {
    positions_.push_back(p);
    position_text_.push_back(std::move(text));
  }
  return it->second;
}

int MeshBuilder::uv(Vec2 st) {
  std::string text = format_number(st.x, kUvDecimals) + " " + format_number(st.y, kUvDecimals) + " 0";
  auto [it, fresh] = uv_index_.try_emplace(text, static_cast<int>(uvs_.size()));
  if (fresh) {
    uvs_.push_back(st);
    uv_text_.push_back(std::move(text));
  }
  return it->second;
}

int MeshBuilder::normal(Vec3 n) {
  n = normalized(n);
  std::string text = format_number(-n.z, kNormalDecimals) + " " + format_number(n.y, kNormalDecimals) + " " +
                     format_number(n.x, kNormalDecimals);
  auto [it, fresh] = normal_index_.try_emplace(text, static_cast<int>(normals_.size()));
  if (fresh) {
    normals_.push_back(n);
    normal_text_.push_back(std::move(text));
  }
  return it->second;
}

void MeshBuilder::triangle(Corner a, Corner b, Corner c) {
  if (a.p == b.p || b.p == c.p || a.p == c.p) return;  // collapsed by rounding
  triangles_.push_back({a, b, c});
}

void MeshBuilder::triangle(Vec3 a, Vec3 b, Vec3 c, Vec2 ta, Vec2 tb, Vec2 tc) {
  const Vec3 n = cross(b - a, c - a);
  if (length(n) < 1e-12) return;
  const int in = normal(n);
  triangle(Corner{position(a), uv(ta), in}, Corner{position(b), uv(tb), in}, Corner{position(c), uv(tc), in});
}

void MeshBuilder::quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec2 ta, Vec2 tb, Vec2 tc, Vec2 td) {
  triangle(a, b, c, ta, tb, tc);
  triangle(a, c, d, ta, tc, td);
}

void MeshBuilder::set_planar_uv(Vec2 origin, double scale) {
  uv_origin_ = origin;
  uv_scale_ = scale;
}

Vec2 MeshBuilder::planar_uv(Vec3 p) const {
  return {(p.x - uv_origin_.x) * uv_scale_, (uv_origin_.y - p.y) * uv_scale_};
}

std::string MeshBuilder::to_obj(std::string_view comment) const {
  std::string word;
  for (char ch : std::string(comment) + " ") {
    if (ch == ' ' || ch == '\n' || ch == '\t') {
      if (is_record_word(word)) throw std::logic_error("mesh comment word would be read as a record: " + word);
      word.clear();
    } else {
      word += ch;
    }
  }
  std::string out;
  out.reserve(32 * (positions_.size() + uvs_.size() + normals_.size()) + 24 * triangles_.size());
  out += "# ";
  out += comment;
  out += "\n";
  for (const auto& s : position_text_) out += "v " + s + "\n";
  for (const auto& s : uv_text_) out += "vt " + s + "\n";
  for (const auto& s : normal_text_) out += "vn " + s + "\n";
  for (const auto& t : triangles_) {
    out += "f";
    for (const Corner& c : t) {
      out += ' ';
      out += std::to_string(c.p + 1) + "/" + std::to_string(c.t + 1) + "/" + std::to_string(c.n + 1);
    }
    out += "\n";
  }
  return out;
}

// ---- Extruded outlines -------------------------------------------------------------

void prism(MeshBuilder& m, const std::vector<Vec2>& outline_in, double z0, double z1) {
  std::vector<Vec2> poly = outline_in;
  if (poly.size() < 3) return;
  if (signed_area(poly) < 0) std::reverse(poly.begin(), poly.end());
  const auto tris = triangulate(poly);
  auto at = [&](Vec2 p, double z) { return Vec3{p.x, p.y, z}; };
  for (const auto& t : tris) {
    const Vec3 a = at(poly[t[0]], z1), b = at(poly[t[1]], z1), c = at(poly[t[2]], z1);
    m.triangle(a, b, c, m.planar_uv(a), m.planar_uv(b), m.planar_uv(c));
    const Vec3 a0 = at(poly[t[0]], z0), b0 = at(poly[t[1]], z0), c0 = at(poly[t[2]], z0);
    m.triangle(a0, c0, b0, m.planar_uv(a0), m.planar_uv(c0), m.planar_uv(b0));
  }
  for (std::size_t i = 0; i < poly.size(); ++i) {
    const Vec2 p = poly[i], q = poly[(i + 1) % poly.size()];
    if (length(q - p) < 1e-9) continue;
    const Vec3 a = at(p, z0), b = at(q, z0), c = at(q, z1), d = at(p, z1);
    m.quad(a, b, c, d, m.planar_uv(a), m.planar_uv(b), m.planar_uv(c), m.planar_uv(d));
  }
}

void bar(MeshBuilder& m, Vec2 a, Vec2 b, double width, double z0, double z1) {
  const Vec2 d = b - a;
  const double l = length(d);
  if (l < 1e-9) return;
  const Vec2 n{-d.y / l * width / 2, d.x / l * width / 2};
  prism(m, {a - n, b - n, b + n, a + n}, z0, z1);
}

void rounded_bar(MeshBuilder& m, Vec2 a, Vec2 b, double width, double z0, double z1, int segments) {
  const Vec2 d = b - a;
  const double heading = std::atan2(d.y, d.x) / kDeg;
  std::vector<Vec2> outline;
  for (int i = 0; i <= segments; ++i) outline.push_back(b + polar(width / 2, heading - 90 + 180.0 * i / segments));
  for (int i = 0; i <= segments; ++i) outline.push_back(a + polar(width / 2, heading + 90 + 180.0 * i / segments));
  prism(m, outline, z0, z1);
}

void disc(MeshBuilder& m, Vec2 centre, double radius, double z0, double z1, int segments) {
  std::vector<Vec2> outline;
  for (int i = 0; i < segments; ++i) outline.push_back(centre + polar(radius, 360.0 * i / segments));
  prism(m, outline, z0, z1);
}

void ring(MeshBuilder& m, Vec2 centre, double r_in, double r_out, double a0, double a1, double z0, double z1,
          int segments) {
  const bool full = std::fabs(a1 - a0) >= 360.0 - 1e-9;
  auto p3 = [&](double r, double a, double z) {
    const Vec2 p = centre + polar(r, a);
    return Vec3{p.x, p.y, z};
  };
  for (int i = 0; i < segments; ++i) {
    const double u0 = a0 + (a1 - a0) * i / segments, u1 = a0 + (a1 - a0) * (i + 1) / segments;
    // front and back
    Vec3 a = p3(r_in, u0, z1), b = p3(r_out, u0, z1), c = p3(r_out, u1, z1), d = p3(r_in, u1, z1);
    m.quad(a, b, c, d, m.planar_uv(a), m.planar_uv(b), m.planar_uv(c), m.planar_uv(d));
    a = p3(r_in, u0, z0), b = p3(r_out, u0, z0), c = p3(r_out, u1, z0), d = p3(r_in, u1, z0);
    m.quad(a, d, c, b, m.planar_uv(a), m.planar_uv(d), m.planar_uv(c), m.planar_uv(b));
    // outer and inner walls
    a = p3(r_out, u0, z0), b = p3(r_out, u1, z0), c = p3(r_out, u1, z1), d = p3(r_out, u0, z1);
    m.quad(a, b, c, d, m.planar_uv(a), m.planar_uv(b), m.planar_uv(c), m.planar_uv(d));
    if (r_in > 1e-9) {
      a = p3(r_in, u0, z0), b = p3(r_in, u1, z0), c = p3(r_in, u1, z1), d = p3(r_in, u0, z1);
      m.quad(a, d, c, b, m.planar_uv(a), m.planar_uv(d), m.planar_uv(c), m.planar_uv(b));
    }
  }
  if (!full) {
    for (double a : {a0, a1}) {
      const Vec3 p = p3(r_in, a, z0), q = p3(r_out, a, z0), r = p3(r_out, a, z1), s = p3(r_in, a, z1);
      m.quad(p, q, r, s, m.planar_uv(p), m.planar_uv(q), m.planar_uv(r), m.planar_uv(s));
    }
  }
}

void gear(MeshBuilder& m, Vec2 centre, double r_in, double r_root, double r_tip, int teeth, double phase, double z0,
          double z1) {
  ring(m, centre, r_in, r_root, 0, 360, z0, z1, teeth * 2);
  const double pitch = 360.0 / teeth;
  for (int i = 0; i < teeth; ++i) {
    const double a = phase + pitch * i;
    // A trapezoid tooth: half the pitch wide at the root, a third at the tip;
    // its base sinks into the rim so no sliver shows between them.
    const double sink = (r_root - r_in) * 0.3;
    prism(m,
          {centre + polar(r_root - sink, a - pitch * 0.27), centre + polar(r_tip, a - pitch * 0.15),
           centre + polar(r_tip, a + pitch * 0.15), centre + polar(r_root - sink, a + pitch * 0.27)},
          z0, z1);
  }
}

void spokes(MeshBuilder& m, Vec2 centre, double r0, double r1, int count, double width, double phase, double z0,
            double z1) {
  for (int i = 0; i < count; ++i) {
    const double a = phase + 360.0 * i / count;
    bar(m, centre + polar(r0, a), centre + polar(r1, a), width, z0, z1);
  }
}

// ---- Solids ----------------------------------------------------------------------------

void box(MeshBuilder& m, Vec3 lo, Vec3 hi) {
  prism(m, {{lo.x, lo.y}, {hi.x, lo.y}, {hi.x, hi.y}, {lo.x, hi.y}}, lo.z, hi.z);
}

void cylinder(MeshBuilder& m, Vec3 a, Vec3 b, double ra, double rb, int segments, bool caps) {
  Vec3 u, v;
  const Vec3 axis = b - a;
  frame_for(axis, u, v);
  auto at = [&](Vec3 c, double r, int i) {
    const double ang = 2 * std::numbers::pi * i / segments;
    return c + u * (r * std::cos(ang)) + v * (r * std::sin(ang));
  };
  for (int i = 0; i < segments; ++i) {
    const Vec3 p0 = at(a, ra, i), p1 = at(a, ra, i + 1), q1 = at(b, rb, i + 1), q0 = at(b, rb, i);
    const double s0 = double(i) / segments, s1 = double(i + 1) / segments;
    m.quad(p0, p1, q1, q0, {s0, 1}, {s1, 1}, {s1, 0}, {s0, 0});
    if (caps) {
      m.triangle(b, q0, q1, {0.5, 0.5}, {s0, 0}, {s1, 0});
      m.triangle(a, p1, p0, {0.5, 0.5}, {s1, 1}, {s0, 1});
    }
  }
}

void torus(MeshBuilder& m, Vec3 centre, Vec3 axis, double major, double minor, int major_segments,
           int minor_segments) {
  Vec3 u, v;
  frame_for(axis, u, v);
  const Vec3 w = normalized(axis);
  auto at = [&](int i, int k) {
    const double a = 2 * std::numbers::pi * i / major_segments, b = 2 * std::numbers::pi * k / minor_segments;
    const Vec3 radial = u * std::cos(a) + v * std::sin(a);
    return centre + radial * (major + minor * std::cos(b)) + w * (minor * std::sin(b));
  };
  for (int i = 0; i < major_segments; ++i) {
    for (int k = 0; k < minor_segments; ++k) {
      const Vec2 t00{double(i) / major_segments, double(k) / minor_segments};
      const Vec2 t11{double(i + 1) / major_segments, double(k + 1) / minor_segments};
      m.quad(at(i, k), at(i + 1, k), at(i + 1, k + 1), at(i, k + 1), t00, {t11.x, t00.y}, t11, {t00.x, t11.y});
    }
  }
}

void lathe(MeshBuilder& m, Vec3 base, Vec3 axis, const std::vector<Vec2>& profile, int segments, double t_first,
           double t_last) {
  if (profile.size() < 2) return;
  Vec3 u, v;
  frame_for(axis, u, v);
  const Vec3 w = normalized(axis);
  std::vector<double> arc(profile.size(), 0.0);
  for (std::size_t j = 1; j < profile.size(); ++j) arc[j] = arc[j - 1] + length(profile[j] - profile[j - 1]);
  const double total = arc.back() > 0 ? arc.back() : 1;
  std::vector<SweepFrame> path;
  for (const Vec2& p : profile) path.push_back({base + w * p.y, u, v});
  sweep(
      m, path, segments,
      [&](int j, int k) {
        const double ang = 2 * std::numbers::pi * k / segments;
        return Vec2{profile[j].x * std::cos(ang), profile[j].x * std::sin(ang)};
      },
      [&](int j, int k) { return Vec2{double(k) / segments, t_first + (t_last - t_first) * arc[j] / total}; });
}

void sweep(MeshBuilder& m, const std::vector<SweepFrame>& path, int ring_points,
           const std::function<Vec2(int i, int k)>& section, const std::function<Vec2(int i, int k)>& uv) {
  const int rings = static_cast<int>(path.size());
  std::vector<std::vector<Vec3>> pts(rings, std::vector<Vec3>(ring_points + 1));
  for (int i = 0; i < rings; ++i)
    for (int k = 0; k <= ring_points; ++k) {
      const Vec2 o = section(i, k % ring_points);
      pts[i][k] = path[i].centre + path[i].side * o.x + path[i].up * o.y;
    }
  // Smooth normals: across the ring (neighbouring points) crossed with along
  // the path (neighbouring rings).
  auto normal_at = [&](int i, int k) {
    const int kp = (k + 1) % ring_points, km = (k + ring_points - 1) % ring_points;
    const int ip = std::min(i + 1, rings - 1), im = std::max(i - 1, 0);
    const Vec3 around = pts[i][kp] - pts[i][km];
    Vec3 along = pts[ip][k % ring_points] - pts[im][k % ring_points];
    if (length(along) < 1e-9) along = path[ip].centre - path[im].centre;
    Vec3 n = cross(along, around);
    if (length(n) < 1e-9) n = pts[i][k] - path[i].centre;
    return n;
  };
  for (int i = 0; i + 1 < rings; ++i) {
    for (int k = 0; k < ring_points; ++k) {
      Corner c00{m.position(pts[i][k]), m.uv(uv(i, k)), m.normal(normal_at(i, k))};
      Corner c01{m.position(pts[i][k + 1]), m.uv(uv(i, k + 1)), m.normal(normal_at(i, k + 1))};
      Corner c10{m.position(pts[i + 1][k]), m.uv(uv(i + 1, k)), m.normal(normal_at(i + 1, k))};
      Corner c11{m.position(pts[i + 1][k + 1]), m.uv(uv(i + 1, k + 1)), m.normal(normal_at(i + 1, k + 1))};
      m.triangle(c00, c10, c11);
      m.triangle(c00, c11, c01);
    }
  }
}

}  // namespace assetgen::mesh
