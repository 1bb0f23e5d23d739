// The soundtrack as the show's player gets it: the bundle's "music.mp3"
// decoded by the show's own reader (encoder delay and padding honoured) and
// measured; and, written again, the same bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "music.h"
#include "music_dsp.h"
#include "platform/sound_file.h"
#include "support/fixture_bundle.h"

namespace {

namespace fs = std::filesystem;
using assetgen::music::integrated_loudness;
using assetgen::music::kSampleRate;

const fs::path kMusic = fs::path(VELMORA_BUNDLE_DIR) / "music.mp3";

// The decoded track, its channels apart.
struct Track {
  platform::Sound sound;
  std::vector<float> left, right;

  Track() {
    std::string error;
    EXPECT_TRUE(platform::decode_sound_file(kMusic.string(), &sound, &error, {})) << error;
    for (std::size_t i = 0; i + 1 < sound.samples.size(); i += 2) {
      left.push_back(sound.samples[i]);
      right.push_back(sound.samples[i + 1]);
    }
  }
  std::span<const float> part(const std::vector<float>& v, double from, double to) const {
    const auto a = std::min(v.size(), static_cast<std::size_t>(from * sound.rate));
    const auto b = std::min(v.size(), static_cast<std::size_t>(to * sound.rate));
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

const auto read_bytes = fixture::read_file;

// 190 seconds of stereo at 44.1 kHz. Loudness by the track's own meter,
// checked first against a -20 dBFS 997 Hz sine (-20 LUFS in both channels,
// -23 in one; silence gated out).
TEST(Soundtrack, Is190SecondsNeverClipsAndIsMasteredToAboutMinus14Lufs) {
  const Track track;
  EXPECT_EQ(track.sound.rate, 44100);
  EXPECT_NEAR(track.sound.seconds(), 190.0, 0.5);

  std::vector<float> tone(5 * kSampleRate), quiet(5 * kSampleRate, 0.0f);
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<float>(0.1 * std::sin(2.0 * std::numbers::pi * 997.0 * static_cast<double>(i) / kSampleRate));
  EXPECT_NEAR(integrated_loudness(tone, quiet, kSampleRate), -23.0, 0.1);
  tone.resize(tone.size() * 4, 0.0f);
  EXPECT_NEAR(integrated_loudness(tone, tone, kSampleRate), -20.0, 0.2);

  float peak = 0.0f;
  for (float v : track.sound.samples) peak = std::max(peak, std::fabs(v));
  EXPECT_LT(20.0 * std::log10(peak), -1.0);
  EXPECT_GT(20.0 * std::log10(peak), -6.0) << "mastered far too quietly";
  EXPECT_NEAR(integrated_loudness(track.left, track.right, kSampleRate), -14.0, 0.5);
}

// The music follows the picture: it swells and drops where the show does,
// and fades out by 185 s.
TEST(Soundtrack, SwellsDropsAndFadesWithTheShow) {
  const Track p;
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

TEST(Soundtrack, WrittenAgainItIsTheBundlesBytes) {
  const fs::path again = fs::temp_directory_path() / ("velmora-music-again-" + std::to_string(::getpid()));
  fs::create_directories(again);
  assetgen::write_music(again);
  const auto second = read_bytes(again / "music.mp3");
  fs::remove_all(again);
  EXPECT_TRUE(second == read_bytes(kMusic)) << "sizes " << second.size() << " and " << read_bytes(kMusic).size();
}

}  // namespace
