// The browser's PNG decoder (stb_image) gives exactly the desktop reader's
// (libpng) pixels: for every picture of the bundle, and for pictures of every
// colour type and bit depth up to 8, interlaced or not. 16-bit pictures,
// which the browser's decoder cannot read, are refused rather than misread.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "platform/png.h"
#include "platform/web/png_decode.h"
#include "support/fixture_bundle.h"

namespace {

namespace fs = std::filesystem;

struct Decoded {
  bool ok = false;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
};

std::vector<std::uint8_t> bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Decoded on_the_desktop(std::span<const std::uint8_t> bytes) {
  Decoded d;
  platform::PngReader reader;
  if (!reader.open(bytes)) return d;
  d.width = reader.width();
  d.height = reader.height();
  d.rgba.resize(static_cast<size_t>(d.width) * static_cast<size_t>(d.height) * 4);
  d.ok = reader.readPremultiplied(d.rgba.data());
  return d;
}

Decoded in_the_browser(std::span<const std::uint8_t> bytes) {
  Decoded d;
  std::string error;
  d.ok = platform::web::decode_png_premultiplied(bytes, &d.width, &d.height, &d.rgba, &error);
  return d;
}

void expect_same_pixels(const fs::path& path) {
  SCOPED_TRACE(path.filename().string());
  const std::vector<std::uint8_t> bytes = bytes_of(path);
  const Decoded desktop = on_the_desktop(bytes);
  const Decoded browser = in_the_browser(bytes);
  ASSERT_TRUE(desktop.ok);
  ASSERT_TRUE(browser.ok);
  EXPECT_EQ(browser.width, desktop.width);
  EXPECT_EQ(browser.height, desktop.height);
  EXPECT_TRUE(browser.rgba == desktop.rgba);
}

TEST(WebPng, TheBundlesPicturesDecodeToTheDesktopsPixels) {
  int pictures = 0;
  for (const auto& entry : fs::directory_iterator(VELMORA_BUNDLE_DIR)) {
    if (entry.path().extension() != ".png") continue;
    expect_same_pixels(entry.path());
    ++pictures;
  }
  EXPECT_EQ(pictures, 16);  // the show's fifteen and the window's icon
}

TEST(WebPng, EveryColourTypeAndDepthDecodesToTheDesktopsPixels) {
  const fs::path dir = fixture::make_temp_dir("web-png");
  // Odd sizes, so that rows of fewer than 8 bits a pixel end part-way
  // through a byte, and values that exercise every level and alpha.
  constexpr int kW = 13;
  constexpr int kH = 7;
  struct Kind {
    const char* name;
    int colour_type;
    int depth;
    int channels;
  };
  const Kind kinds[] = {
      {"gray1", PNG_COLOR_TYPE_GRAY, 1, 1},         {"gray2", PNG_COLOR_TYPE_GRAY, 2, 1},
      {"gray4", PNG_COLOR_TYPE_GRAY, 4, 1},         {"gray8", PNG_COLOR_TYPE_GRAY, 8, 1},
      {"grayalpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2}, {"rgb", PNG_COLOR_TYPE_RGB, 8, 3},
      {"rgba", PNG_COLOR_TYPE_RGBA, 8, 4},          {"palette1", PNG_COLOR_TYPE_PALETTE, 1, 1},
      {"palette2", PNG_COLOR_TYPE_PALETTE, 2, 1},   {"palette4", PNG_COLOR_TYPE_PALETTE, 4, 1},
      {"palette8", PNG_COLOR_TYPE_PALETTE, 8, 1},
  };
  for (const Kind& kind : kinds) {
    const int pitch = (kW * kind.channels * kind.depth + 7) / 8;
    std::vector<std::uint8_t> rows(static_cast<size_t>(pitch) * kH);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::uint8_t>(i * 97 + 31);
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
    if (kind.colour_type == PNG_COLOR_TYPE_PALETTE) {
      // Every index a row can hold is in the palette; some entries see-through.
      for (int i = 0; i < (1 << kind.depth); ++i) {
        palette.push_back({static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i * 11), static_cast<png_byte>(i * 5)});
        alphas.push_back(static_cast<png_byte>(255 - i * 23));
      }
    }
    for (bool interlaced : {false, true}) {
      const std::string name = std::string(kind.name) + (interlaced ? "-interlaced" : "") + ".png";
      fixture::write_png(dir / name, kW, kH, kind.colour_type, kind.depth, rows, palette, {}, interlaced);
      expect_same_pixels(dir / name);
      if (kind.colour_type == PNG_COLOR_TYPE_PALETTE) {
        fixture::write_png(dir / ("trns-" + name), kW, kH, kind.colour_type, kind.depth, rows, palette, alphas, interlaced);
        expect_same_pixels(dir / ("trns-" + name));
      }
    }
    // One grey or RGB colour made transparent.
    if (kind.colour_type == PNG_COLOR_TYPE_GRAY || kind.colour_type == PNG_COLOR_TYPE_RGB) {
      const png_byte first = rows[0];
      png_color_16 clear{};
      clear.gray = static_cast<png_uint_16>(kind.depth == 8 ? first : first >> (8 - kind.depth));
      clear.red = first;
      clear.green = rows[1];
      clear.blue = rows[2];
      const std::string name = std::string("trns-") + kind.name + ".png";
      fixture::write_png(dir / name, kW, kH, kind.colour_type, kind.depth, rows, {}, {}, false, &clear);
      expect_same_pixels(dir / name);
    }
  }
}

TEST(WebPng, SixteenBitPicturesAreRefused) {
  const fs::path dir = fixture::make_temp_dir("web-png-16");
  fixture::write_png(dir / "rgb16.png", 2, 1, PNG_COLOR_TYPE_RGB, 16, {0, 0, 0, 0, 0, 0, 0xff, 0xff, 0x80, 0, 0, 0});
  EXPECT_FALSE(in_the_browser(bytes_of(dir / "rgb16.png")).ok);
}

}  // namespace
