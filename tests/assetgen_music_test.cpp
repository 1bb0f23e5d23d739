// The soundtrack as the show's player will get it: the generated "music.mp3"
// decoded back to PCM, and the signal-processing pieces it is mastered with.
#include <gtest/gtest.h>
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "music.h"
#include "music_dsp.h"
#include "music_mp3.h"
#include "music_score.h"
#include "music_voices.h"

namespace {

namespace fs = std::filesystem;
using assetgen::music::Instrument;
using assetgen::music::integrated_loudness;
using assetgen::music::kSampleRate;
using assetgen::music::Note;

constexpr double kSongSeconds = 190.0;

struct Pcm {
  long rate = 0;
  int channels = 0;
  std::vector<float> left, right;

  double seconds() const { return static_cast<double>(left.size()) / static_cast<double>(rate); }
  std::span<const float> left_part(double from, double to) const { return part(left, from, to); }
  std::span<const float> right_part(double from, double to) const { return part(right, from, to); }

  // Level of [from, to) seconds in dB relative to full scale (RMS over both channels).
  double rms_db(double from, double to) const {
    const auto l = left_part(from, to), r = right_part(from, to);
    double sum = 0.0;
    for (std::size_t i = 0; i < l.size(); ++i) sum += double(l[i]) * l[i] + double(r[i]) * r[i];
    return 10.0 * std::log10(sum / (2.0 * static_cast<double>(l.size())) + 1e-30);
  }

 private:
  std::span<const float> part(const std::vector<float>& v, double from, double to) const {
    const auto a = std::min(v.size(), static_cast<std::size_t>(from * static_cast<double>(rate)));
    const auto b = std::min(v.size(), static_cast<std::size_t>(to * static_cast<double>(rate)));
    return std::span<const float>(v).subspan(a, b - a);
  }
};

// Decodes MP3 bytes with libmpg123 into float stereo, trimming the encoder
// delay and padding as a gapless player does.
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
    const std::size_t floats = bytes / sizeof(float);
    for (std::size_t i = 0; pcm.channels == 2 && i + 1 < floats; i += 2) {
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

fs::path fresh_dir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Generating the track takes a few seconds, and ctest runs every test in a
// process of its own: the first test generates it into the build tree and the
// others reuse it for as long as it is newer than this test program (which
// holds the generator's code).
class Soundtrack : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const fs::path dir = VELMORA_MUSIC_TEST_DIR;
    const fs::path file = dir / "music.mp3";
    std::error_code ec;
    const auto program = fs::last_write_time("/proc/self/exe", ec);
    if (ec || !fs::exists(file) || fs::last_write_time(file) < program) {
      fs::create_directories(dir);
      assetgen::write_music(dir);
    }
    bytes_ = new std::vector<std::uint8_t>(read_bytes(file));
    pcm_ = new Pcm(decode(*bytes_));
  }
  static void TearDownTestSuite() {
    delete pcm_;
    delete bytes_;
  }
  static const Pcm& pcm() { return *pcm_; }
  static const std::vector<std::uint8_t>& bytes() { return *bytes_; }

 private:
  static inline std::vector<std::uint8_t>* bytes_ = nullptr;
  static inline Pcm* pcm_ = nullptr;
};

TEST_F(Soundtrack, DecodesTo190SecondsOfStereoAt44100Hz) {
  ASSERT_FALSE(bytes().empty());
  EXPECT_EQ(pcm().rate, 44100);
  EXPECT_EQ(pcm().channels, 2);
  EXPECT_NEAR(pcm().seconds(), kSongSeconds, 0.5);
  // Constant 192 kbit/s: the size follows from the length.
  EXPECT_NEAR(static_cast<double>(bytes().size()), kSongSeconds * 192000.0 / 8.0, 20000.0);
}

TEST_F(Soundtrack, NeverClipsAndIsMasteredToAboutMinus14Lufs) {
  float peak = 0.0f;
  for (std::size_t i = 0; i < pcm().left.size(); ++i)
    peak = std::max({peak, std::fabs(pcm().left[i]), std::fabs(pcm().right[i])});
  EXPECT_LT(peak, 1.0f);
  EXPECT_LT(20.0 * std::log10(peak), -1.0);
  EXPECT_GT(20.0 * std::log10(peak), -6.0) << "mastered far too quietly";
  EXPECT_NEAR(integrated_loudness(pcm().left, pcm().right, kSampleRate), -14.0, 0.5);
}

