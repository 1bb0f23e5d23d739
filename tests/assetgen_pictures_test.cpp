// The generated pictures as the build stores them in the bundle: every file
// present and repeatable, the high-resolution set, the window's icon, a
// scrolling background's window, and what each picture must hold for the
// show to look right. How the pictures show on screen is checked on the
// show's own frames (drill_opening_test, middle_scenes_test,
// closing_scenes_test).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "icons.h"
#include "meshes_models.h"
#include "picture_mapping.h"
#include "pictures.h"
#include "pictures_internal.h"

namespace fs = std::filesystem;
using assetgen::Image;
using assetgen::ScreenMapping;

namespace {

const fs::path kBundle = VELMORA_BUNDLE_DIR;

std::vector<std::uint8_t> read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int sum(const std::uint8_t* p) { return p[0] + p[1] + p[2]; }

// A picture as the build stored it.
Image picture(const std::string& name) { return assetgen::read_png(kBundle / name); }

std::set<std::string> pictures_in(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".png") names.insert(e.path().filename().string());
  return names;
}

// ---- Files.

// Drawn again, every picture is the bundle's byte for byte, the window's
// icon beside them. Alpha is premultiplied on load: anything not meant to
// blend must be opaque. The rig's tiny texture is black: only the silhouette
// shows.
TEST(Pictures, EveryFileIsTheSameOnEveryRunAndOpaqueUnlessItBlends) {
  const fs::path dir = fs::temp_directory_path() / ("velmora-pictures-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  assetgen::write_pictures(dir);
  std::set<std::string> expected = {"icon.png"};
  for (const auto& f : assetgen::picture_files()) expected.insert(f.name);
  EXPECT_EQ(pictures_in(dir), expected);
  for (const std::string& n : expected) {
    SCOPED_TRACE(n);
    EXPECT_EQ(read_bytes(dir / n), read_bytes(kBundle / n));
    const Image d = picture(n);
    for (std::size_t i = 0; i < d.rgba.size() && n != "icon.png"; i += 4) {
      ASSERT_TRUE(d.rgba[i + 3] == 255 || n == "logo.png" || n == "bubble.png") << "alpha " << int(d.rgba[i + 3]);
      ASSERT_TRUE(n != "small_black.png" || sum(&d.rgba[i]) == 0);
    }
  }
  fs::remove_all(dir);
}

// ---- High-resolution pictures.

// The part of a 1x picture the show ever shows: the 320 x 480 texels of a
// still full-screen picture's window, the whole of any other.
std::array<int, 2> shown_part(const std::string& name, const Image& d) {
  for (const char* still : {"background_scene1.png", "logo.png", "korvane_final.png", "loading.png"})
    if (name == still) return {320, 480};
  return {d.width, d.height};
}

// The set the build writes for a show rendered at 4 times its resolution (4x/):
// every picture but the three the show keeps at 1x, each four times the
// size, which box-filtered back down by four comes close to the 1x picture
// (compared where the show shows it, as it loads it: colour premultiplied
// by alpha). At 1x Cairo estimates every antialiased edge pixel's coverage
// and rounds every gradient to 8 bits, where at 4x the box filter averages
// sixteen such pixels: on average they differ by well under 1 of 255 (0.03
// to 0.65, the grass's grain blended between its 1x texels the most), and a
// value more than 32 off is rare (at most 0.05%, hard edges that cut through
// a 1x pixel). A glow blurred by its 1x radius at 4x makes the text pictures
// miss by a mean above 1.2 and by far in 1 to 2% of their values.
TEST(Pictures, HighResolutionSetIsThe1xPicturesDrawnFourTimesAsLarge) {
  std::set<std::string> expected;
  for (const auto& f : assetgen::picture_files()) {
    SCOPED_TRACE(f.name);
    const Image one = picture(f.name);
    // Every scale up to the largest keeps the sides within the limit.
    EXPECT_LE(std::max(one.width, one.height) * assetgen::kMaxPictureScale, assetgen::kMaxPictureSide);
    if (!f.drawn_at_scale) continue;
    expected.insert(f.name);
    const Image four = assetgen::read_png(kBundle / "4x" / f.name);
    ASSERT_EQ(four.width, one.width * 4);
    ASSERT_EQ(four.height, one.height * 4);
    ASSERT_EQ(four.has_alpha, one.has_alpha);
    auto premultiplied = [](const Image& d, int x, int y, int c) {
      const std::uint8_t* p = d.at(x, y);
      return c == 3 ? p[3] : d.has_alpha ? p[c] * p[3] / 255.0 : p[c];
    };
    double total = 0;
    int far_off = 0;
    const auto [w, h] = shown_part(f.name, one);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) {
          double block = 0;
          for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) block += premultiplied(four, 4 * x + i, 4 * y + j, c);
          const double diff = std::fabs(block / 16 - premultiplied(one, x, y, c));
          total += diff;
          far_off += diff > 32;
        }
    const double values = 4.0 * w * h;
    EXPECT_LT(total / values, 1.0);
    EXPECT_LT(far_off / values, 0.002);
  }
  EXPECT_EQ(pictures_in(kBundle / "4x"), expected);
  for (const char* kept : {"splat.png", "small_black.png", "bubble.png"}) EXPECT_FALSE(expected.count(kept)) << kept;
}

