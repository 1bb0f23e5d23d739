// The soundtrack through SDL's disk audio driver, and the load log and load
// failures of the whole program, with fixture bundles.
#include <gtest/gtest.h>

#include <lame/lame.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/sound_output.h"
#include "support/fixture_bundle.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;

// Eight seconds of MP3: silence for four, then a 440 Hz tone.
void write_music(const fs::path& path) {
  lame_t lame = lame_init();
  lame_set_in_samplerate(lame, 44100);
  lame_set_num_channels(lame, 2);
  lame_set_brate(lame, 128);
  ASSERT_GE(lame_init_params(lame), 0);
  std::vector<short> pcm(44100 * 8 * 2);
  for (size_t i = 4 * 44100; i < 8 * 44100; ++i) {
    const auto v = static_cast<short>(12000 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / 44100));
    pcm[2 * i] = v;
    pcm[2 * i + 1] = v;
  }
  std::vector<unsigned char> mp3(pcm.size() + 7200 * 2);
  int n = lame_encode_buffer_interleaved(lame, pcm.data(), static_cast<int>(pcm.size() / 2), mp3.data(),
                                         static_cast<int>(mp3.size()));
  ASSERT_GE(n, 0);
  n += lame_encode_flush(lame, mp3.data() + n, static_cast<int>(mp3.size()) - n);
  lame_close(lame);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(mp3.data()), n);
}

const fs::path& plain_bundle() {
  static const fs::path d = [] {
    auto dir = fixture::make_temp_dir("sound-plain");
    fixture::write_bundle(dir);
    return dir;
  }();
  return d;
}

const fs::path& music_bundle() {
  static const fs::path d = [] {
    auto dir = fixture::make_temp_dir("sound-music");
    fixture::write_bundle(dir);
    write_music(dir / "music.mp3");
    return dir;
  }();
  return d;
}

struct Heard {
  fixture::RunResult run;
  std::vector<float> samples;  // what the disk driver wrote (stereo floats), if anything
};

