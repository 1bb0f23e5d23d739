// The generated pictures: present, loadable, power-of-two, stored through the
// mapping the show reads them with, text clear of strip boundaries, the blob
// fit for the metaball threshold, and the same bytes on every run.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "meshes_models.h"
#include "metaballs.h"
#include "picture_mapping.h"
#include "pictures.h"
#include "pictures_internal.h"

namespace fs = std::filesystem;
using assetgen::Image;

namespace {

const std::vector<std::string> kNames = {
    "background_scene1.png", "logo.png",    "small_black.png", "bubble.png",  "splat.png",
    "mureltextur.png",       "murelbg.png", "greets.png",      "treetrunk_cube_textur.png",
    "treetrunk_textur.png",  "grass.png",   "grass1.png",      "credits.png", "korvane_final.png",
    "loading.png"};

std::vector<std::uint8_t> read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A decoded file, straight RGBA, with whether the file carries alpha.
struct Decoded {
  int width = 0, height = 0;
  bool alpha = false;
  std::vector<std::uint8_t> rgba;
  const std::uint8_t* at(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

Decoded decode(const fs::path& p) {
  const auto bytes = read_bytes(p);
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) {
    ADD_FAILURE() << p << ": " << img.message;
    return {};
  }
  Decoded d;
  d.width = static_cast<int>(img.width);
  d.height = static_cast<int>(img.height);
  d.alpha = (img.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  img.format = PNG_FORMAT_RGBA;
  d.rgba.resize(PNG_IMAGE_SIZE(img));
  EXPECT_TRUE(png_image_finish_read(&img, nullptr, d.rgba.data(), 0, nullptr)) << p;
  return d;
}

Image to_image(const Decoded& d) {
  Image img(d.width, d.height, d.alpha);
  img.rgba = d.rgba;
  return img;
}

bool is_pow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

// The pictures, each drawn and written on first use (a test pays only for
// the files it reads) and decoded back from its PNG file.
class Bundle : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("velmora-pictures-test-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  static const Decoded& file(const std::string& n) {
    auto it = files_.find(n);
    if (it != files_.end()) return it->second;
    for (const auto& f : assetgen::picture_files())
      if (f.name == n) assetgen::write_png(dir_ / n, f.draw());
    return files_[n] = decode(dir_ / n);
  }

  static inline fs::path dir_;
  static inline std::map<std::string, Decoded> files_;
};

// ---- The show's own geometry, written out here independently of the generator.

// Normalised device coordinates of the centre of landscape pixel (x, y):
// landscape (x, y) shows portrait (319 - y, x).
std::array<double, 2> ndc_of_landscape(int x, int y) {
  const double px = 319 - y + 0.5, py = x + 0.5;
  return {px / 160.0 - 1, 1 - py / 240.0};
}

struct Quad {
  std::array<std::array<double, 2>, 4> pos;  // NDC, triangle-strip order
  std::array<std::array<double, 2>, 4> st;
};

// Eye-space points at one depth, turned about z, through the show's frustum.
Quad project(std::array<std::array<double, 3>, 4> eye, std::array<std::array<double, 2>, 4> st, double degrees) {
  const double a = degrees * M_PI / 180;
  Quad q{};
  for (int i = 0; i < 4; ++i) {
    const double x = std::cos(a) * eye[i][0] - std::sin(a) * eye[i][1];
    const double y = std::sin(a) * eye[i][0] + std::cos(a) * eye[i][1];
    q.pos[i] = {x / -eye[i][2], y / (-1.5 * eye[i][2])};
  }
  q.st = st;
  return q;
}

std::optional<std::array<double, 2>> texcoord(const Quad& q, std::array<double, 2> p) {
  for (auto tri : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{2, 1, 3}}) {
    const auto &a = q.pos[tri[0]], &b = q.pos[tri[1]], &c = q.pos[tri[2]];
    const double det = (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
    const double u = ((p[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (p[1] - a[1])) / det;
    const double v = ((b[0] - a[0]) * (p[1] - a[1]) - (p[0] - a[0]) * (b[1] - a[1])) / det;
    if (u < -1e-9 || v < -1e-9 || u + v > 1 + 1e-9) continue;
    std::array<double, 2> st{};
    for (int k = 0; k < 2; ++k) st[k] = (1 - u - v) * q.st[tri[0]][k] + u * q.st[tri[1]][k] + v * q.st[tri[2]][k];
    return st;
  }
  return std::nullopt;
}

const std::array<std::array<double, 3>, 4> kBgVertices{
    {{-500, 750, -500}, {500, 750, -500}, {-500, -750, -500}, {500, -750, -500}}};
const std::array<std::array<double, 2>, 4> kSquareTexCoords{{{0, 0.9375}, {0.625, 0.9375}, {0, 0}, {0.625, 0}}};

// The texel of a w x h file that landscape pixel (x, y) shows through the quad.
std::optional<std::array<int, 2>> texel_shown(const Quad& q, int x, int y, int w, int h) {
  const auto st = texcoord(q, ndc_of_landscape(x, y));
  if (!st) return std::nullopt;
  return std::array<int, 2>{static_cast<int>(std::floor((*st)[0] * w)), static_cast<int>(std::floor((*st)[1] * h))};
}

// ---- Files.

TEST_F(Bundle, EveryFileIsThereWithPowerOfTwoSides) {
  const fs::path all = dir_ / "all";
  fs::create_directories(all);
  assetgen::write_pictures(all);
  std::vector<std::string> written;
  for (const auto& e : fs::directory_iterator(all)) written.push_back(e.path().filename().string());
  std::sort(written.begin(), written.end());
  auto expected = kNames;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(written, expected);
  for (const auto& n : kNames) {
    const Decoded d = decode(all / n);
    EXPECT_TRUE(is_pow2(d.width) && is_pow2(d.height)) << n << " is " << d.width << " x " << d.height;
  }
  for (const char* n : {"background_scene1.png", "logo.png", "murelbg.png", "korvane_final.png", "loading.png",
                        "credits.png"}) {
    EXPECT_EQ(file(n).width, 512) << n;
    EXPECT_EQ(file(n).height, 512) << n;
  }
  EXPECT_EQ(file("greets.png").width, 256);
  EXPECT_EQ(file("greets.png").height, 512);
  EXPECT_LE(file("small_black.png").width, 16);
  for (std::size_t i = 0; i < file("small_black.png").rgba.size(); i += 4)
    EXPECT_EQ(file("small_black.png").rgba[i] + file("small_black.png").rgba[i + 1] + file("small_black.png").rgba[i + 2], 0);
}

TEST_F(Bundle, TwoRunsGiveIdenticalBytes) {
  const fs::path first = dir_ / "first", second = dir_ / "second";
  for (const auto& d : {first, second}) {
    fs::create_directories(d);
    assetgen::write_pictures(d);
  }
  for (const auto& n : kNames) EXPECT_EQ(read_bytes(first / n), read_bytes(second / n)) << n;
}

TEST_F(Bundle, LogoCoversOnlyItsLettersAndGlow) {
  const Decoded& logo = file("logo.png");
  ASSERT_TRUE(logo.alpha);
  const Quad far = project(kBgVertices, kSquareTexCoords, 0);
  int clear = 0, solid = 0, shown = 0;
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 480; ++x) {
      const auto t = texel_shown(far, x, y, 512, 512);
      ASSERT_TRUE(t);
      const int a = logo.at((*t)[0], (*t)[1])[3];
      clear += a == 0;
      solid += a == 255;
      ++shown;
      // The rig stands in the lower left of the view: the logo leaves it alone.
      if (x < 250 && y > 150) {
        EXPECT_EQ(a, 0) << "logo covers the rig at " << x << ", " << y;
      }
    }
  EXPECT_GT(clear, shown / 2);
  EXPECT_GT(solid, 3000);
}

TEST_F(Bundle, OpaquePicturesStayOpaque) {
  // Alpha is premultiplied on load: anything not meant to blend must be opaque.
  for (const auto& n : kNames) {
    if (n == "logo.png" || n == "bubble.png") continue;
    const Decoded& d = file(n);
    for (std::size_t i = 3; i < d.rgba.size(); i += 4) ASSERT_EQ(d.rgba[i], 255) << n;
  }
}

TEST_F(Bundle, DrillBackdropIsLightWhereTheRigStands) {
  // The rig is drawn in black over it: the backdrop behind the rig's area
  // (landscape 60..260 by 90..240) must stay light for the silhouette to read.
  const Decoded& bg = file("background_scene1.png");
  const Quad far = project(kBgVertices, kSquareTexCoords, 0);
  double darkest = 1;
  for (int y = 90; y < 240; ++y)
    for (int x = 60; x < 260; ++x) {
      const auto t = texel_shown(far, x, y, 512, 512);
      const std::uint8_t* p = bg.at((*t)[0], (*t)[1]);
      darkest = std::min(darkest, (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255);
    }
  EXPECT_GT(darkest, 0.55);
}

TEST_F(Bundle, RepeatingTexturesMeetAtTheirSeams) {
  auto seam = [](const Decoded& d, bool columns) {
    double diff = 0;
    const int n = columns ? d.height : d.width;
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c)
        diff += columns ? std::abs(d.at(0, i)[c] - d.at(d.width - 1, i)[c]) : std::abs(d.at(i, 0)[c] - d.at(i, d.height - 1)[c]);
    return diff / (n * 3);
  };
  EXPECT_LT(seam(file("treetrunk_textur.png"), true), 24) << "around the trunk";
  EXPECT_LT(seam(file("mureltextur.png"), false), 24) << "around the body";
  EXPECT_LT(seam(file("murelbg.png"), true), 24) << "along the scroll";
}

// ---- The creature's texture against the creature's own mesh.

// The mesh's texture coordinates that do not lie on a body ring (rings, and
// the tail fan, take t = k / 24): the eye domes in the head, the fins along
// the back and the belly.
std::vector<std::array<double, 2>> off_ring_uvs() {
  std::vector<std::array<double, 2>> out;
  std::istringstream in(assetgen::mesh::build_murel().to_obj("creature"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("vt ", 0) != 0) continue;
    std::istringstream words(line.substr(3));
    double s = 0, t = 0;
    words >> s >> t;
    if (std::fabs(t * 24 - std::round(t * 24)) > 1e-3) out.push_back({s, t});
  }
  return out;
}

const std::uint8_t* texel_at(const Decoded& d, double s, double t) {
  return d.at(std::clamp(static_cast<int>(s * d.width), 0, d.width - 1),
              std::clamp(static_cast<int>(t * d.height), 0, d.height - 1));
}
int sum_of(const std::uint8_t* p) { return p[0] + p[1] + p[2]; }

TEST_F(Bundle, CreatureEyesMouthAndFinsSitWhereTheMeshTakesThem) {
  const Decoded& tex = file("mureltextur.png");
  const auto uvs = off_ring_uvs();
  // Each eye dome: every corner shows the painted eye, all greys between
  // white and black (the hood and the body around it are strongly coloured),
  // with both white and black among them.
  for (bool seen : {true, false}) {
    int white = 0, black = 0, corners = 0;
    for (const auto& [s, t] : uvs) {
      if (s < 0.85 || (t < 0.5) != seen) continue;
      const std::uint8_t* p = texel_at(tex, s, t);
      ++corners;
      white += sum_of(p) > 690;
      black += sum_of(p) < 90;
      EXPECT_LT(std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}), 40)
          << "eye dome at " << s << ", " << t << " shows " << int{p[0]} << " " << int{p[1]} << " " << int{p[2]};
    }
    EXPECT_GT(corners, 20);
    EXPECT_GT(white, corners / 5) << (seen ? "seen" : "far") << " eye";
    EXPECT_GT(black, corners / 10) << (seen ? "seen" : "far") << " eye";
  }
  // The mouth: a dark line on the jaw towards the snout, on both sides.
  for (double t : {0.29, 0.71}) {
    for (double s : {0.965, 0.975, 0.985}) EXPECT_LT(sum_of(texel_at(tex, s, t)), 120) << s << ", " << t;
    EXPECT_GT(sum_of(texel_at(tex, 0.975, t < 0.5 ? t + 0.04 : t - 0.04)), 300) << "below the mouth";
  }
  // The fins wear pink and magenta, not the body's teal.
  int fins = 0;
  for (const auto& [s, t] : uvs) {
    const bool dorsal = std::min(t, 1 - t) < 0.05 && s < 0.75, ventral = std::fabs(t - 0.5) < 0.05 && s < 0.43;
    if (!dorsal && !ventral) continue;
    const std::uint8_t* p = texel_at(tex, s, t);
    ++fins;
    EXPECT_GT(p[0], p[1] + 40) << "fin at " << s << ", " << t;
  }
  EXPECT_GT(fins, 200);
}

TEST_F(Bundle, CreatureFarSideIsTheSeenSideUpsideDown) {
  const Decoded& tex = file("mureltextur.png");
  for (int y = 0; y < tex.height / 2; ++y)
    ASSERT_EQ(0, std::memcmp(tex.at(0, y), tex.at(0, tex.height - 1 - y), static_cast<std::size_t>(tex.width) * 4))
        << "row " << y;
}

TEST_F(Bundle, GlowCubeIsBrightTealWithAWhiteCore) {
  // Drawn at 0.4 and rendered, faces added up, into its own glow: no dull
  // part anywhere, the teal at full strength along the rims, a white core,
  // and on average enough of every channel for the glow to be at its
  // strongest, without the face washing out to grey.
  const Decoded& cube = file("treetrunk_cube_textur.png");
  double r = 0, g = 0, b = 0;
  for (int y = 0; y < cube.height; ++y)
    for (int x = 0; x < cube.width; ++x) {
      const std::uint8_t* p = cube.at(x, y);
      ASSERT_GE(std::max({p[0], p[1], p[2]}), 210) << "dull at " << x << ", " << y;
      r += p[0], g += p[1], b += p[2];
    }
  const double n = static_cast<double>(cube.width) * cube.height;
  EXPECT_GT(g / n, 240);
  EXPECT_GT(b / n, 225);
  EXPECT_GT(r / n, 120);
  EXPECT_LT(r / n, 160) << "the face washes out towards grey";
  const int h = cube.height / 2, far = cube.width - 41;
  for (auto [x, y] : {std::pair{40, 40}, {far, 40}, {40, far}, {far, far}}) {
    const std::uint8_t* p = cube.at(x, y);
    EXPECT_GE(p[1], 250) << x << ", " << y;
    EXPECT_LE(p[0], 60) << x << ", " << y;
  }
  EXPECT_GT(sum_of(cube.at(h, h)), 760);
}

TEST_F(Bundle, GrassLightIsBrightestUnderTheCube) {
  const Decoded& l = file("grass1.png");
  const int c = l.width / 2;
  EXPECT_GT(l.at(c, c)[0] + l.at(c, c)[1] + l.at(c, c)[2], 700);
  for (auto [x, y] : {std::pair{0, c}, {c, 0}, {l.width - 1, c}, {c, l.height - 1}, {0, 0}})
    EXPECT_EQ(l.at(x, y)[0] + l.at(x, y)[1] + l.at(x, y)[2], 0);
}

// ---- Text strips.

// Rows within `margin` of a strip boundary (boundaries at k * height / strips, and
// the wrap at the file's top and bottom edge) must be pure background.
void expect_boundaries_clear(const Decoded& d, int strips, int margin, const char* what) {
  for (int k = 0; k <= strips; ++k) {
    const double boundary = k * static_cast<double>(d.height) / strips;
    for (int r = static_cast<int>(std::floor(boundary)) - margin; r <= static_cast<int>(std::ceil(boundary)) + margin; ++r) {
      const int row = ((r % d.height) + d.height) % d.height;
      for (int x = 0; x < d.width; ++x) {
        const std::uint8_t* p = d.at(x, row);
        ASSERT_EQ(p[0] + p[1] + p[2], 0) << what << ": row " << row << " near boundary " << k << " is not clear";
      }
    }
  }
}

int lit_pixels(const Decoded& d, double from_row, double to_row) {
  int lit = 0;
  for (int y = static_cast<int>(std::ceil(from_row)); y < to_row; ++y)
    for (int x = 0; x < d.width; ++x) lit += d.at(x, y)[0] + d.at(x, y)[1] + d.at(x, y)[2] > 300;
  return lit;
}

TEST_F(Bundle, GreetingsStripsHoldOneLineEachClearOfTheBoundaries) {
  const Decoded& g = file("greets.png");
  expect_boundaries_clear(g, 10, 4, "greets.png");
  for (int n = 0; n < 10; ++n) EXPECT_GT(lit_pixels(g, n * 51.2, (n + 1) * 51.2), 200) << "strip " << n;
  const auto& lines = assetgen::greetings_lines();
  ASSERT_EQ(lines.size(), 10u);
  for (const char* name : {"Mesa", "SDL", "libpng", "Cairo", "LAME", "FFmpeg", "CMake", "GoogleTest", "Debian",
                           "the demoscene"})
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(name) != std::string::npos; }), 1)
        << name;
}

