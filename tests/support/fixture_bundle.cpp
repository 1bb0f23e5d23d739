#include "support/fixture_bundle.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "platform/png.h"

namespace fixture {

const char* const kImageNames[15] = {
    "loading.png",       "background_scene1.png",     "logo.png",             "small_black.png",
    "bubble.png",        "splat.png",                 "mureltextur.png",      "murelbg.png",
    "greets.png",        "treetrunk_cube_textur.png", "treetrunk_textur.png", "grass.png",
    "grass1.png",        "credits.png",               "korvane_final.png"};

const char* const kMeshNames[13] = {"pipe_hi.obj",         "pipe_lo.obj",      "drill_arm_connector.obj",
                                    "drill_body.obj",      "hammer_left.obj",  "hammer_right.obj",
                                    "drill_head.obj",      "wheel_small.obj",  "wheel_large.obj",
                                    "murel.obj",           "treetrunk_cube.obj", "treetrunk.obj",
                                    "grass.obj"};

namespace {

// The folders this process made, removed when it ends; a forked child that
// exits leaves its parent's alone.
struct TempDirs {
  pid_t owner = ::getpid();
  std::vector<std::filesystem::path> dirs;
  ~TempDirs() {
    if (::getpid() != owner) return;
    std::error_code ignored;
    for (const auto& dir : dirs) std::filesystem::remove_all(dir, ignored);
  }
};

}  // namespace

std::filesystem::path make_temp_dir(const std::string& name) {
  static TempDirs made;
  const auto dir = std::filesystem::temp_directory_path() /
                   ("velmora-" + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  made.dirs.push_back(dir);
  return dir;
}

void write_rgba_png(const std::filesystem::path& path, int width, int height,
                    const std::function<Rgba(int x, int y)>& colour) {
  std::vector<std::uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgba c = colour(x, y);
      std::uint8_t* p = &pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
      p[3] = c.a;
    }
  }
  std::string error;
  if (!platform::writePng(path.string(), width, height, pixels.data(), &error)) {
    throw std::runtime_error(path.string() + ": " + error);
  }
}

void write_png(const std::filesystem::path& path, int width, int height, int colour_type, int depth,
               const std::vector<std::uint8_t>& rows, const std::vector<png_color>& palette,
               const std::vector<png_byte>& trans, bool interlaced, const png_color_16* trans_colour) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error(path.string() + ": cannot write");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth, colour_type,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!trans.empty() || trans_colour) {
    png_set_tRNS(png, info, trans.empty() ? nullptr : trans.data(), static_cast<int>(trans.size()), trans_colour);
  }
  png_write_info(png, info);
  const size_t pitch = rows.size() / static_cast<size_t>(height);
  std::vector<png_bytep> starts;
  for (int y = 0; y < height; ++y) starts.push_back(const_cast<png_bytep>(rows.data() + static_cast<size_t>(y) * pitch));
  png_write_image(png, starts.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

void write_text(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error(path.string() + ": cannot write");
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> read_png(const std::filesystem::path& path, int* width, int* height) {
  platform::PngReader png;
  if (!png.open(path.string())) return {};
  if (width) *width = png.width();
  if (height) *height = png.height();
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(png.width()) * png.height() * 4);
  if (!png.readPremultiplied(rgba.data())) return {};
  return rgba;
}

std::vector<std::uint8_t> rgb_of(const std::vector<std::uint8_t>& rgba) {
  std::vector<std::uint8_t> rgb(rgba.size() / 4 * 3);
  for (std::size_t i = 0; i < rgba.size() / 4; ++i) std::copy_n(rgba.data() + 4 * i, 3, rgb.data() + 3 * i);
  return rgb;
}

void write_bundle(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  int n = 0;
  for (const char* name : kImageNames) {
    const auto shade = static_cast<std::uint8_t>(40 + 13 * n++);
    write_rgba_png(dir / name, 16, 16, [&](int, int) { return Rgba{shade, 128, static_cast<std::uint8_t>(255 - shade), 255}; });
  }
  for (const char* name : kMeshNames) {
    write_text(dir / name,
               "v 0 0 0\nv 0 10 0\nv 0 0 10\nvt 0 0 0\nvt 1 0 0\nvt 0 1 0\nvn 1 0 0\n"
               "f 1/1/1 2/2/1 3/3/1\n");
  }
}

const std::filesystem::path& plain_bundle() {
  static const std::filesystem::path dir = [] {
    auto d = make_temp_dir("plain-bundle");
    write_bundle(d);
    return d;
  }();
  return dir;
}

}  // namespace fixture