TEST_F(Soundtrack, TwoRunsWriteTheSameBytes) {
  const fs::path again = fresh_dir("velmora-music-again");
  assetgen::write_music(again);
  const auto second = read_bytes(again / "music.mp3");
  fs::remove_all(again);
  EXPECT_TRUE(second == bytes()) << "sizes " << second.size() << " and " << bytes().size();
}

// The music follows the picture: it swells and drops where the show does.
TEST_F(Soundtrack, SwellsAndDropsWithTheShow) {
  const auto& p = pcm();
  auto lufs = [&](double from, double to) {
    return integrated_loudness(p.left_part(from, to), p.right_part(from, to), kSampleRate);
  };
  // The live rig takes over from the still frame at 15 s.
  EXPECT_GT(p.rms_db(15.5, 25.0), p.rms_db(3.0, 14.5) + 3.0);
  // The ribbons grow from 39 s.
  EXPECT_GT(lufs(39.0, 53.0), lufs(15.0, 39.0) + 1.0);
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
  EXPECT_GT(lufs(172.0, 177.0), lufs(164.0, 172.0));
  EXPECT_LT(p.rms_db(177.5, 179.8), p.rms_db(172.0, 177.0) - 6.0);
  EXPECT_GT(p.rms_db(180.0, 182.0), p.rms_db(177.5, 179.8) + 6.0);
}

TEST_F(Soundtrack, FadesOutBy185AndIsSilentAfterwards) {
  EXPECT_LT(pcm().rms_db(184.5, 185.0), pcm().rms_db(180.0, 182.0) - 20.0);
  EXPECT_LT(pcm().rms_db(185.2, 190.0), -80.0);
  EXPECT_LT(pcm().rms_db(187.0, 190.0), -80.0);
}

// ---- the pieces the track is mastered with

std::vector<float> sine(float amplitude, float hz, double seconds) {
  std::vector<float> v(static_cast<std::size_t>(seconds * kSampleRate));
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = amplitude * static_cast<float>(std::sin(2.0 * 3.141592653589793 * hz * static_cast<double>(i) / kSampleRate));
  return v;
}

TEST(LoudnessMeter, ReadsAMinus20DbfsSineInBothChannelsAsMinus20Lufs) {
  const auto tone = sine(0.1f, 997.0f, 5.0);
  EXPECT_NEAR(integrated_loudness(tone, tone, kSampleRate), -20.0, 0.1);
  const std::vector<float> silence(tone.size(), 0.0f);
  EXPECT_NEAR(integrated_loudness(tone, silence, kSampleRate), -23.0, 0.1);
}

TEST(LoudnessMeter, GatesOutSilenceAndIgnoresTheQuietTail) {
  auto tone = sine(0.1f, 997.0f, 5.0);
  const double alone = integrated_loudness(tone, tone, kSampleRate);
  tone.resize(tone.size() * 4, 0.0f);  // 15 s of silence after it
  EXPECT_NEAR(integrated_loudness(tone, tone, kSampleRate), alone, 0.2);
  const std::vector<float> silence(tone.size(), 0.0f);
  EXPECT_TRUE(std::isinf(integrated_loudness(silence, silence, kSampleRate)));
}

TEST(Limiter, HoldsPeaksUnderTheCeilingAndLeavesQuietPassagesAlone) {
  auto left = sine(0.2f, 440.0f, 3.0);
  // A burst four times too loud in the middle second.
  for (std::size_t i = kSampleRate; i < 2u * kSampleRate; ++i) left[i] *= 8.0f;
  auto right = left;
  const auto original = left;
  assetgen::music::limit(left, right, 0.5f, 88, 0.05f);
  EXPECT_LE(assetgen::music::true_peak(left), 0.5f * 1.01f);
  // Half a second before the burst and a second after it the signal is untouched.
  for (std::size_t i = 0; i < kSampleRate / 2; ++i) ASSERT_FLOAT_EQ(left[i], original[i]) << i;
  for (std::size_t i = 5 * kSampleRate / 2 + 4410; i < left.size(); ++i) ASSERT_NEAR(left[i], original[i], 1e-3f) << i;
  // Inside the burst the level is brought down, not the tone removed.
  EXPECT_GT(assetgen::music::true_peak(std::span<const float>(left).subspan(kSampleRate + 4410, 4410)), 0.45f);
}

