// PNG decoding into premultiplied RGBA, top row first; the texture cache and
// its messages, the GL state of a loaded texture, and the loads that end the
// process.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <png.h>
#include <zlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "assets/texture.h"
#include "platform/bundle.h"
#include "platform/png.h"
#include "support/fixture_bundle.h"
#include "support/gl_fixture.h"

namespace {

const std::filesystem::path& dir() {
  static const auto d = fixture::make_temp_dir("texture");
  return d;
}

// A PNG of any colour type in the test's folder.
void write_png(const std::string& name, int w, int h, int colour_type, int depth, const std::vector<std::uint8_t>& data,
               const std::vector<png_color>& palette = {}, const std::vector<png_byte>& trans = {},
               bool interlaced = false) {
  fixture::write_png(dir() / name, w, h, colour_type, depth, data, palette, trans, interlaced);
}

std::vector<std::uint8_t> decode(const std::string& name, int* w = nullptr, int* h = nullptr) {
  platform::PngReader r;
  EXPECT_TRUE(r.open((dir() / name).string())) << name;
  std::vector<std::uint8_t> px(static_cast<size_t>(r.width()) * r.height() * 4);
  EXPECT_TRUE(r.readPremultiplied(px.data())) << name;
  if (w) *w = r.width();
  if (h) *h = r.height();
  return px;
}

std::vector<int> at(const std::vector<std::uint8_t>& px, int w, int x, int y) {
  const std::uint8_t* p = &px[(y * w + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

TEST(PngDecode, EveryColourTypeBecomesPremultipliedRgba) {
  // 2 x 1 pictures of each kind; the second pixel tells the formats apart.
  write_png("gray8.png", 2, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 200});
  write_png("gray16.png", 2, 1, PNG_COLOR_TYPE_GRAY, 16, {0, 0, 0x80, 0x00});
  write_png("gray1.png", 2, 1, PNG_COLOR_TYPE_GRAY, 1, {0x40});
  write_png("grayalpha.png", 2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {10, 255, 200, 0});
  write_png("palette.png", 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1}, {{1, 2, 3}, {255, 0, 255}});
  write_png("palette_trns.png", 2, 1, PNG_COLOR_TYPE_PALETTE, 4, {0x01}, {{1, 2, 3}, {255, 0, 255}}, {255, 128});
  write_png("rgb.png", 2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 40, 50, 60});
  write_png("rgb16.png", 2, 1, PNG_COLOR_TYPE_RGB, 16, {0, 0, 0, 0, 0, 0, 0xff, 0xff, 0x80, 0x00, 0, 0});
  write_png("rgba.png", 2, 1, PNG_COLOR_TYPE_RGBA, 8, {0, 0, 0, 0, 255, 255, 255, 128});

  int w = 0;
  EXPECT_EQ(at(decode("gray8.png", &w), w, 1, 0), (std::vector<int>{200, 200, 200, 255}));
  EXPECT_EQ(at(decode("gray16.png", &w), w, 1, 0), (std::vector<int>{128, 128, 128, 255}));
  EXPECT_EQ(at(decode("gray1.png", &w), w, 1, 0), (std::vector<int>{255, 255, 255, 255}));
  EXPECT_EQ(at(decode("gray1.png", &w), w, 0, 0), (std::vector<int>{0, 0, 0, 255}));
  EXPECT_EQ(at(decode("grayalpha.png", &w), w, 0, 0), (std::vector<int>{10, 10, 10, 255}));
  EXPECT_EQ(at(decode("grayalpha.png", &w), w, 1, 0), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(at(decode("palette.png", &w), w, 1, 0), (std::vector<int>{255, 0, 255, 255}));
  EXPECT_EQ(at(decode("palette_trns.png", &w), w, 1, 0), (std::vector<int>{128, 0, 128, 128}));
  EXPECT_EQ(at(decode("rgb.png", &w), w, 1, 0), (std::vector<int>{40, 50, 60, 255}));
  EXPECT_EQ(at(decode("rgb16.png", &w), w, 1, 0), (std::vector<int>{255, 128, 0, 255}));
  // Fully transparent is all zero; half-transparent white about half grey.
  EXPECT_EQ(at(decode("rgba.png", &w), w, 0, 0), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(at(decode("rgba.png", &w), w, 1, 0), (std::vector<int>{128, 128, 128, 128}));
}

TEST(PngDecode, InterlacedAndNonSquarePicturesKeepTheirLayout) {
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) rgb.insert(rgb.end(), {static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 60), 7});
  write_png("interlaced.png", 8, 4, PNG_COLOR_TYPE_RGB, 8, rgb, {}, {}, true);
  int w = 0;
  int h = 0;
  const auto px = decode("interlaced.png", &w, &h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(at(px, w, 7, 0), (std::vector<int>{210, 0, 7, 255}));  // top row first
  EXPECT_EQ(at(px, w, 2, 3), (std::vector<int>{60, 180, 7, 255}));
}

class TextureTest : public fixture::GLTest {
 protected:
  void SetUp() override {
    fixture::GLTest::SetUp();
    platform::setBundlePath(dir().string());
  }
};

TEST_F(TextureTest, EachNameLoadsOnceWithItsMessagesAndTheShowsStateAndStaysBound) {
  write_png("once.png", 4, 2, PNG_COLOR_TYPE_RGB, 8, std::vector<std::uint8_t>(4 * 2 * 3, 90));
  glDisable(GL_TEXTURE_2D);
  ::testing::internal::CaptureStdout();
  texture* a = texture::LoadTexture("once.png");
  texture* b = texture::LoadTexture("once.png");
  texture* c = texture::LoadTexture("./once.png");  // another spelling, another entry
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Loading new texture: once.png\nReturning cached texture: once.png\nLoading new texture: ./once.png\n");
  EXPECT_EQ(a, b);
  EXPECT_NE(a->texId, c->texId);
  EXPECT_EQ(a->width, 4);  // non-square sizes are kept
  EXPECT_EQ(a->height, 2);
  EXPECT_EQ(texture::mLoadedTextures->count("once.png"), 1u);

  // The last one loaded stays bound, with the show's filtering and wrapping.
  auto bound = [] {
    GLint id = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &id);
    return static_cast<GLuint>(id);
  };
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(bound(), c->texId);
  for (auto [param, value] : {std::pair{GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR}, {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                              {GL_GENERATE_MIPMAP, GL_TRUE}, {GL_TEXTURE_WRAP_S, GL_REPEAT}, {GL_TEXTURE_WRAP_T, GL_REPEAT}}) {
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, param, &v);
    EXPECT_EQ(v, value) << param;
  }
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, 0);
  a->BindTexture();
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(bound(), a->texId);
}

