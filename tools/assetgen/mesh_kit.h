#pragma once
// A small kit for building the show's meshes in code: an indexed triangle
// builder with the shape primitives the models are made of (boxes, prisms,
// rings, gears, cylinders, tori, lathed and swept shapes), and a writer for
// the OBJ subset the show reads.
//
// Every coordinate handed to the builder is where the point should LAND once
// the show has loaded the file; the writer applies the inverse of the
// loader's quarter turn.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace assetgen::mesh {

struct Vec2 {
  double x = 0, y = 0;
};
struct Vec3 {
  double x = 0, y = 0, z = 0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(Vec2 a, double s) { return {a.x * s, a.y * s}; }
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
double length(Vec3 a);
Vec3 normalized(Vec3 a);
double length(Vec2 a);
Vec2 polar(double radius, double degrees);           // (r cos a, r sin a)
Vec2 rotated(Vec2 p, double degrees, Vec2 about = {});  // counter-clockwise

// One corner of a triangle: indices into the builder's position, texture
// coordinate and normal tables (from 0).
struct Corner {
  int p = 0, t = 0, n = 0;
};

// Collects positions, texture coordinates, normals and triangles. Equal
// records (as they will be written) are stored once.
class MeshBuilder {
 public:
  int position(Vec3 p);
  int uv(Vec2 st);
  int normal(Vec3 n);
  void triangle(Corner a, Corner b, Corner c);
  // A flat triangle: the normal follows the corners' counter-clockwise order.
  void triangle(Vec3 a, Vec3 b, Vec3 c, Vec2 ta, Vec2 tb, Vec2 tc);
  // A flat quad a-b-c-d (counter-clockwise), split along a-c.
  void quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec2 ta, Vec2 tb, Vec2 tc, Vec2 td);

  // How flat faces get their texture coordinates when a primitive has no
  // layout of its own: s = (x - origin.x) * scale, t = (origin.y - y) * scale.
  void set_planar_uv(Vec2 origin, double scale);
  Vec2 planar_uv(Vec3 p) const;

  std::size_t triangle_count() const { return triangles_.size(); }
  const std::vector<Vec3>& positions() const { return positions_; }
  const std::vector<std::array<Corner, 3>>& triangles() const { return triangles_; }

  // The file text: a header comment, all positions, then texture coordinates
  // and normals, then the triangles. Throws std::logic_error if the comment
  // holds a word the loader would read as a record.
  std::string to_obj(std::string_view comment) const;

 private:
  std::vector<Vec3> positions_;
  std::vector<Vec2> uvs_;
  std::vector<Vec3> normals_;
  std::vector<std::string> position_text_, uv_text_, normal_text_;
  std::map<std::string, int> position_index_, uv_index_, normal_index_;
  std::vector<std::array<Corner, 3>> triangles_;
  Vec2 uv_origin_{0, 0};
  double uv_scale_ = 1.0 / 512.0;
};

// Compact decimal text for a number: at most `decimals` places, trailing
// zeros dropped, never "-0".
std::string format_number(double v, int decimals);

// True if the loader would take `word` for a record keyword (a word starting
// with "v" or "f" that does not start with "ve" or "faces").
bool is_record_word(std::string_view word);

// ---- Shapes in the xy plane, extruded along z ------------------------------
// All of these put the front face (z1) towards +z and use planar texture
// coordinates.

// A simple polygon (either winding), ear-clipped, extruded from z0 to z1.
void prism(MeshBuilder& m, const std::vector<Vec2>& outline, double z0, double z1);
// A bar of the given width from a to b.
void bar(MeshBuilder& m, Vec2 a, Vec2 b, double width, double z0, double z1);
// A bar with rounded ends (a stadium).
void rounded_bar(MeshBuilder& m, Vec2 a, Vec2 b, double width, double z0, double z1, int segments = 8);
// A full disc.
void disc(MeshBuilder& m, Vec2 centre, double radius, double z0, double z1, int segments = 24);
// An annular sector from angle a0 to a1 (degrees, counter-clockwise).
void ring(MeshBuilder& m, Vec2 centre, double r_in, double r_out, double a0, double a1, double z0, double z1,
          int segments);
// A gear: a ring from r_in to r_root with `teeth` trapezoid teeth out to
// r_tip; `phase` turns the first tooth (degrees).
void gear(MeshBuilder& m, Vec2 centre, double r_in, double r_root, double r_tip, int teeth, double phase, double z0,
          double z1);
// Spokes from r0 to r1, evenly spaced, each `width` wide.
void spokes(MeshBuilder& m, Vec2 centre, double r0, double r1, int count, double width, double phase, double z0,
            double z1);

// ---- Solids -----------------------------------------------------------------
// An axis-aligned box.
void box(MeshBuilder& m, Vec3 lo, Vec3 hi);
// A round cylinder (or cone) from a to b with radii ra and rb, capped.
void cylinder(MeshBuilder& m, Vec3 a, Vec3 b, double ra, double rb, int segments = 12, bool caps = true);
// A torus around `axis` through `centre`.
void torus(MeshBuilder& m, Vec3 centre, Vec3 axis, double major, double minor, int major_segments,
           int minor_segments);

// A lathed surface: profile points (radius, height) revolved about the line
// through `base` along `axis`. Texture coordinates: s once around, t from
// t_first at the first profile point to t_last at the last (by arc length).
void lathe(MeshBuilder& m, Vec3 base, Vec3 axis, const std::vector<Vec2>& profile, int segments, double t_first,
           double t_last);

// A swept tube: rings of points around a path. `section(i, k)` gives the
// offset of ring i's point k in the ring's own frame (x along `side`, y along
// `up`); rings are closed (the seam point is written twice for the texture).
// `uv(i, k)` gives each point's texture coordinate with k running 0..count.
struct SweepFrame {
  Vec3 centre, side, up;
};
void sweep(MeshBuilder& m, const std::vector<SweepFrame>& path, int ring_points,
           const std::function<Vec2(int i, int k)>& section, const std::function<Vec2(int i, int k)>& uv);

}  // namespace assetgen::mesh
