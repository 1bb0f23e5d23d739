#pragma once
// PNG files in and out. Reading turns any colour type into 8-bit RGBA with
// premultiplied alpha, top row first, the same pixels in every flavour (the
// desktop decodes with libpng, platform/desktop/png.cpp; the page with
// stb_image, platform/web/png.cpp); writing, the desktop's alone, goes
// through a temporary file so that no half-written picture is left behind.
//
// What a file may ask of the reader is bounded: sides of at most
// kMaxPictureSide pixels, and the ancillary chunks the show never uses (text,
// calibration, palettes of suggestions, ...) are skipped unread, so no chunk
// can make the reader allocate what its header claims.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace platform {

constexpr int kMaxPictureSide = 4096;

class PngReader {
 public:
  PngReader() = default;
  ~PngReader();
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  // Opens the file and reads its header. False when it is missing, not a
  // regular file, not a PNG, or larger than kMaxPictureSide on a side.
  bool open(const std::string& path);
  // The same for a PNG held in memory, which must outlive the reader.
  bool open(std::span<const std::uint8_t> bytes);
  int width() const { return width_; }
  int height() const { return height_; }
  // Decodes the whole image into `rgba` (width * height * 4 bytes): R, G, B, A
  // with colour premultiplied by alpha, top row first. False when the data is
  // truncated or corrupt; `rgba` then holds no meaningful picture.
  bool readPremultiplied(std::uint8_t* rgba);
  const std::string& error() const { return error_; }
  // Whether the last failure was memory running out rather than the file
  // ("out of memory", or libpng's "Insufficient memory ...").
  bool outOfMemory() const { return error_.find("memory") != std::string::npos; }

  // Where the data comes from: a file, or memory.
  struct Source {
    std::FILE* file = nullptr;
    std::span<const std::uint8_t> memory;
    std::size_t offset = 0;
  };

 private:
  // The flavour's decoding state, defined beside its decoder.
  struct Decoder;
  struct DecoderDeleter {
    void operator()(Decoder* decoder) const;
  };

  void close();
  // Reads the header from the source (the flavour's).
  bool start();

  Source source_;
  std::unique_ptr<Decoder, DecoderDeleter> decoder_;
  int width_ = 0;
  int height_ = 0;
  std::string error_;
};

// Writes an 8-bit RGBA picture (top row first, straight alpha) to `path` ("-"
// for standard output). On failure returns false with a one-line reason in
// *error that names the file.
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba, std::string* error);

}  // namespace platform
