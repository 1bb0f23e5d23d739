// PNG files in the browser: the desktop reader's interface over the stb-based
// decoder (platform/web/png_decode.h). A file is read whole when it is
// decoded; its header alone when it is opened. Pictures are never written
// here: writePng is the desktop's alone.
#include "platform/png.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/web/png_decode.h"

namespace platform {
namespace {

// A PNG's signature and header chunk.
constexpr std::size_t kHeaderBytes = 33;

}  // namespace

// The page keeps nothing between the header and the picture: it decodes the
// source's bytes whole when asked.
struct PngReader::Decoder {};

void PngReader::DecoderDeleter::operator()(Decoder* decoder) const { delete decoder; }

bool PngReader::start() {
  std::uint8_t header[kHeaderBytes];
  std::span<const std::uint8_t> bytes = source_.memory;
  if (source_.file) {
    const std::size_t n = std::fread(header, 1, sizeof header, source_.file);
    bytes = std::span<const std::uint8_t>(header, n);
  }
  if (!web::png_size(bytes.first(std::min(bytes.size(), kHeaderBytes)), &width_, &height_, &error_)) return false;
  if (width_ > kMaxPictureSide || height_ > kMaxPictureSide) {
    error_ = "picture too large";
    return false;
  }
  return width_ > 0 && height_ > 0;
}

bool PngReader::readPremultiplied(std::uint8_t* rgba) {
  std::vector<std::uint8_t> file;
  std::span<const std::uint8_t> bytes = source_.memory;
  if (source_.file) {
    if (std::fseek(source_.file, 0, SEEK_SET) != 0) {
      error_ = std::strerror(errno);
      return false;
    }
    std::uint8_t chunk[1 << 16];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, source_.file)) > 0;) file.insert(file.end(), chunk, chunk + n);
    bytes = file;
  }
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
  if (!web::decode_png_premultiplied(bytes, &width, &height, &pixels, &error_)) return false;
  if (width != width_ || height != height_) {
    error_ = "unexpected picture size";
    return false;
  }
  std::memcpy(rgba, pixels.data(), pixels.size());
  return true;
}

}  // namespace platform
