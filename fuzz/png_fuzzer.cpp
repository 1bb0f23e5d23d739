// libFuzzer target: the picture reader on arbitrary bytes, as the texture
// loader uses it: the header first, then the whole picture into a buffer of
// the size the header gives.
#include <cstdint>
#include <vector>

#include "platform/png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::PngReader png;
  if (!png.open(std::span<const std::uint8_t>(data, size))) return 0;
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(png.width()) * static_cast<std::size_t>(png.height()) * 4);
  png.readPremultiplied(rgba.data());
  return 0;
}
