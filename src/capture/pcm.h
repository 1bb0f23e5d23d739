#pragma once
// The soundtrack as 24-bit integers: what a lossless capture's FLAC and a
// picture sequence's WAV hold, so that both keep the decoded music to within
// half a step of 2^-23 (about -144 dB), the same samples in each.
#include <algorithm>
#include <cmath>
#include <cstdint>

inline std::int32_t pcm24(float sample) {
  const long v = std::lround(static_cast<double>(sample) * 8388608.0);
  return static_cast<std::int32_t>(std::clamp(v, -8388608L, 8388607L));
}