// The desktop icon at every size: a tile with transparent corners, the logo's
// letter in its pink to magenta fill, the teal bar under it; and an SVG of
// the same drawing that stays vector (no picture embedded in it).
TEST(Icon, EverySizeDrawsTheTileLetterAndBarAndTheSvgStaysVector) {
  for (int side : assetgen::icon_sizes()) {
    SCOPED_TRACE(side);
    const Image icon = assetgen::decode_png(assetgen::encode_png(assetgen::draw_icon(side)), "icon");
    ASSERT_EQ(icon.width, side);
    ASSERT_EQ(icon.height, side);
    ASSERT_TRUE(icon.has_alpha);
    // The pixel under a point of the icon's 256-unit design.
    auto at = [&](int u, int v) { return icon.at(u * side / 256, v * side / 256); };
    EXPECT_EQ(at(0, 0)[3], 0) << "corner";
    EXPECT_EQ(at(255, 255)[3], 0) << "corner";
    const std::uint8_t* tile = at(128, 30);
    EXPECT_EQ(tile[3], 255);
    EXPECT_LT(tile[0] + tile[1] + tile[2], 200) << "the tile is dark";
    const std::uint8_t* letter = at(128, 160);
    EXPECT_GT(letter[0], letter[1] + 80) << "the letter is pink to magenta";
    const std::uint8_t* bar = at(128, 209);
    EXPECT_GT(bar[1], bar[0] + 60) << "the bar is teal";
    EXPECT_GT(bar[2], bar[0] + 60) << "the bar is teal";
  }
  const std::string svg = assetgen::draw_icon_svg();
  EXPECT_NE(svg.find("viewBox=\"0 0 256 256\""), std::string::npos);
  EXPECT_NE(svg.find("<path"), std::string::npos);
  EXPECT_EQ(svg.find("<image"), std::string::npos);
}

// A background taller than the view (the creature's) slides along s: stored
// and viewed back, its window shows the rows of the canvas above the first
// view as it goes, so the picture drifts down the screen as designed. (The
// view is the screen's: the show's frames are compared with it.)
TEST(ScreenMapping, AScrollingWindowShowsTheCanvasRowsAboveTheFirstView) {
  Image canvas(480, 512, false);  // every pixel its own colour
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 480; ++x) {
      std::uint8_t* p = canvas.at(x, y);
      p[0] = x & 255, p[1] = y & 255, p[2] = static_cast<std::uint8_t>(x >> 8 | (y >> 8) << 1);
    }
  const Image file = assetgen::store_screen_picture(canvas, ScreenMapping::FarQuad);
  for (int scroll : {0, 128}) {
    const Image view = assetgen::view_screen_picture(file, ScreenMapping::FarQuad, scroll);
    int wrong = 0;
    for (int y = 0; y < 320; ++y)
      for (int x = 0; x < 480; ++x) wrong += std::memcmp(view.at(x, y), canvas.at(x, y + 192 - scroll), 3) != 0;
    EXPECT_EQ(wrong, 0) << "scroll " << scroll;
  }
}

