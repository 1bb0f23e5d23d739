#pragma once
// Reading back what a capture wrote: every picture of a video file, decoded
// with libavformat and libavcodec and converted to RGB (RGB pictures are
// taken exactly as decoded), and every picture of an animated WebP. (Its sound reads back
// through platform::decode_sound_file, as the show's own music does.)
#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

struct Video {
  int width = 0;
  int height = 0;
  double fps = 0;
  double duration = 0;  // the video stream's, in seconds
  int audioStreams = 0;
  double audioDuration = 0;  // the first audio stream's, as the container gives it
  int colorRange = 0;         // as the video stream is tagged (AVColorRange)
  std::vector<std::vector<std::uint8_t>> frames;  // RGB, top row first
  std::vector<std::vector<std::uint8_t>> luma;    // Y as coded (BT.709, limited range), top row first
};

// The BT.709 limited-range luma of RGBA pixels: what the encoder starts from.
std::vector<std::uint8_t> luma_of(const std::vector<std::uint8_t>& rgba);

// False when the file cannot be read as a video. `container` names the
// demuxer ("gif", "matroska"); null lets FFmpeg probe.
bool read_video(const std::string& path, Video* video, const char* container = nullptr);

// An animated WebP decoded with libwebp's own animation decoder.
struct Animation {
  int width = 0;
  int height = 0;
  int loopCount = -1;  // 0: for ever
  std::vector<int> ends;  // each frame's end, in milliseconds from the start
  std::vector<std::vector<std::uint8_t>> frames;  // RGB, top row first
};
bool read_webp(const std::string& path, Animation* animation);

// Peak signal-to-noise ratio of two RGB pictures of `count` bytes, in dB.
double psnr(const std::uint8_t* a, const std::uint8_t* b, std::size_t count);

}  // namespace fixture
