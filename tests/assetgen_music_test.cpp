// The soundtrack as the show's player will get it: the generated "music.mp3"
// decoded back to PCM with libmpg123 and measured.
#include <gtest/gtest.h>
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "music.h"
#include "music_dsp.h"

namespace {

namespace fs = std::filesystem;
using assetgen::music::integrated_loudness;
using assetgen::music::kSampleRate;

struct Pcm {
  long rate = 0;
  int channels = 0;
  std::vector<float> left, right;

  std::span<const float> part(const std::vector<float>& v, double from, double to) const {
    const auto a = std::min(v.size(), static_cast<std::size_t>(from * static_cast<double>(rate)));
    const auto b = std::min(v.size(), static_cast<std::size_t>(to * static_cast<double>(rate)));
    return std::span<const float>(v).subspan(a, b - a);
  }
  // Level of [from, to) seconds in dB relative to full scale (RMS over both channels).
  double rms_db(double from, double to) const {
    const auto l = part(left, from, to), r = part(right, from, to);
    double sum = 0.0;
    for (std::size_t i = 0; i < l.size(); ++i) sum += double(l[i]) * l[i] + double(r[i]) * r[i];
    return 10.0 * std::log10(sum / (2.0 * static_cast<double>(l.size())) + 1e-30);
  }
  double lufs(double from, double to) const {
    return integrated_loudness(part(left, from, to), part(right, from, to), kSampleRate);
  }
};

// Decodes MP3 bytes into float stereo, trimming the encoder delay and
// padding as a gapless player does.
Pcm decode(const std::vector<std::uint8_t>& mp3) {
  Pcm pcm;
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  if (!h) return pcm;
  mpg123_param(h, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
  mpg123_format_none(h);
  mpg123_format(h, kSampleRate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  mpg123_open_feed(h);
  mpg123_feed(h, mp3.data(), mp3.size());
  std::vector<float> buffer(16384);
  for (;;) {
    std::size_t bytes = 0;
    const int rc = mpg123_read(h, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size() * sizeof(float), &bytes);
    if (rc == MPG123_NEW_FORMAT) {
      int encoding = 0;
      mpg123_getformat(h, &pcm.rate, &pcm.channels, &encoding);
    }
    for (std::size_t i = 0; pcm.channels == 2 && i + 1 < bytes / sizeof(float); i += 2) {
      pcm.left.push_back(buffer[i]);
      pcm.right.push_back(buffer[i + 1]);
    }
    if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
  }
  mpg123_delete(h);
  return pcm;
}

std::vector<std::uint8_t> read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Generating the track takes seconds, and ctest runs every test in a process
// of its own: the first test generates it into the build tree and the others
// reuse it for as long as it is newer than this test program (which holds
// the generator's code). The decoded track is made on first use.
class Soundtrack : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const fs::path dir = VELMORA_MUSIC_TEST_DIR;
    std::error_code ec;
    const auto program = fs::last_write_time("/proc/self/exe", ec);
    if (ec || !fs::exists(dir / "music.mp3") || fs::last_write_time(dir / "music.mp3") < program) {
      fs::create_directories(dir);
      assetgen::write_music(dir);
    }
    bytes_ = read_bytes(dir / "music.mp3");
  }
  static const Pcm& pcm() {
    if (!pcm_) pcm_ = std::make_unique<Pcm>(decode(bytes_));
    return *pcm_;
  }

  static inline std::vector<std::uint8_t> bytes_;
  static inline std::unique_ptr<Pcm> pcm_;
};

TEST_F(Soundtrack, DecodesTo190SecondsOfStereoAt44100Hz) {
  EXPECT_EQ(pcm().rate, 44100);
  EXPECT_EQ(pcm().channels, 2);
  EXPECT_NEAR(static_cast<double>(pcm().left.size()) / 44100.0, 190.0, 0.5);
}

// Loudness by the track's own meter, checked first against a -20 dBFS
// 997 Hz sine (-20 LUFS in both channels, -23 in one; silence gated out).
TEST_F(Soundtrack, NeverClipsAndIsMasteredToAboutMinus14Lufs) {
  std::vector<float> tone(5 * kSampleRate), quiet(5 * kSampleRate, 0.0f);
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<float>(0.1 * std::sin(2.0 * 3.141592653589793 * 997.0 * static_cast<double>(i) / kSampleRate));
  EXPECT_NEAR(integrated_loudness(tone, quiet, kSampleRate), -23.0, 0.1);
  tone.resize(tone.size() * 4, 0.0f);
  EXPECT_NEAR(integrated_loudness(tone, tone, kSampleRate), -20.0, 0.2);

  float peak = 0.0f;
  for (std::size_t i = 0; i < pcm().left.size(); ++i)
    peak = std::max({peak, std::fabs(pcm().left[i]), std::fabs(pcm().right[i])});
  EXPECT_LT(20.0 * std::log10(peak), -1.0);
  EXPECT_GT(20.0 * std::log10(peak), -6.0) << "mastered far too quietly";
  EXPECT_NEAR(integrated_loudness(pcm().left, pcm().right, kSampleRate), -14.0, 0.5);
}

// The music follows the picture: it swells and drops where the show does,
// and fades out by 185 s.
TEST_F(Soundtrack, SwellsDropsAndFadesWithTheShow) {
  const Pcm& p = pcm();
  // The live rig takes over from the still frame at 15 s; the ribbons grow from 39 s.
  EXPECT_GT(p.rms_db(15.5, 25.0), p.rms_db(3.0, 14.5) + 3.0);
  EXPECT_GT(p.lufs(39.0, 53.0), p.lufs(15.0, 39.0) + 1.0);
  // The creature swims up out of the dark from 70 s and is in full light by 86 s.
  EXPECT_LT(p.rms_db(70.2, 74.0), p.rms_db(63.0, 69.0) - 10.0);
  EXPECT_GT(p.rms_db(86.0, 100.0), p.rms_db(70.2, 80.0) + 6.0);
  // The cube flickers in the dark from 130 s; the flash at 138 s.
  EXPECT_LT(p.rms_db(130.1, 137.9), p.rms_db(120.0, 129.4) - 4.0);
  EXPECT_GT(p.rms_db(138.0, 140.0), p.rms_db(130.1, 137.9) + 4.0);
  // Fade to black at 140 s, back up for the credits from 142 s.
  EXPECT_LT(p.rms_db(140.4, 141.0), p.rms_db(138.0, 140.0) - 3.0);
  EXPECT_GT(p.rms_db(142.0, 150.0), p.rms_db(140.4, 141.0) + 3.0);
  // The flicker swells from 172 s, the cube is black from 177 s, the closing flash at 180 s.
  EXPECT_GT(p.lufs(172.0, 177.0), p.lufs(164.0, 172.0));
  EXPECT_LT(p.rms_db(177.5, 179.8), p.rms_db(172.0, 177.0) - 6.0);
  EXPECT_GT(p.rms_db(180.0, 182.0), p.rms_db(177.5, 179.8) + 6.0);
  EXPECT_LT(p.rms_db(184.5, 185.0), p.rms_db(180.0, 182.0) - 20.0);
  EXPECT_LT(p.rms_db(185.2, 190.0), -80.0);
}

TEST_F(Soundtrack, TwoRunsWriteTheSameBytes) {
  const fs::path again = fs::temp_directory_path() / ("velmora-music-again-" + std::to_string(::getpid()));
  fs::create_directories(again);
  assetgen::write_music(again);
  const auto second = read_bytes(again / "music.mp3");
  fs::remove_all(again);
  EXPECT_TRUE(second == bytes_) << "sizes " << second.size() << " and " << bytes_.size();
}

}  // namespace