TEST_F(Bundle, CreditsHaveThreePagesAndTwoEmptyStrips) {
  const Decoded& c = file("credits.png");
  expect_boundaries_clear(c, 5, 4, "credits.png");
  for (int k = 0; k < 3; ++k) EXPECT_GT(lit_pixels(c, k * 102.4, (k + 1) * 102.4), 500) << "page " << k;
  EXPECT_EQ(lit_pixels(c, 3 * 102.4, 512), 0);
  for (int y = 308; y < 512; ++y)
    for (int x = 0; x < c.width; ++x) ASSERT_EQ(c.at(x, y)[0] + c.at(x, y)[1] + c.at(x, y)[2], 0) << "row " << y;
}

// A strip drawn the ordinary way in the file (columns left to right, rows top
// to bottom) must come out upright in the landscape view through the scene's
// rotated quad and its texture coordinates.
TEST(StripMapping, GreetingsLinesShowTheirStripUpright) {
  const std::array<std::array<double, 3>, 4> line{{{0, 75, -500}, {750, 75, -500}, {0, -75, -500}, {750, -75, -500}}};
  const int p = 4;  // block 2
  const Quad first = project(line, {{{1, (p + 1) / 10.0}, {0, (p + 1) / 10.0}, {1, p / 10.0}, {0, p / 10.0}}}, 90);
  auto moved = line;
  for (auto& v : moved) v[0] -= 750;
  const Quad second =
      project(moved, {{{1, (p + 2) / 10.0}, {0, (p + 2) / 10.0}, {1, (p + 1) / 10.0}, {0, (p + 1) / 10.0}}}, 90);
  // First line: the left half, 48 rows centred; texel column grows to the
  // right, texel row grows downwards, within strip p.
  const auto tl = texel_shown(first, 2, 137, 256, 512), br = texel_shown(first, 237, 182, 256, 512);
  ASSERT_TRUE(tl && br);
  EXPECT_LT((*tl)[0], 5);
  EXPECT_GT((*br)[0], 250);
  EXPECT_NEAR((*tl)[1], p * 51.2 + 2, 1.5);
  EXPECT_GE((*br)[1], static_cast<int>((p + 1) * 51.2) - 2);
  EXPECT_FALSE(texel_shown(first, 245, 160, 256, 512));
  EXPECT_FALSE(texel_shown(first, 100, 130, 256, 512));
  // Second line: the right half, strip p + 1.
  const auto tl2 = texel_shown(second, 242, 137, 256, 512);
  ASSERT_TRUE(tl2);
  EXPECT_LT((*tl2)[0], 5);
  EXPECT_EQ((*tl2)[1] / 51, p + 1);
}