TEST(Limiter, CatchesPeaksThatFallBetweenSamples) {
  // A quarter-rate sine at 45 degrees: every sample sits at 0.71 of the true peak.
  std::vector<float> left(kSampleRate);
  for (std::size_t i = 0; i < left.size(); ++i)
    left[i] = static_cast<float>(std::sin(3.141592653589793 * (0.5 * static_cast<double>(i) + 0.25)));
  auto right = left;
  EXPECT_GT(assetgen::music::true_peak(left), 0.95f);
  assetgen::music::limit(left, right, 0.8f, 88, 0.05f);
  // Limited by its true peak, the sampled peak ends up well under the ceiling.
  float sample_peak = 0.0f;
  for (std::size_t i = 1000; i < 40000; ++i) sample_peak = std::max(sample_peak, std::fabs(left[i]));
  EXPECT_LT(sample_peak, 0.8f * 0.76f);
  EXPECT_GT(sample_peak, 0.8f * 0.66f);
}

TEST(Mp3Encoder, KeepsLengthAndLevelThroughAGaplessDecode) {
  const auto left = sine(0.25f, 440.0f, 1.3);
  const auto right = sine(0.125f, 660.0f, 1.3);
  const auto mp3 = assetgen::music::encode_mp3(left, right, kSampleRate, 192);
  const Pcm pcm = decode(mp3);
  ASSERT_EQ(pcm.channels, 2);
  EXPECT_EQ(pcm.left.size(), left.size());
  // Level and channel order survive (RMS of a sine is amplitude / sqrt 2).
  auto rms = [](std::span<const float> v) {
    double s = 0.0;
    for (float x : v) s += double(x) * x;
    return std::sqrt(s / static_cast<double>(v.size()));
  };
  EXPECT_NEAR(rms(pcm.left_part(0.2, 1.1)), 0.25 / std::sqrt(2.0), 0.01);
  EXPECT_NEAR(rms(pcm.right_part(0.2, 1.1)), 0.125 / std::sqrt(2.0), 0.01);
}

TEST(Mp3Encoder, RefusesChannelsOfDifferentLengths) {
  const std::vector<float> a(1000, 0.0f), b(999, 0.0f);
  EXPECT_THROW(assetgen::music::encode_mp3(a, b, kSampleRate, 192), std::runtime_error);
}

// ---- the score and the instruments

TEST(Score, EveryNoteIsPlayableAndEndsWithThePicture) {
  const auto notes = assetgen::music::compose();
  ASSERT_GT(notes.size(), 1000u);
  for (const Note& n : notes) {
    SCOPED_TRACE(::testing::Message() << "instrument " << static_cast<int>(n.instrument) << " at " << n.time);
    ASSERT_GE(n.time, 0.0);
    ASSERT_GT(n.length, 0.0);
    // Nothing starts once the closing picture has faded to black.
    ASSERT_LT(n.time + n.length, assetgen::music::kSilenceFrom + 1e-9);
    ASSERT_GE(n.pitch, 20.0f);
    ASSERT_LE(n.pitch, 112.0f);
    ASSERT_GT(n.velocity, 0.0f);
    ASSERT_LE(n.velocity, 1.0f);
  }
}

TEST(Score, EverySectionStartsOnItsCut) {
  // Some note starts exactly on each cut, and the master fader lets the
  // music through until the fade and nothing after it.
  const auto notes = assetgen::music::compose();
  for (const double cut : {15.0, 53.0, 70.0, 114.5, 130.0, 138.0, 142.0, 180.0}) {
    const bool hit = std::any_of(notes.begin(), notes.end(), [&](const Note& n) { return n.time == cut; });
    EXPECT_TRUE(hit) << cut;
  }
  EXPECT_EQ(assetgen::music::master_level(182.9), 1.0f);
  EXPECT_GT(assetgen::music::master_level(184.0), 0.0f);
  EXPECT_EQ(assetgen::music::master_level(185.0), 0.0f);
}

TEST(Instruments, EverySoundIsFiniteBoundedAndAudible) {
  for (int i = 0; i <= static_cast<int>(Instrument::Tick); ++i) {
    const Note n{.instrument = static_cast<Instrument>(i), .time = 0.0, .length = 0.5, .pitch = 57.0f};
    assetgen::music::Dry dry, again;
    assetgen::music::synthesize(n, dry);
    assetgen::music::synthesize(n, again);
    SCOPED_TRACE(::testing::Message() << "instrument " << i);
    ASSERT_FALSE(dry.left.empty());
    float peak = 0.0f;
    for (const auto* ch : {&dry.left, &dry.right})
      for (const float x : *ch) {
        ASSERT_TRUE(std::isfinite(x));
        peak = std::max(peak, std::fabs(x));
      }
    EXPECT_GT(peak, 0.01f);
    EXPECT_LT(peak, 2.0f);
    EXPECT_TRUE(dry.left == again.left && dry.right == again.right) << "not reproducible";
    // Sounds fade out rather than stop on a non-zero sample.
    EXPECT_LT(std::fabs(dry.left.back()), 1e-3f);
  }
}

