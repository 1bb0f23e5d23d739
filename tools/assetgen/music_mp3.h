#pragma once
// MP3 encoding of the rendered soundtrack through LAME.
#include <cstdint>
#include <span>
#include <vector>

namespace assetgen::music {

// Encodes a stereo float signal (full scale 1.0) as constant-bit-rate MP3
// with an info frame that records the encoder delay and padding, so that
// gapless decoders give back exactly the input length. Throws
// std::runtime_error on any encoder failure.
std::vector<std::uint8_t> encode_mp3(std::span<const float> left, std::span<const float> right, int rate, int kbps);

}  // namespace assetgen::music