TEST(StripMapping, CreditsPageShowsUprightAlongTheTop) {
  const std::array<std::array<double, 3>, 4> band{
      {{-700, -200, -500}, {700, -200, -500}, {-700, -500, -500}, {700, -500, -500}}};
  const int k = 1;
  const Quad q = project(band, {{{1, (k + 1) / 5.0}, {0, (k + 1) / 5.0}, {1, k / 5.0}, {0, k / 5.0}}}, 90);
  const auto tl = texel_shown(q, 17, 1, 512, 512), br = texel_shown(q, 462, 94, 512, 512);
  ASSERT_TRUE(tl && br);
  EXPECT_LT((*tl)[0], 4);
  EXPECT_GT((*br)[0], 507);
  EXPECT_EQ((*tl)[1] / 102, k);
  EXPECT_LT((*tl)[1], 105);
  EXPECT_GT((*br)[1], 200);
  EXPECT_FALSE(texel_shown(q, 10, 50, 512, 512));
  EXPECT_FALSE(texel_shown(q, 240, 100, 512, 512));
}

// ---- The full-screen mapping helper.

Image marker_canvas(int height) {
  Image c(480, height, false);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 480; ++x) {
      std::uint8_t* p = c.at(x, y);
      p[0] = static_cast<std::uint8_t>(x * 255 / 479);
      p[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
      p[2] = static_cast<std::uint8_t>((x * 7 + y * 13) & 255);
    }
  return c;
}

