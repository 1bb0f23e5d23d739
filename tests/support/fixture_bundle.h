#pragma once
// Small bundles made on the spot: plain pictures and tiny meshes under every
// name the show loads, so the start-up and the loaders can run without the
// generated bundle.
#include <png.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fixture {

struct Rgba {
  std::uint8_t r, g, b, a;
};

// A fresh empty directory under the system's temporary directory.
std::filesystem::path make_temp_dir(const std::string& name);

// Writes an 8-bit RGBA PNG whose pixel (x, y) (y from the top) is `colour(x, y)`.
void write_rgba_png(const std::filesystem::path& path, int width, int height,
                    const std::function<Rgba(int x, int y)>& colour);

// Writes a PNG of any colour type and bit depth from raw rows in the file's
// own layout (top row first), with a palette and transparency (alphas for
// palette entries, or one transparent grey or RGB colour) if given,
// interlaced or not.
void write_png(const std::filesystem::path& path, int width, int height, int colour_type, int depth,
               const std::vector<std::uint8_t>& rows, const std::vector<png_color>& palette = {},
               const std::vector<png_byte>& trans = {}, bool interlaced = false,
               const png_color_16* trans_colour = nullptr);

void write_text(const std::filesystem::path& path, const std::string& text);

// A file's bytes; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);

// A PNG file's pixels as premultiplied RGBA rows, top row first, and its
// size; empty when it cannot be read.
std::vector<std::uint8_t> read_png(const std::filesystem::path& path, int* width = nullptr, int* height = nullptr);

// RGBA pixels without their alpha.
std::vector<std::uint8_t> rgb_of(const std::vector<std::uint8_t>& rgba);

// Every image and mesh the show loads, small and plain: each image a flat
// colour (distinct per file), each mesh one triangle. No soundtrack.
void write_bundle(const std::filesystem::path& dir);

// One such bundle for the whole process, written on first use.
const std::filesystem::path& plain_bundle();

// The names, in load order.
extern const char* const kImageNames[15];
extern const char* const kMeshNames[13];

}  // namespace fixture
