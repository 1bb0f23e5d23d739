#pragma once
// PNG files in and out (libpng). Reading turns any colour type into 8-bit RGBA
// with premultiplied alpha, top row first; writing goes through a temporary
// file so that no half-written picture is ever left behind.
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

class PngReader {
 public:
  PngReader() = default;
  ~PngReader();
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  // Opens the file and reads its header. False when it is missing or not a PNG.
  bool open(const std::string& path);
  int width() const { return width_; }
  int height() const { return height_; }
  // Decodes the whole image into `rgba` (width * height * 4 bytes): R, G, B, A
  // with colour premultiplied by alpha, top row first. False when the data is
  // truncated or corrupt; `rgba` then holds no meaningful picture.
  bool readPremultiplied(std::uint8_t* rgba);
  const std::string& error() const { return error_; }

 private:
  void close();

  std::FILE* file_ = nullptr;
  void* png_ = nullptr;
  void* info_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::string error_;
};

// Writes an 8-bit RGBA picture (top row first, straight alpha) to `path`.
// On failure returns false with a one-line reason in *error.
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba, std::string* error);

}  // namespace platform