TEST(ScreenMapping, RoundTripsEveryPixel) {
  for (auto m : {assetgen::ScreenMapping::FarQuad, assetgen::ScreenMapping::Upright}) {
    const Image canvas = marker_canvas(320);
    const Image file = assetgen::store_screen_picture(canvas, m);
    ASSERT_EQ(file.width, 512);
    ASSERT_EQ(file.height, 512);
    EXPECT_EQ(assetgen::view_screen_picture(file, m).rgba, canvas.rgba);
  }
  EXPECT_THROW(assetgen::store_screen_picture(Image(320, 480), assetgen::ScreenMapping::FarQuad), std::exception);
}

// Draw a marker in the landscape view, store it, then read the file back
// through the show's own quad and texture coordinates: the marker must land
// where it was drawn, and nowhere else.
void expect_marker_lands(const Quad& quad, assetgen::ScreenMapping m, int canvas_height, int scroll) {
  Image canvas(480, canvas_height, false);
  // A marker in the upper left of the first view (canvas rows offset for a taller canvas).
  const int off = canvas_height - 320 - scroll;
  for (int y = 20; y < 40; ++y)
    for (int x = 30; x < 70; ++x) canvas.at(x, y + off)[0] = 255;
  const Image file = assetgen::store_screen_picture(canvas, m);
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 480; ++x) {
      const auto t = texel_shown(quad, x, y, 512, 512);
      ASSERT_TRUE(t) << "the quad must fill the view";
      const bool in = x >= 30 && x < 70 && y >= 20 && y < 40;
      ASSERT_EQ(file.at((*t)[0] % 512, (*t)[1])[0] == 255, in) << "landscape " << x << ", " << y;
    }
}

