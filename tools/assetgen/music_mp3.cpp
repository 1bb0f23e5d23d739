#include "music_mp3.h"

#include <lame/lame.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

namespace assetgen::music {

namespace {

struct LameDeleter {
  void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

void check(int code, const char* what) {
  if (code < 0) throw std::runtime_error(std::string("MP3 encoder: ") + what + " failed (code " + std::to_string(code) + ")");
}

}  // namespace

std::vector<std::uint8_t> encode_mp3(std::span<const float> left, std::span<const float> right, int rate, int kbps) {
  if (left.size() != right.size()) throw std::runtime_error("MP3 encoder: the channels differ in length");
  std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
  if (!lame) throw std::runtime_error("MP3 encoder: out of memory");
  lame_global_flags* gf = lame.get();
  check(lame_set_in_samplerate(gf, rate), "setting the sample rate");
  check(lame_set_out_samplerate(gf, rate), "setting the output rate");
  check(lame_set_num_channels(gf, 2), "setting the channels");
  check(lame_set_mode(gf, JOINT_STEREO), "setting joint stereo");
  check(lame_set_VBR(gf, vbr_off), "choosing constant bit rate");
  check(lame_set_brate(gf, kbps), "setting the bit rate");
  check(lame_set_quality(gf, 5), "setting the quality");
  check(lame_set_bWriteVbrTag(gf, 1), "asking for the info frame");
  lame_set_write_id3tag_automatic(gf, 0);
  check(lame_init_params(gf), "initialising");

  constexpr std::size_t kChunk = 16384;
  std::vector<unsigned char> buffer(kChunk * 5 / 4 + 7200);
  std::vector<std::uint8_t> mp3;
  mp3.reserve(left.size() / static_cast<std::size_t>(rate) * static_cast<std::size_t>(kbps) * 125 + 65536);
  for (std::size_t at = 0; at < left.size(); at += kChunk) {
    const auto count = static_cast<int>(std::min(kChunk, left.size() - at));
    const int bytes = lame_encode_buffer_ieee_float(gf, left.data() + at, right.data() + at, count, buffer.data(),
                                                    static_cast<int>(buffer.size()));
    check(bytes, "encoding");
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + bytes);
  }
  const int bytes = lame_encode_flush(gf, buffer.data(), static_cast<int>(buffer.size()));
  check(bytes, "flushing");
  mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + bytes);

  // The stream starts with a placeholder frame; fill in the info frame now
  // that the frame count and padding are known.
  const std::size_t tag = lame_get_lametag_frame(gf, buffer.data(), buffer.size());
  if (tag == 0 || tag > buffer.size() || tag > mp3.size()) throw std::runtime_error("MP3 encoder: no info frame");
  std::copy_n(buffer.begin(), tag, mp3.begin());
  return mp3;
}

}  // namespace assetgen::music
