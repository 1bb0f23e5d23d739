#pragma once
// PNG decoding without libpng (stb_image), for the browser: the same pixels
// as the desktop's reader (platform/png.h) gives for every colour type at 1,
// 2, 4 and 8 bits, interlaced or not: 8-bit RGBA, colour premultiplied by
// alpha in the same rounding, top row first. Pictures of 16 bits a channel
// are refused (the show's are all 8-bit).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform::web {

// The width and height in a PNG's header (its first 33 bytes are enough).
// False with *error set when the bytes are not a PNG.
bool png_size(std::span<const std::uint8_t> bytes, int* width, int* height, std::string* error);

// Decodes a whole PNG into `rgba` (width * height * 4 bytes). False with
// *error set when it is corrupt, truncated or 16-bit.
bool decode_png_premultiplied(std::span<const std::uint8_t> bytes, int* width, int* height,
                              std::vector<std::uint8_t>* rgba, std::string* error);

}  // namespace platform::web