TEST(ScreenMapping, FarQuadPicturesShowAsDrawn) {
  expect_marker_lands(project(kBgVertices, kSquareTexCoords, 0), assetgen::ScreenMapping::FarQuad, 320, 0);
}

TEST(ScreenMapping, LoadingScreenShowsAsDrawn) {
  // squareVertices under identity matrices, the loading screen's own quad.
  const Quad q{{{{-1, -1}, {1, -1}, {-1, 1}, {1, 1}}}, kSquareTexCoords};
  expect_marker_lands(q, assetgen::ScreenMapping::Upright, 320, 0);
}

TEST(ScreenMapping, ScrollingBackgroundWindowSlidesUpItsCanvas) {
  // Scene 3's window (w, 0.9375) ... (w + 0.625, 0) with w = t / 128: at
  // t = 32 s it has moved 128 texels along s, 128 canvas rows up.
  for (int scroll : {0, 128}) {
    auto st = kSquareTexCoords;
    for (auto& p : st) p[0] += scroll / 512.0;
    expect_marker_lands(project(kBgVertices, st, 0), assetgen::ScreenMapping::FarQuad, 512, scroll);
  }
}

// ---- The blob and the metaball threshold.

TEST_F(Bundle, SplatMeetsTheThresholdDesign) {
  const Decoded& s = file("splat.png");
  const int c = s.width / 2;
  const double texels_per_unit = s.width / 200.0;  // the blob quad is 200 units across
  EXPECT_GE(s.at(c, c)[0], 160) << "a lone blob's centre passes the red threshold";
  int ring = 0;
  for (int x = c; x < s.width; ++x) {
    const double units = (x + 0.5 - c) / texels_per_unit;
    const std::uint8_t* p = s.at(x, c);
    if (units < 9) {
      EXPECT_EQ(p[0], p[1]) << "body at " << units;
    }
    if (units > 30) {
      EXPECT_EQ(p[0] + p[1], 0) << "outside at " << units;
    }
    if (p[0] != p[1]) ++ring;
    // Where red crosses the threshold, green differs: the lone blob gets its rim.
    if (p[0] >= 150 && p[0] <= 170) {
      EXPECT_NE(p[0], p[1]) << "at " << units;
    }
  }
  EXPECT_GT(ring, 3);
  EXPECT_LT(ring, 20 * texels_per_unit) << "the rim is a thin ring";
  // Radially symmetric: orientation on the quad does not matter.
  for (int d = 0; d < c; d += 7) {
    EXPECT_EQ(s.at(c + d, c)[0], s.at(c, c + d)[0]);
    EXPECT_EQ(s.at(c - 1 - d, c)[1], s.at(c, c - 1 - d)[1]);
  }
}