class TextureDeathTest : public TextureTest {};

std::string be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// A PNG signature, a w x h RGB header, and one chunk that claims `length`
// bytes but holds only two.
std::string png_with_chunk(std::uint32_t w, std::uint32_t h, const char* type, std::uint32_t length) {
  const std::string ihdr = std::string("IHDR") + be32(w) + be32(h) + std::string("\x08\x02\x00\x00\x00", 5);
  const auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(ihdr.data()), 17));
  return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + ihdr + be32(crc) + be32(length) + type + "ab";
}

TEST_F(TextureDeathTest, MissingUndecodableAndOversizedImagesEndTheProcess) {
  fixture::write_text(dir() / "garbage.png", "garbage");
  // A picture cut in half, and one with bytes flipped in its data.
  std::vector<std::uint8_t> rgb(64 * 64 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 7);
  write_png("whole.png", 64, 64, PNG_COLOR_TYPE_RGB, 8, rgb);
  std::string bytes = fixture::read_file(dir() / "whole.png");
  fixture::write_text(dir() / "cut.png", bytes.substr(0, bytes.size() / 2));
  for (size_t i = 100; i < 140; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  fixture::write_text(dir() / "corrupt.png", bytes);
  // A header claiming 100000 x 100000 pixels, and nothing behind it.
  fixture::write_text(dir() / "huge.png", png_with_chunk(100000, 100000, "IEND", 0));
  // What a file may claim costs nothing: a 2 GB text chunk in a 43-byte
  // file, and a highly compressible 16384 x 16384 "bomb".
  fixture::write_text(dir() / "chunk.png", png_with_chunk(32, 32, "tEXt", 0x7fffffff));
  fixture::write_text(dir() / "bomb.png", png_with_chunk(16384, 16384, "IDAT", 0));
  // Names that are not regular files.
  std::filesystem::remove(dir() / "fifo.png");
  ASSERT_EQ(mkfifo((dir() / "fifo.png").c_str(), 0600), 0);
  std::filesystem::create_directories(dir() / "folder.png");
  for (const char* name : {"absent.png", "garbage.png", "cut.png", "corrupt.png", "huge.png", "chunk.png", "bomb.png",
                           "fifo.png", "folder.png"}) {
    EXPECT_EXIT(texture::LoadTexture(name), ::testing::ExitedWithCode(255),
                std::string("^Unable to load: ") + name + "\n$")
        << name;
  }
}

}  // namespace
