// The generated pictures, read back from their files and drawn through the
// show's quads with OpenGL ES 1.1: every file present, power-of-two and
// repeatable; full-screen pictures stored so that they show as drawn; text
// strips clear of their boundaries and upright; the blob fit for the metaball
// threshold.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
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

const std::vector<std::string> kNames = {
    "background_scene1.png", "logo.png",    "small_black.png", "bubble.png",  "splat.png",
    "mureltextur.png",       "murelbg.png", "greets.png",      "treetrunk_cube_textur.png",
    "treetrunk_textur.png",  "grass.png",   "grass1.png",      "credits.png", "korvane_final.png",
    "loading.png"};

std::vector<std::uint8_t> read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int sum(const Image& d, int x, int y) { return d.at(x, y)[0] + d.at(x, y)[1] + d.at(x, y)[2]; }
bool is_pow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

// A picture as stored: drawn on first use, encoded and decoded back.
const Image& picture(const std::string& name) {
  static std::map<std::string, Image> pictures;
  if (auto it = pictures.find(name); it != pictures.end()) return it->second;
  for (const auto& f : assetgen::picture_files())
    if (f.name == name) return pictures[name] = assetgen::decode_png(assetgen::encode_png(f.draw(1)), name);
  throw std::runtime_error("no picture " + name);
}

// A headless OpenGL ES 1.1 context (Mesa), current on a 320 x 480 portrait
// surface for the rest of the process.
bool gles_ready() {
  static const bool ready = [] {
    auto get_platform = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    const EGLDisplay display =
        get_platform ? get_platform(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr) : EGL_NO_DISPLAY;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return false;
    const EGLint attrs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES_BIT, EGL_RED_SIZE, 8,
                            EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_NONE};
    const EGLint size[] = {EGL_WIDTH, 320, EGL_HEIGHT, 480, EGL_NONE};
    const EGLint version[] = {EGL_CONTEXT_CLIENT_VERSION, 1, EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(display, attrs, &config, 1, &count) || count < 1 || !eglBindAPI(EGL_OPENGL_ES_API)) return false;
    const EGLSurface surface = eglCreatePbufferSurface(display, config, size);
    const EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, version);
    return surface != EGL_NO_SURFACE && context != EGL_NO_CONTEXT && eglMakeCurrent(display, surface, surface, context);
  }();
  return ready;
}

#define NEED_GLES() \
  if (!gles_ready()) GTEST_SKIP() << "no headless OpenGL ES 1.1 context"

// The show's far quad at depth 500 with its window on a 512 x 512 picture,
// and the loading screen's quad under identity matrices.
constexpr GLfloat kFarQuad[12] = {-500, 750, -500, 500, 750, -500, -500, -750, -500, 500, -750, -500};
constexpr GLfloat kScreenQuad[8] = {-1, -1, 1, -1, -1, 1, 1, 1};
constexpr GLfloat kSquareTexCoords[8] = {0, 0.9375f, 0.625f, 0.9375f, 0, 0, 0.625f, 0};

// Binds a new texture of w x h texels, sampled nearest or, as the show's
// are, mipmapped and linear.
GLuint texture(int w, int h, const std::uint8_t* rgba, bool nearest) {
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, nearest ? GL_NEAREST : GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, nearest ? GL_NEAREST : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, !nearest);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return tex;
}

// Sets up a quad to draw as a triangle strip: through the show's frustum when
// its positions have three coordinates, under identity matrices otherwise.
void set_quad(const GLfloat* quad, int dims, const GLfloat* st) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (dims == 3) glFrustumf(-1, 1, -1.5f, 1.5f, 1, 1000);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(dims, GL_FLOAT, 0, quad);
  glTexCoordPointer(2, GL_FLOAT, 0, st);
}