// Two blobs 22 units apart summed texel by texel: along the line through both,
// the classes run teal, white, black (one merged body), white, teal.
TEST_F(Bundle, TwoSplatsMergeIntoOneOutlinedBody) {
  const Decoded& s = file("splat.png");
  const double tpu = s.width / 200.0;
  auto texel = [&](double units) {
    const int i = std::clamp(static_cast<int>(std::floor(s.width / 2 + units * tpu)), 0, s.width - 1);
    return s.at(i, s.height / 2);
  };
  std::string runs;
  for (double x = -45; x <= 45; x += 0.25) {
    const int r = std::min(255, texel(x - 11)[0] + texel(x + 11)[0]);
    const int g = std::min(255, texel(x - 11)[1] + texel(x + 11)[1]);
    const char cls = r < 160 ? 't' : r == g ? 'b' : 'w';
    if (runs.empty() || runs.back() != cls) runs += cls;
  }
  EXPECT_EQ(runs, "twbwt");
}

using assetgen::MetaClass;
constexpr int kMeta = assetgen::kMetaSide;
const float kMetaTimes[] = {2.5f, 3.2f, 4.5f, 5.5f, 7.0f, 8.5f, 10.0f, 11.5f, 13.0f, 14.5f};

// The look the scene is after, checked on a 128 x 128 class image (rows from
// the bottom) with the blob centres in pixels: black bodies, never touching
// the teal field, outlined in thin white.
void expect_outlined_bodies(const std::vector<MetaClass>& classes, const std::vector<std::array<int, 2>>& centres,
                            float t, const char* source) {
  auto at = [&](int x, int y) { return classes[static_cast<std::size_t>(y) * kMeta + x]; };
  int teal = 0, black = 0, white = 0, touching = 0, deep_white = 0;
  for (int y = 0; y < kMeta; ++y)
    for (int x = 0; x < kMeta; ++x) {
      const MetaClass c = at(x, y);
      teal += c == MetaClass::Teal;
      black += c == MetaClass::Black;
      white += c == MetaClass::White;
      // Black never touches teal: a white outline always lies between.
      if (c == MetaClass::Black)
        for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          const int nx = x + dx, ny = y + dy;
          touching += nx >= 0 && ny >= 0 && nx < kMeta && ny < kMeta && at(nx, ny) == MetaClass::Teal;
        }
      // The outline is thin: every white pixel lies within 6 units (eye units
      // at the blob distance: 1.28 pixels across, 0.85 up) of the teal field;
      // a lone blob's rim is 3.5 units wide.
      if (c == MetaClass::White) {
        bool near = false;
        for (int dy = -6; dy <= 6 && !near; ++dy)
          for (int dx = -8; dx <= 8 && !near; ++dx) {
            const double ux = dx / 1.28, uy = dy / (128.0 / 150);
            if (ux * ux + uy * uy > 36) continue;
            const int nx = x + dx, ny = y + dy;
            near = nx < 0 || ny < 0 || nx >= kMeta || ny >= kMeta || at(nx, ny) == MetaClass::Teal;
          }
        deep_white += !near;
      }
    }
  EXPECT_EQ(touching, 0) << source << ": black touches teal at t = " << t;
  EXPECT_EQ(deep_white, 0) << source << ": white inside a body at t = " << t;
  for (const auto& c : centres)
    if (c[0] >= 0 && c[1] >= 0 && c[0] < kMeta && c[1] < kMeta) {
      EXPECT_EQ(at(c[0], c[1]), MetaClass::Black) << source << ": blob centre at t = " << t;
    }
  EXPECT_GT(teal, kMeta * kMeta / 2) << source << ", t = " << t;
  if (centres.size() >= 2) {
    EXPECT_GT(black, white) << source << ", t = " << t;  // merged bodies outweigh their outlines
  }
  EXPECT_GT(white, 0) << source << ", t = " << t;
}

