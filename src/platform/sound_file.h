#pragma once
// A sound file decoded whole into memory (libavformat, libavcodec): the
// soundtrack for the player and for video captures alike, so both hear the
// same samples. The encoder delay and padding the file declares are honoured:
// sample 0 is the first sample of the music as it was encoded.
//
// The file is hostile input. It is read through a descriptor we opened (a
// regular file, checked), as the one container named and nothing else:
// nothing inside it can make FFmpeg open another file, a protocol or a
// device. What it decodes to is bounded by the caller's length, whatever its
// headers claim, and a change of rate or channels part-way is followed.
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

struct SoundFileLimits {
  // libavformat's demuxer for the file, by name: the file is opened as that
  // and nothing else, never probed.
  const char* container = "mp3";
  // Sound past this length is not decoded (and memory for this much is
  // taken at once).
  double maxSeconds = 200;
};

// Sample rates a file may have, and the most channels it may mix down.
inline constexpr int kMinSoundRate = 8000;
inline constexpr int kMaxSoundRate = 192000;
inline constexpr int kMaxSoundChannels = 8;
// Sound is kept at its own rate up to this, and brought down to it above.
inline constexpr int kMaxKeptRate = 48000;

// Decodes the regular file at `path` to stereo floats at its own rate (at
// most kMaxKeptRate; a later change of rate is resampled to the first). False
// with a one-line reason in *error when it is missing, not a regular file,
// not of the container named, holds no decodable audio, has a sample rate or
// channel count out of bounds, or memory runs out.
bool decode_sound_file(const std::string& path, Sound* sound, std::string* error, const SoundFileLimits& limits);

}  // namespace platform