// Which texel of a w x h texture every landscape pixel shows when a quad is
// drawn the show's way: a triangle strip turned `degrees` about z, through
// the frustum when its positions have three coordinates. The texture holds
// each texel's own column and row, sampled nearest.
class Shown {
 public:
  Shown(const GLfloat* quad, int dims, const GLfloat* st, float degrees, int w, int h) {
    std::vector<std::uint8_t> ids(static_cast<std::size_t>(w) * h * 4);
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) {
        std::uint8_t* p = &ids[(static_cast<std::size_t>(r) * w + c) * 4];
        p[0] = c & 255, p[1] = r & 255, p[2] = static_cast<std::uint8_t>(0x80 | (c >> 8) | (r >> 8) << 3), p[3] = 255;
      }
    const GLuint tex = texture(w, h, ids.data(), true);
    set_quad(quad, dims, st);
    glRotatef(degrees, 0, 0, 1);
    glViewport(0, 0, 320, 480);
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    px_.resize(320 * 480 * 4);
    glReadPixels(0, 0, 320, 480, GL_RGBA, GL_UNSIGNED_BYTE, px_.data());
    glDeleteTextures(1, &tex);
  }
  // The texel at landscape (x, y), which shows portrait (319 - y, x); none where the quad does not reach.
  std::optional<std::array<int, 2>> at(int x, int y) const {
    if (x < 0 || y < 0 || x >= 480 || y >= 320) return std::nullopt;
    const std::uint8_t* p = &px_[(static_cast<std::size_t>(479 - x) * 320 + (319 - y)) * 4];
    if (!(p[2] & 0x80)) return std::nullopt;
    return std::array<int, 2>{p[0] | (p[2] & 7) << 8, p[1] | (p[2] >> 3 & 7) << 8};
  }

 private:
  std::vector<std::uint8_t> px_;
};

// ---- Files.