std::vector<std::array<int, 2>> centre_pixels(const std::vector<assetgen::BlobCentre>& blobs) {
  std::vector<std::array<int, 2>> out;
  for (const auto& b : blobs) {
    int px, py;
    assetgen::metaball_pixel(b, px, py);
    out.push_back({px, py});
  }
  return out;
}

TEST_F(Bundle, MetaballSceneDrawsBlackBodiesWithWhiteOutlinesOnTeal) {
  const Image splat = to_image(file("splat.png"));
  for (float t : kMetaTimes) {
    const assetgen::MetaFrame f = assetgen::metaball_frame(splat, t);
    ASSERT_EQ(f.blobs.size(), static_cast<std::size_t>(std::min(static_cast<int>(t), 5) - 1));
    expect_outlined_bodies(f.classes, centre_pixels(f.blobs), t, "model");
  }
  // Once the threshold has fallen to 0 the field is gone: no teal at all.
  const assetgen::MetaFrame end = assetgen::metaball_frame(splat, 16.9f);
  EXPECT_EQ(std::count(end.classes.begin(), end.classes.end(), MetaClass::Teal), 0);
}

// The blob pass drawn for real with OpenGL ES 1.1 (Mesa, headless), the way
// the scene draws it, read back and thresholded: the stored file must give
// the same look as the model above, and agree with the model pixel by pixel
// almost everywhere.
class GlesContext {
 public:
  GlesContext() {
    auto get_platform = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform) display_ = get_platform(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display_ == EGL_NO_DISPLAY) display_ = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, nullptr, nullptr)) return;
    const EGLint attrs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES_BIT, EGL_RED_SIZE, 8,
                            EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 16, EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(display_, attrs, &config, 1, &count) || count < 1) return;
    const EGLint size[] = {EGL_WIDTH, 320, EGL_HEIGHT, 480, EGL_NONE};
    surface_ = eglCreatePbufferSurface(display_, config, size);
    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint version[] = {EGL_CONTEXT_CLIENT_VERSION, 1, EGL_NONE};
    context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, version);
    ok_ = surface_ != EGL_NO_SURFACE && context_ != EGL_NO_CONTEXT &&
          eglMakeCurrent(display_, surface_, surface_, context_);
  }
  ~GlesContext() {
    if (display_ == EGL_NO_DISPLAY) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
    if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
    eglTerminate(display_);
  }
  bool ok() const { return ok_; }

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLSurface surface_ = EGL_NO_SURFACE;
  EGLContext context_ = EGL_NO_CONTEXT;
  bool ok_ = false;
};