// Counts upward zero crossings of [from, to) seconds: the pitch in Hz times the span.
int upward_crossings(const std::vector<float>& v, double from, double to) {
  int count = 0;
  for (auto i = static_cast<std::size_t>(from * kSampleRate) + 1; i < static_cast<std::size_t>(to * kSampleRate); ++i)
    if (v[i - 1] < 0.0f && v[i] >= 0.0f) ++count;
  return count;
}

TEST(Instruments, PitchedSoundsPlayTheirNote) {
  assetgen::music::Dry dry;
  // A3 = 220 Hz on the pure sine: 220 crossings a second.
  assetgen::music::synthesize(Note{.instrument = Instrument::Sub, .length = 1.5, .pitch = 57.0f}, dry);
  EXPECT_NEAR(upward_crossings(dry.left, 0.5, 1.5), 220, 1);
  // A2 = 110 Hz on the bass, its filter nearly closed (the sub-octave under it
  // only thickens the note).
  assetgen::music::synthesize(Note{.instrument = Instrument::Bass, .length = 1.5, .pitch = 45.0f, .bright = 0.1f},
                              dry);
  EXPECT_NEAR(upward_crossings(dry.left, 0.5, 1.5), 110, 2);
}

TEST(Oscillators, ShapesAreCentredAndTheFastSineIsAccurate) {
  assetgen::music::Oscillator saw, pulse;
  double saw_sum = 0.0, pulse_sum = 0.0;
  const int n = 441000;
  for (int i = 0; i < n; ++i) {
    saw_sum += saw.saw(330.0f / kSampleRate);
    pulse_sum += pulse.pulse(330.0f / kSampleRate, 0.25f);
  }
  EXPECT_NEAR(saw_sum / n, 0.0, 0.01);
  EXPECT_NEAR(pulse_sum / n, 0.0, 0.01) << "a narrow pulse must not carry a DC offset";
  for (double x = -3.0; x <= 3.0; x += 0.001)
    ASSERT_NEAR(assetgen::music::Oscillator::fast_sin(static_cast<float>(x)), std::sin(2.0 * 3.141592653589793 * x),
                2e-4)
        << x;
}

TEST(Mixer, PlacesNotesOnTheirSampleAndPansThem) {
  assetgen::music::Mixer mix(2.0);
  const std::vector<Note> notes = {Note{.instrument = Instrument::Sub, .time = 1.0, .length = 0.5, .pitch = 69.0f,
                                        .velocity = 0.5f, .pan = -1.0f}};
  mix.render(notes);
  std::size_t first = 0;
  while (first < mix.frames() && mix.left[first] == 0.0f) ++first;
  // The sine starts at phase 0, so its first non-zero sample is the one after the start.
  EXPECT_EQ(first, static_cast<std::size_t>(kSampleRate) + 1);
  float right = 0.0f, left = 0.0f;
  for (std::size_t i = 0; i < mix.frames(); ++i) {
    right = std::max(right, std::fabs(mix.right[i]));
    left = std::max(left, std::fabs(mix.left[i]));
  }
  EXPECT_LT(right, 1e-6f) << "panned hard left";
  EXPECT_GT(left, 0.3f);
}

TEST(Mixer, TheKickPumpsDuckedParts) {
  assetgen::music::Mixer mix(2.0);
  const std::vector<double> kicks = {1.0};
  mix.set_pump(kicks);
  const std::vector<Note> notes = {
      Note{.instrument = Instrument::Sub, .time = 0.0, .length = 1.9, .pitch = 69.0f, .velocity = 0.5f, .duck = 1.0f}};
  mix.render(notes);
  auto rms = [&](double from, double to) {
    double sum = 0.0;
    for (auto i = static_cast<std::size_t>(from * kSampleRate); i < static_cast<std::size_t>(to * kSampleRate); ++i)
      sum += double(mix.left[i]) * mix.left[i];
    return std::sqrt(sum / ((to - from) * kSampleRate));
  };
  EXPECT_LT(rms(1.005, 1.04), 0.5 * rms(0.8, 0.95));
  EXPECT_NEAR(rms(1.6, 1.8), rms(0.8, 0.95), 0.05 * rms(0.8, 0.95));
}

}  // namespace
