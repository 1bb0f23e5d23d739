#pragma once
// A sound file decoded whole into memory (libavformat, libavcodec): the
// soundtrack for the player and for video captures alike, so both hear the
// same samples. The encoder delay and padding the file declares are honoured:
// sample 0 is the first sample of the music as it was encoded.
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct Sound {
  int rate = 0;                // frames a second
  int channels = 0;            // interleaved
  std::vector<float> samples;  // rate * channels a second, -1 to 1

  std::size_t frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
  double seconds() const { return rate > 0 ? static_cast<double>(frames()) / rate : 0; }
};

// Decodes the regular file at `path` to stereo floats at its own rate. False
// with a one-line reason in *error when it is missing, not a regular file, or
// holds no decodable audio.
bool decode_sound_file(const std::string& path, Sound* sound, std::string* error);

}  // namespace platform