TEST_F(Bundle, MetaballPassRenderedWithGlesMatchesTheDesign) {
  GlesContext gl;
  if (!gl.ok()) GTEST_SKIP() << "no headless OpenGL ES 1.1 context";
  const Decoded& s = file("splat.png");
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, s.width, s.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, s.rgba.data());
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustumf(-1, 1, -1.5f, 1.5f, 1, 1000);
  glMatrixMode(GL_MODELVIEW);
  const GLfloat quad[] = {-100, 100, -50, 100, 100, -50, -100, -100, -50, 100, -100, -50};
  const GLfloat st[] = {0, 1, 1, 1, 0, 0, 1, 0};
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, quad);
  glTexCoordPointer(2, GL_FLOAT, 0, st);
  glColor4f(1, 1, 1, 1);

  const Image splat = to_image(s);
  for (float t : kMetaTimes) {
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glViewport(0, 0, kMeta, kMeta);
    const int n = std::min(static_cast<int>(t), 5);
    const float u = std::max(t, 3.5f);
    for (int i = 1; i < n; ++i) {
      const float fi = static_cast<float>(i);
      const float a = fi * (u + 79.0f), b = fi * (u + 32.0f);
      glTranslatef(static_cast<float>(15.0 * std::sin(56266.0 * i + 0.4 * a)),
                   static_cast<float>(20.0 * std::sin(75437.0 * i + 0.3 * b)), 0);
      glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }
    std::vector<std::uint8_t> pixels(kMeta * kMeta * 4);
    glReadPixels(0, 0, kMeta, kMeta, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    std::vector<MetaClass> classes(kMeta * kMeta);
    for (std::size_t i = 0; i < classes.size(); ++i) {
      const int r = pixels[i * 4], g = pixels[i * 4 + 1];
      classes[i] = r < 160 ? MetaClass::Teal : r == g ? MetaClass::Black : MetaClass::White;
    }
    const assetgen::MetaFrame model = assetgen::metaball_frame(splat, t);
    expect_outlined_bodies(classes, centre_pixels(model.blobs), t, "rendered");
    int agree = 0;
    for (std::size_t i = 0; i < classes.size(); ++i) agree += classes[i] == model.classes[i];
    EXPECT_GT(agree, static_cast<int>(classes.size() * 0.98)) << "model and rendering differ at t = " << t;
  }
  glDeleteTextures(1, &tex);
}

// The stored file drawn for real the way the show draws it: mipmapped
// texture, far quad through the frustum (or the loading screen's quad under
// identity matrices), read back and turned into the landscape view: the
// canvas must come back as drawn.
void expect_gl_shows_canvas(assetgen::ScreenMapping m) {
  GlesContext gl;
  if (!gl.ok()) GTEST_SKIP() << "no headless OpenGL ES 1.1 context";
  const Image canvas = marker_canvas(320);
  const Image file = assetgen::store_screen_picture(canvas, m);
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 512, 512, 0, GL_RGBA, GL_UNSIGNED_BYTE, file.rgba.data());
  glViewport(0, 0, 320, 480);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (m == assetgen::ScreenMapping::FarQuad) glFrustumf(-1, 1, -1.5f, 1.5f, 1, 1000);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const GLfloat far_quad[] = {-500, 750, -500, 500, 750, -500, -500, -750, -500, 500, -750, -500};
  const GLfloat screen_quad[] = {-1, -1, 1, -1, -1, 1, 1, 1};
  const GLfloat st[] = {0, 0.9375f, 0.625f, 0.9375f, 0, 0, 0.625f, 0};
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  if (m == assetgen::ScreenMapping::FarQuad)
    glVertexPointer(3, GL_FLOAT, 0, far_quad);
  else
    glVertexPointer(2, GL_FLOAT, 0, screen_quad);
  glTexCoordPointer(2, GL_FLOAT, 0, st);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  std::vector<std::uint8_t> px(320 * 480 * 4);
  glReadPixels(0, 0, 320, 480, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  int worst = 0;
  for (int ly = 0; ly < 320; ++ly)
    for (int lx = 0; lx < 480; ++lx) {
      const int portrait_x = 319 - ly, portrait_y = lx;
      const std::uint8_t* got = &px[(static_cast<std::size_t>(479 - portrait_y) * 320 + portrait_x) * 4];
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(got[c] - canvas.at(lx, ly)[c]));
    }
  EXPECT_LE(worst, 2);
  glDeleteTextures(1, &tex);
}

TEST(ScreenMappingRendered, FarQuadShowsTheCanvas) { expect_gl_shows_canvas(assetgen::ScreenMapping::FarQuad); }
TEST(ScreenMappingRendered, LoadingScreenShowsTheCanvas) { expect_gl_shows_canvas(assetgen::ScreenMapping::Upright); }

TEST(ContactSheet, LaysOutTheBundle) {
  const fs::path dir = fs::temp_directory_path() / "velmora-pictures-sheet-test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  assetgen::write_pictures(dir);
  assetgen::write_contact_sheet(dir, dir / "sheet.png");
  const Decoded sheet = decode(dir / "sheet.png");
  EXPECT_EQ(sheet.width, 1520);
  EXPECT_GT(sheet.height, 1500);
  fs::remove(dir / "greets.png");
  EXPECT_THROW(assetgen::write_contact_sheet(dir, dir / "sheet2.png"), std::exception);
  fs::remove_all(dir);
}

}  // namespace