// The opening's logo blends: it has alpha, clear over most of the view and
// over the rig in its lower left (landscape x below 250, y from 150, stored
// in file columns below 170 and rows from 230), solid in its letters.
TEST(Pictures, LogoBlendsAndLeavesTheRigToBeSeen) {
  const Image logo = picture("logo.png");
  ASSERT_TRUE(logo.has_alpha);
  int clear = 0, solid = 0, over_rig = 0;
  for (int r = 0; r < 480; ++r)
    for (int c = 0; c < 320; ++c) {
      const int a = logo.at(c, r)[3];
      clear += a == 0;
      solid += a == 255;
      over_rig += c < 170 && r >= 230 && a != 0;
    }
  EXPECT_EQ(over_rig, 0);
  EXPECT_GT(clear, 480 * 320 / 2);
  EXPECT_GT(solid, 3000);
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

const std::uint8_t* texel_at(const Image& d, double s, double t) {
  return d.at(std::clamp(static_cast<int>(s * d.width), 0, d.width - 1),
              std::clamp(static_cast<int>(t * d.height), 0, d.height - 1));
}

TEST(Pictures, CreatureEyesMouthAndFinsSitWhereTheMeshTakesThem) {
  const Image tex = picture("mureltextur.png");
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
      white += sum(p) > 690;
      black += sum(p) < 90;
      EXPECT_LT(std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}), 40)
          << "eye dome at " << s << ", " << t << " shows " << int{p[0]} << " " << int{p[1]} << " " << int{p[2]};
    }
    EXPECT_GT(corners, 20);
    EXPECT_GT(white, corners / 5) << (seen ? "seen" : "far") << " eye";
    EXPECT_GT(black, corners / 10) << (seen ? "seen" : "far") << " eye";
  }
  // The mouth: a dark line on the jaw towards the snout, on both sides.
  for (double t : {0.29, 0.71}) {
    for (double s : {0.965, 0.975, 0.985}) EXPECT_LT(sum(texel_at(tex, s, t)), 120) << s << ", " << t;
    EXPECT_GT(sum(texel_at(tex, 0.975, t < 0.5 ? t + 0.04 : t - 0.04)), 300) << "below the mouth";
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

TEST(Pictures, CreatureFarSideIsTheSeenSideUpsideDown) {
  const Image tex = picture("mureltextur.png");
  for (int y = 0; y < tex.height / 2; ++y)
    ASSERT_EQ(0, std::memcmp(tex.at(0, y), tex.at(0, tex.height - 1 - y), static_cast<std::size_t>(tex.width) * 4))
        << "row " << y;
}

TEST(Pictures, GlowCubeIsBrightTealWithAWhiteCore) {
  // Drawn at 0.4 and rendered, faces added up, into its own glow: no dull
  // part anywhere, the teal at full strength along the rims, a white core,
  // and on average enough of every channel for the glow to be at its
  // strongest, without the face washing out to grey.
  const Image cube = picture("treetrunk_cube_textur.png");
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
  const int h = cube.height / 2, in = cube.width * 5 / 32, far = cube.width - 1 - in;
  for (auto [x, y] : {std::pair{in, in}, {far, in}, {in, far}, {far, far}}) {
    const std::uint8_t* p = cube.at(x, y);
    EXPECT_GE(p[1], 250) << x << ", " << y;
    EXPECT_LE(p[0], 60) << x << ", " << y;
  }
  EXPECT_GT(sum(cube.at(h, h)), 720);
}

TEST(Pictures, GrassLightIsBrightestUnderTheCubeAndBlackAtTheEdges) {
  const Image l = picture("grass1.png");
  const int c = l.width / 2;
  EXPECT_GT(sum(l.at(c, c)), 700);
  for (auto [x, y] : {std::pair{0, c}, {c, 0}, {l.width - 1, c}, {c, l.height - 1}, {0, 0}}) EXPECT_EQ(sum(l.at(x, y)), 0);
}

// ---- Text strips.

int lit_pixels(const Image& d, double from_row, double to_row) {
  int lit = 0;
  for (int y = static_cast<int>(std::ceil(from_row)); y < to_row; ++y)
    for (int x = 0; x < d.width; ++x) lit += sum(d.at(x, y)) > 300;
  return lit;
}

// Each strip holds its line, and rows within four of a boundary (and of the
// file's edges, where the texture wraps) stay black: the texture is mipmapped
// and filtered. Credits strips 3 and 4 stay empty.
TEST(Pictures, TextStripsHoldTheirLinesClearOfTheBoundaries) {
  for (auto [name, strips, lines, min_lit] : {std::tuple{"greets.png", 10, 10, 200}, {"credits.png", 5, 3, 500}}) {
    SCOPED_TRACE(name);
    const Image d = picture(name);
    const double rows = static_cast<double>(d.height) / strips;
    for (int k = 0; k <= strips; ++k)
      for (int r = static_cast<int>(std::floor(k * rows)) - 4; r <= static_cast<int>(std::ceil(k * rows)) + 4; ++r)
        for (int x = 0; x < d.width; ++x) ASSERT_EQ(sum(d.at(x, (r + d.height) % d.height)), 0) << "row " << r;
    for (int k = 0; k < lines; ++k) EXPECT_GT(lit_pixels(d, k * rows, (k + 1) * rows), min_lit) << "strip " << k;
    for (int y = static_cast<int>(lines * rows); y < d.height; ++y)
      for (int x = 0; x < d.width; ++x) ASSERT_EQ(sum(d.at(x, y)), 0) << "row " << y;
  }
}

}  // namespace