TEST(Pictures, EveryFileIsWrittenPowerOfTwoOpaqueUnlessItBlendsAndTheSameOnEveryRun) {
  const fs::path dir = fs::temp_directory_path() / ("velmora-pictures-test-" + std::to_string(::getpid()));
  const fs::path first = dir / "first", second = dir / "second";
  for (const auto& d : {first, second}) {
    fs::create_directories(d);
    assetgen::write_pictures(d);
  }
  std::set<std::string> written;
  for (const auto& e : fs::directory_iterator(first)) written.insert(e.path().filename().string());
  std::set<std::string> expected(kNames.begin(), kNames.end());
  expected.insert("icon.png");  // the window's, drawn beside the show's pictures
  EXPECT_EQ(written, expected);
  for (const auto& n : kNames) {
    SCOPED_TRACE(n);
    EXPECT_EQ(read_bytes(first / n), read_bytes(second / n));
    const Image d = assetgen::read_png(first / n);
    EXPECT_TRUE(is_pow2(d.width) && is_pow2(d.height)) << d.width << " x " << d.height;
    // Alpha is premultiplied on load: anything not meant to blend must be
    // opaque. The rig's tiny texture is black: only the silhouette shows.
    for (std::size_t i = 0; i < d.rgba.size(); i += 4) {
      ASSERT_TRUE(d.rgba[i + 3] == 255 || n == "logo.png" || n == "bubble.png") << "alpha " << int(d.rgba[i + 3]);
      ASSERT_TRUE(n != "small_black.png" || d.rgba[i] + d.rgba[i + 1] + d.rgba[i + 2] == 0);
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

// The set the build writes for a show rendered at 4 times its resolution:
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
  const fs::path dir = fs::temp_directory_path() / ("velmora-pictures-4x-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  assetgen::write_pictures(dir, 4);
  std::set<std::string> written, expected;
  for (const auto& e : fs::directory_iterator(dir)) written.insert(e.path().filename().string());
  for (const auto& f : assetgen::picture_files()) {
    SCOPED_TRACE(f.name);
    const Image one = f.draw(1);
    // Every scale up to the largest keeps power-of-two sides within the limit.
    EXPECT_TRUE(is_pow2(one.width) && is_pow2(one.height));
    EXPECT_LE(std::max(one.width, one.height) * assetgen::kMaxPictureScale, assetgen::kMaxPictureSide);
    if (!f.drawn_at_scale) continue;
    expected.insert(f.name);
    const Image four = assetgen::read_png(dir / f.name);
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
  EXPECT_EQ(written, expected);
  for (const char* kept : {"splat.png", "small_black.png", "bubble.png"}) EXPECT_FALSE(written.count(kept)) << kept;
  fs::remove_all(dir);
}

// ---- Full-screen pictures.

// Every landscape pixel of a canvas gets its own colour.
Image numbered_canvas(int height) {
  Image c(480, height, false);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 480; ++x) {
      std::uint8_t* p = c.at(x, y);
      p[0] = x & 255, p[1] = y & 255, p[2] = static_cast<std::uint8_t>(x >> 8 | (y >> 8) << 1);
    }
  return c;
}

// Stored, then drawn through the show's quad and texture coordinates, a
// canvas comes back pixel for pixel: stills, the scrolling background at
// the start of its window and 128 texels along, and the loading screen.
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

TEST(ScreenMapping, StoredPicturesShowAsDrawn) {
  NEED_GLES();
  struct Case {
    ScreenMapping mapping;
    int canvas_height, scroll;
  };
  for (const Case c : {Case{ScreenMapping::FarQuad, 320, 0}, Case{ScreenMapping::FarQuad, 512, 0},
                       Case{ScreenMapping::FarQuad, 512, 128}, Case{ScreenMapping::Upright, 320, 0}}) {
    SCOPED_TRACE(::testing::Message() << "canvas " << c.canvas_height << ", scroll " << c.scroll);
    const Image canvas = numbered_canvas(c.canvas_height);
    const Image file = assetgen::store_screen_picture(canvas, c.mapping);
    ASSERT_EQ(file.width, 512);
    ASSERT_EQ(file.height, 512);
    GLfloat st[8];
    std::copy(kSquareTexCoords, kSquareTexCoords + 8, st);
    for (int i = 0; i < 8; i += 2) st[i] += static_cast<GLfloat>(c.scroll) / 512;
    const Shown shown = c.mapping == ScreenMapping::FarQuad ? Shown(kFarQuad, 3, st, 0, 512, 512)
                                                            : Shown(kScreenQuad, 2, st, 0, 512, 512);
    const int first_row = c.canvas_height - 320 - c.scroll;  // of the canvas, at the view's top
    int wrong = 0;
    for (int y = 0; y < 320; ++y)
      for (int x = 0; x < 480; ++x) {
        const auto t = shown.at(x, y);
        ASSERT_TRUE(t) << "the quad must fill the view";
        wrong += std::memcmp(file.at((*t)[0], (*t)[1]), canvas.at(x, y + first_row), 3) != 0;
      }
    EXPECT_EQ(wrong, 0);
  }
}

// The opening's logo blends: it has alpha, clear over most of the view and
// over the rig in its lower left (landscape x below 250, y from 150, stored
// in file columns below 170 and rows from 230), solid in its letters.
TEST(Pictures, LogoBlendsAndLeavesTheRigToBeSeen) {
  const Image& logo = picture("logo.png");
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

// The cube's light on the grass is brightest under the cube, in the middle of
// the ground's map, and black at the edges: it is added over the grass.
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
int sum_of(const std::uint8_t* p) { return p[0] + p[1] + p[2]; }

TEST(Pictures, CreatureEyesMouthAndFinsSitWhereTheMeshTakesThem) {
  const Image& tex = picture("mureltextur.png");
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

TEST(Pictures, CreatureFarSideIsTheSeenSideUpsideDown) {
  const Image& tex = picture("mureltextur.png");
  for (int y = 0; y < tex.height / 2; ++y)
    ASSERT_EQ(0, std::memcmp(tex.at(0, y), tex.at(0, tex.height - 1 - y), static_cast<std::size_t>(tex.width) * 4))
        << "row " << y;
}

TEST(Pictures, GlowCubeIsBrightTealWithAWhiteCore) {
  // Drawn at 0.4 and rendered, faces added up, into its own glow: no dull
  // part anywhere, the teal at full strength along the rims, a white core,
  // and on average enough of every channel for the glow to be at its
  // strongest, without the face washing out to grey.
  const Image& cube = picture("treetrunk_cube_textur.png");
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
  EXPECT_GT(sum_of(cube.at(h, h)), 720);
}

TEST(Pictures, GrassLightIsBrightestUnderTheCubeAndBlackAtTheEdges) {
  const Image& l = picture("grass1.png");
  const int c = l.width / 2;
  EXPECT_GT(sum(l, c, c), 700);
  for (auto [x, y] : {std::pair{0, c}, {c, 0}, {l.width - 1, c}, {c, l.height - 1}, {0, 0}}) EXPECT_EQ(sum(l, x, y), 0);
}

// ---- Text strips.

int lit_pixels(const Image& d, double from_row, double to_row) {
  int lit = 0;
  for (int y = static_cast<int>(std::ceil(from_row)); y < to_row; ++y)
    for (int x = 0; x < d.width; ++x) lit += sum(d, x, y) > 300;
  return lit;
}

// Each strip holds its line, and rows within four of a boundary (and of the
// file's edges, where the texture wraps) stay black: the texture is mipmapped
// and filtered. Credits strips 3 and 4 stay empty.
TEST(Pictures, TextStripsHoldTheirLinesClearOfTheBoundaries) {
  for (auto [name, strips, lines, min_lit] : {std::tuple{"greets.png", 10, 10, 200}, {"credits.png", 5, 3, 500}}) {
    SCOPED_TRACE(name);
    const Image& d = picture(name);
    const double rows = static_cast<double>(d.height) / strips;
    for (int k = 0; k <= strips; ++k)
      for (int r = static_cast<int>(std::floor(k * rows)) - 4; r <= static_cast<int>(std::ceil(k * rows)) + 4; ++r)
        for (int x = 0; x < d.width; ++x) ASSERT_EQ(sum(d, x, (r + d.height) % d.height), 0) << "row " << r;
    for (int k = 0; k < lines; ++k) EXPECT_GT(lit_pixels(d, k * rows, (k + 1) * rows), min_lit) << "strip " << k;
    for (int y = static_cast<int>(lines * rows); y < d.height; ++y)
      for (int x = 0; x < d.width; ++x) ASSERT_EQ(sum(d, x, y), 0) << "row " << y;
  }
}

// A strip drawn the ordinary way (columns left to right, rows top to bottom)
// shows upright through the scene's rotated quad and its strip's texture
// coordinates: the texel column grows to the right, the row downwards, and
// the strip fills its place on the landscape view and no more.
TEST(TextStrips, ShowUprightInTheLandscapeView) {
  NEED_GLES();
  auto strip = [](int n, int strips) {
    const GLfloat top = static_cast<GLfloat>(n) / strips, bottom = static_cast<GLfloat>(n + 1) / strips;
    return std::array<GLfloat, 8>{1, bottom, 0, bottom, 1, top, 0, top};
  };
  auto expect_upright = [](const Shown& s, int x0, int y0, int x1, int y1, int columns, double top, double bottom) {
    const auto tl = s.at(x0 + 1, y0 + 1), br = s.at(x1 - 2, y1 - 2);
    ASSERT_TRUE(tl && br);
    EXPECT_LT((*tl)[0], 5);
    EXPECT_GT((*br)[0], columns - 6);
    EXPECT_NEAR((*tl)[1], top + 1.6, 1.5);
    EXPECT_NEAR((*br)[1], bottom - 1.6, 1.5);
    EXPECT_FALSE(s.at(x1 + 2, (y0 + y1) / 2) || s.at((x0 + x1) / 2, y1 + 2) || s.at(x0 - 3, (y0 + y1) / 2));
  };
  // Greetings: two lines of 48 rows about the middle, strip 4 in the left
  // half, strip 5 on the same quad moved 750 along x in the right half.
  const GLfloat line[12] = {0, 75, -500, 750, 75, -500, 0, -75, -500, 750, -75, -500};
  const GLfloat moved[12] = {-750, 75, -500, 0, 75, -500, -750, -75, -500, 0, -75, -500};
  expect_upright(Shown(line, 3, strip(4, 10).data(), 90, 256, 512), 0, 136, 240, 184, 256, 4 * 51.2, 5 * 51.2);
  expect_upright(Shown(moved, 3, strip(5, 10).data(), 90, 256, 512), 240, 136, 480, 184, 256, 5 * 51.2, 6 * 51.2);
  // Credits: page 1 in a band 96 rows tall along the top, from x 16 to 463.
  const GLfloat band[12] = {-700, -200, -500, 700, -200, -500, -700, -500, -500, 700, -500, -500};
  expect_upright(Shown(band, 3, strip(1, 5).data(), 90, 512, 512), 16, 0, 464, 96, 512, 102.4, 204.8);
}

// ---- The blob and the metaball threshold.

// The blob pass drawn the scene's way (up to four blobs added into a 128 x
// 128 image at distance 50, their offsets accumulating), read back and
// classed by the threshold: black bodies that never touch the teal field,
// outlined in thin white.
TEST(Pictures, MetaballPassDrawsBlackBodiesOutlinedInWhiteOnTeal) {
  NEED_GLES();
  constexpr int kSide = 128;
  const Image& s = picture("splat.png");
  const GLuint tex = texture(s.width, s.height, s.rgba.data(), false);
  const GLfloat quad[] = {-100, 100, -50, 100, 100, -50, -100, -100, -50, 100, -100, -50};
  const GLfloat st[] = {0, 1, 1, 1, 0, 0, 1, 0};
  set_quad(quad, 3, st);
  glClearColor(0, 0, 0, 1);
  glBlendFunc(GL_ONE, GL_ONE);
  glEnable(GL_BLEND);
  glViewport(0, 0, kSide, kSide);
  enum Class { kTeal, kBlack, kWhite };
  for (float t : {2.5f, 3.2f, 4.5f, 5.5f, 7.0f, 8.5f, 10.0f, 11.5f, 13.0f, 14.5f}) {
    SCOPED_TRACE(::testing::Message() << "t = " << t);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT);
    std::vector<std::array<int, 2>> centres;
    double cx = 0, cy = 0;
    const float u = std::max(t, 3.5f);
    for (int i = 1; i < std::min(static_cast<int>(t), 5); ++i) {
      const double dx = 15.0 * std::sin(56266.0 * i + 0.4 * (i * (u + 79.0f)));
      const double dy = 20.0 * std::sin(75437.0 * i + 0.3 * (i * (u + 32.0f)));
      glTranslatef(static_cast<float>(dx), static_cast<float>(dy), 0);
      glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
      cx += dx, cy += dy;  // the view spans +-50 across and +-75 up at this depth
      centres.push_back({static_cast<int>(std::floor((cx / 50 + 1) * kSide / 2)),
                         static_cast<int>(std::floor((cy / 75 + 1) * kSide / 2))});
    }
    std::vector<std::uint8_t> px(kSide * kSide * 4);
    glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    auto inside = [](int x, int y) { return x >= 0 && y >= 0 && x < kSide && y < kSide; };
    auto at = [&](int x, int y) {
      if (!inside(x, y)) return kTeal;  // the field goes on past the edge
      const std::uint8_t* p = &px[(static_cast<std::size_t>(y) * kSide + x) * 4];
      return p[0] < 160 ? kTeal : p[0] == p[1] ? kBlack : kWhite;
    };
    int count[3] = {}, touching = 0, deep_white = 0;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const Class c = at(x, y);
        ++count[c];
        if (c == kBlack)
          for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
            touching += inside(x + dx, y + dy) && at(x + dx, y + dy) == kTeal;
        // Thin: every white pixel lies within 6 units (1.28 pixels a unit
        // across, 0.85 up) of the teal field; a lone blob's rim is 3.5 wide.
        if (c == kWhite) {
          bool near = false;
          for (int dy = -6; dy <= 6 && !near; ++dy)
            for (int dx = -8; dx <= 8 && !near; ++dx)
              near = std::hypot(dx / 1.28, dy / (128.0 / 150)) <= 6 && at(x + dx, y + dy) == kTeal;
          deep_white += !near;
        }
      }
    EXPECT_EQ(touching, 0) << "black touches teal";
    EXPECT_EQ(deep_white, 0) << "white inside a body";
    for (const auto& c : centres) EXPECT_TRUE(!inside(c[0], c[1]) || at(c[0], c[1]) == kBlack) << "a blob's centre";
    EXPECT_GT(count[kTeal], kSide * kSide / 2);
    EXPECT_GT(count[kWhite], 0);
    EXPECT_TRUE(centres.size() < 2 || count[kBlack] > count[kWhite]) << "merged bodies outweigh their outlines";
  }
  glDeleteTextures(1, &tex);
}

}  // namespace