Heard play(const fs::path& bundle, const std::string& from, double seconds, const std::string& driver = "disk") {
  const fs::path out = fs::temp_directory_path() / ("velmora-disk-audio-" + std::to_string(::getpid()) + ".raw");
  fs::remove(out);
  Heard h;
  h.run = fixture::run({VELMORA_BINARY, "--headless", "--from", from, "--assets", bundle.string()},
                       {"SDL_AUDIODRIVER=" + driver, "SDL_DISKAUDIOFILE=" + out.string()}, seconds);
  std::ifstream in(out, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  h.samples.resize(bytes.size() / sizeof(float));
  if (!bytes.empty()) std::memcpy(h.samples.data(), bytes.data(), h.samples.size() * sizeof(float));
  fs::remove(out);
  return h;
}

double rms(const std::vector<float>& s) {
  double sum = 0;
  for (float v : s) sum += static_cast<double>(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / static_cast<double>(s.size()));
}

TEST(Soundtrack, PlaysFromTheSecondTheShowStartsAt) {
  // From 5 s the tone is already playing; from 0 the first seconds are silent.
  // Half a second of sound at least, however slowly the start-up goes.
  const Heard late = play(music_bundle(), "5", 4);
  EXPECT_GT(late.samples.size(), 44100u) << late.run.err;
  EXPECT_GT(rms(late.samples), 0.1);
  const Heard early = play(music_bundle(), "0", 4);
  EXPECT_GT(early.samples.size(), 44100u) << early.run.err;
  EXPECT_LT(rms(early.samples), 0.001);
}

TEST(Soundtrack, WithoutMusicTheShowIsSilentQuietAndEndsNormally) {
  const Heard h = play(plain_bundle(), "189", 20);
  EXPECT_EQ(h.run.status, 0);
  EXPECT_EQ(h.run.err, "");
  EXPECT_EQ(rms(h.samples), 0);
}

TEST(Soundtrack, AnAudioDeviceThatCannotOpenGivesOneWarning) {
  const Heard h = play(music_bundle(), "189", 20, "no-such-driver");
  EXPECT_EQ(h.run.status, 0);
  EXPECT_EQ(std::count(h.run.err.begin(), h.run.err.end(), '\n'), 1) << h.run.err;
  EXPECT_NE(h.run.err.find("audio"), std::string::npos) << h.run.err;
  // ALSA on a machine without a sound card: its own lines are silenced.
  const Heard alsa = play(music_bundle(), "189", 20, "alsa");
  if (alsa.run.err.find("cannot open an audio device") == std::string::npos) GTEST_SKIP() << "a sound card answers";
  EXPECT_EQ(std::count(alsa.run.err.begin(), alsa.run.err.end(), '\n'), 1) << alsa.run.err;
}

// The sound device against a timeline the test moves: each sample of the
// music holds its own frame number, so the written sound tells which part of
// the music was played when.
TEST(SoundOutput, FollowsItsTimelineThroughAJumpAndHoldsWhilePaused) {
  const fs::path out = fs::temp_directory_path() / ("velmora-sound-output-" + std::to_string(::getpid()) + ".raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
  platform::Sound music;
  music.rate = 44100;
  music.channels = 2;
  for (int i = 0; i < 44100 * 30; ++i) {
    const float v = static_cast<float>(i) / (1 << 24);
    music.samples.insert(music.samples.end(), {v, v});
  }
  std::atomic<double> shift{0};
  const double start = static_cast<double>(platform::monotonic_ns()) * 1e-9;
  platform::SoundOutput output;
  ASSERT_TRUE(output.open(&music, [&](double clock) { return clock - start + shift; }, nullptr));
  output.start();
  auto written = [&] {
    std::error_code ec;
    return fs::file_size(out, ec) / 8;
  };
  auto clock = [] { return static_cast<double>(platform::monotonic_ns()) * 1e-9; };
  while (written() < 44100) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const double jump_clock = clock();
  const auto jumped_at = written();
  shift = 10;  // the clock jumps ten seconds on, as after a stalled process
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const double pause_clock = clock();
  output.setPaused(true);
  const auto paused = written();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(written(), paused);  // nothing written while paused
  output.close();

  std::ifstream in(out, std::ios::binary);
  std::vector<float> got(paused * 2);
  in.read(reinterpret_cast<char*>(got.data()), static_cast<std::streamsize>(got.size() * 4));
  auto moment = [&](std::size_t k) { return std::lround(got[k * 2] * (1 << 24)) / 44100.0; };
  // The last sample written before each event was played at about that
  // moment of the timeline: within a frame, and the buffer it came in.
  const double slack = 1.0 / 60 + 1024.0 / 44100;
  EXPECT_NEAR(moment(jumped_at - 1), jump_clock - start, slack);
  EXPECT_NEAR(moment(paused - 1), pause_clock - start + 10, slack);
  fs::remove(out);
}

TEST(LoadLog, TheManifestInItsOrder) {
  const auto r = fixture::run({VELMORA_BINARY, "--headless", "--from", "189.8", "--assets", plain_bundle().string()},
                              {"SDL_AUDIODRIVER=dummy"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Loading new texture: loading.png\n"
            "Loading new texture: background_scene1.png\n"
            "Loading new texture: logo.png\n"
            "Loading new texture: small_black.png\n"
            "Loading new texture: bubble.png\n"
            "pipe_hi.objpipe_lo.objdrill_arm_connector.objdrill_body.objhammer_left.objhammer_right.obj"
            "drill_head.objwheel_small.objwheel_large.objLoading new texture: splat.png\n"
            "murel.objLoading new texture: mureltextur.png\n"
            "Loading new texture: murelbg.png\n"
            "Loading new texture: greets.png\n"
            "treetrunk_cube.objtreetrunk.objgrass.objLoading new texture: treetrunk_cube_textur.png\n"
            "Loading new texture: treetrunk_textur.png\n"
            "Loading new texture: grass.png\n"
            "Loading new texture: grass1.png\n"
            "Loading new texture: credits.png\n"
            "Loading new texture: korvane_final.png\n");
}

TEST(LoadLog, AMissingFileStopsTheStartUpWithItsName) {
  struct Case {
    const char* missing;
    const char* out_ends;
  };
  for (const Case c : {Case{"bubble.png", "Loading new texture: bubble.png\n"}, Case{"pipe_lo.obj", "pipe_lo.obj"},
                       Case{"loading.png", "Loading new texture: loading.png\n"}}) {
    const auto dir = fixture::make_temp_dir(std::string("missing-") + c.missing);
    fixture::write_bundle(dir);
    fs::remove(dir / c.missing);
    const auto r = fixture::run({VELMORA_BINARY, "--headless", "--assets", dir.string()}, {"SDL_AUDIODRIVER=dummy"});
    EXPECT_EQ(r.status, 255) << c.missing;
    EXPECT_EQ(r.err, std::string("Unable to load: ") + c.missing + "\n");
    // Nothing follows the failed load on standard output.
    const std::string ends = c.out_ends;
    ASSERT_GE(r.out.size(), ends.size());
    EXPECT_EQ(r.out.substr(r.out.size() - ends.size()), ends) << c.missing;
  }
}

}  // namespace
