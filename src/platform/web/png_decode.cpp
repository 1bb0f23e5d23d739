#include "platform/web/png_decode.h"

#include "platform/frame.h"

#include <climits>
#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_SIMD
#include <stb_image.h>

namespace platform::web {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

bool is_png(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

int length_of(std::span<const std::uint8_t> bytes) {
  return bytes.size() > INT_MAX ? INT_MAX : static_cast<int>(bytes.size());
}

}  // namespace

bool png_size(std::span<const std::uint8_t> bytes, int* width, int* height, std::string* error) {
  int channels = 0;
  if (!is_png(bytes) || !stbi_info_from_memory(bytes.data(), length_of(bytes), width, height, &channels)) {
    *error = "not a PNG file";
    return false;
  }
  return true;
}

bool decode_png_premultiplied(std::span<const std::uint8_t> bytes, int* width, int* height,
                              std::vector<std::uint8_t>* rgba, std::string* error) {
  if (!is_png(bytes)) {
    *error = "not a PNG file";
    return false;
  }
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), length_of(bytes), width, height, &channels, 4);
  if (!pixels) {
    *error = stbi_failure_reason();
    return false;
  }
  const std::size_t count = static_cast<std::size_t>(*width) * static_cast<std::size_t>(*height);
  rgba->assign(pixels, pixels + count * 4);
  stbi_image_free(pixels);
  // The same premultiplication, to the same rounding, as the desktop's reader.
  premultiply_alpha(rgba->data(), count);
  return true;
}

}  // namespace platform::web
