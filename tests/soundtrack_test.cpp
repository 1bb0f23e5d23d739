// The soundtrack through SDL's disk audio driver, and the load log and load
// failures of the whole program, with fixture bundles.
#include <gtest/gtest.h>

#include <lame/lame.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <future>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/clock.h"
#include "platform/sound_file.h"
#include "platform/sound_output.h"
#include "support/fixture_bundle.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;

// `seconds` of a tone at `hz` (0 for silence) from `from` seconds on, as a
// constant-bit-rate MP3 with the info frame LAME writes for gapless decoding.
std::string mp3(int rate, int channels, double seconds, double hz = 440, double from = 0) {
  lame_t lame = lame_init();
  lame_set_in_samplerate(lame, rate);
  lame_set_out_samplerate(lame, rate);
  lame_set_num_channels(lame, channels);
  lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(lame, rate < 32000 ? 32 : 128);
  lame_set_bWriteVbrTag(lame, 1);
  EXPECT_GE(lame_init_params(lame), 0);
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<short> pcm(frames * 2);
  for (std::size_t i = static_cast<std::size_t>(from * rate); i < frames && hz > 0; ++i) {
    const auto v = static_cast<short>(12000 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate));
    pcm[2 * i] = v;
    pcm[2 * i + 1] = v;
  }
  std::vector<unsigned char> out(frames * 2 + 7200 * 2);
  int n = lame_encode_buffer_interleaved(lame, pcm.data(), static_cast<int>(frames), out.data(),
                                         static_cast<int>(out.size()));
  EXPECT_GE(n, 0);
  n += lame_encode_flush(lame, out.data() + n, static_cast<int>(out.size()) - n);
  // The info frame, written last, goes in place of the blank first frame.
  std::vector<unsigned char> tag(2880);
  const std::size_t t = lame_get_lametag_frame(lame, tag.data(), tag.size());
  std::copy_n(tag.begin(), std::min<std::size_t>(t, static_cast<std::size_t>(n)), out.begin());
  lame_close(lame);
  return std::string(out.begin(), out.begin() + n);
}

// Eight seconds of MP3: silence for four, then a 440 Hz tone.
void write_music(const fs::path& path) { fixture::write_text(path, mp3(44100, 2, 8, 440, 4)); }

// A WAV file's header claiming `rate` and `channels`, then `bytes` of zeros.
std::string wav(std::uint32_t rate, std::uint16_t channels, std::uint32_t bytes) {
  std::string w = "RIFF....WAVEfmt ";
  auto put = [&w](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) w.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
  };
  put(16, 4);
  put(1, 2);  // integer samples
  put(channels, 2);
  put(rate, 4);
  put(rate * channels * 2, 4);
  put(channels * 2u, 2);
  put(16, 2);
  w += "data";
  put(bytes, 4);
  w.append(bytes, '\0');
  return w;
}

using fixture::plain_bundle;

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
  h.run = fixture::velmora({"--headless", "--from", from, "--assets", bundle.string()},
                           {"SDL_AUDIODRIVER=" + driver, "SDL_DISKAUDIOFILE=" + out.string()}, {}, seconds);
  const std::string bytes = fixture::read_file(out);
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
  // Music that is there but cannot be read: silence too, and one line why.
  const auto dir = fixture::make_temp_dir("sound-junk");
  fixture::write_bundle(dir);
  fixture::write_text(dir / "music.mp3", std::string(4096, 'Z'));
  const Heard junk = play(dir, "189", 20);
  EXPECT_EQ(junk.run.status, 0);
  EXPECT_EQ(std::count(junk.run.err.begin(), junk.run.err.end(), '\n'), 1) << junk.run.err;
  EXPECT_NE(junk.run.err.find((dir / "music.mp3").string() + ": "), std::string::npos) << junk.run.err;
  EXPECT_EQ(rms(junk.samples), 0);
  fs::remove_all(dir);
}

// --loop from 188.5 s: the show passes its end and plays again from the start,
// music included (a tone over the first eight seconds: silence until the
// end, then sound). On a terminal the player's line says where it is,
// rewritten in place, and is cleared before the last word; --quiet leaves
// out the load log.
TEST(Soundtrack, ALoopPlaysAgainFromTheStartWithItsMusicAndTheTerminalLineFollows) {
  const auto dir = fixture::make_temp_dir("sound-loop");
  fixture::write_bundle(dir);
  fixture::write_text(dir / "music.mp3", mp3(44100, 2, 8));
  const fs::path out = dir / "sound.raw";
  const auto r = fixture::run({VELMORA_BINARY, "--headless", "--loop", "--quiet", "--from", "188.5", "--assets", dir.string()},
                              {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + out.string()}, 60, {SIGINT, 7}, true);
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(r.out, "");
  // The player's line is rewritten in place (SDL's own lines come before
  // it): the one line after it says why the run ended, once it was cleared.
  const std::string last = "\r\x1b[Kvelmora: interrupted (SIGINT)\n";
  ASSERT_GE(r.err.size(), last.size());
  EXPECT_EQ(r.err.substr(r.err.size() - last.size()), last);
  const auto first = std::min(r.err.find('\r'), r.err.size());
  EXPECT_EQ(std::count(r.err.begin() + static_cast<std::ptrdiff_t>(first), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.err.substr(first, 5), "\r3:08") << r.err;  // nothing before the show plays
  const auto end = r.err.find("\r3:09 / 3:10  The end\x1b[K");
  const auto again = r.err.find("\r0:01 / 3:10  The drill rig\x1b[K");
  EXPECT_NE(end, std::string::npos) << r.err;
  EXPECT_GT(again, end) << r.err;
  EXPECT_EQ(r.err.find("0:07"), std::string::npos) << r.err;  // a few seconds in when stopped

  const std::string bytes = fixture::read_file(out);
  std::vector<float> heard(bytes.size() / sizeof(float));
  std::memcpy(heard.data(), bytes.data(), heard.size() * sizeof(float));
  const std::size_t second = 44100 * 2;
  ASSERT_GT(heard.size(), 3 * second);
  EXPECT_LT(rms({heard.begin(), heard.begin() + second}), 0.001);  // 188.5 to 189.5
  EXPECT_GT(rms({heard.end() - second / 2, heard.end()}), 0.1);    // 0:02 or so
  // A run that ends by itself clears its line too, and a pipe never gets it.
  const auto ended = fixture::run({VELMORA_BINARY, "--headless", "--from", "189", "--assets", dir.string()},
                                  {"SDL_AUDIODRIVER=dummy"}, 60, {}, true);
  EXPECT_EQ(ended.status, 0);
  EXPECT_TRUE(ended.err.ends_with("\r\x1b[K")) << ended.err;
  fs::remove_all(dir);
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
  const double back_clock = clock();
  const auto back_at = written();
  shift = 5;  // and five back, as after a seek back: the music is ahead
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
  EXPECT_NEAR(moment(back_at - 1), back_clock - start + 10, slack);
  EXPECT_NEAR(moment(paused - 1), pause_clock - start + 5, slack);
  fs::remove(out);
}

// A device that plays a buffer some time after it is handed over: the music
// asked for is the moment it will be heard, later than now by that time.
TEST(SoundOutput, AsksForTheMomentItsBufferWillBeHeard) {
  const fs::path out = fs::temp_directory_path() / ("velmora-latency-" + std::to_string(::getpid()) + ".raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
  platform::Sound music;
  music.rate = 44100;
  music.channels = 2;
  music.samples.assign(44100 * 2, 0.0f);
  std::atomic<double> ahead{-1};
  platform::SoundOutput output;
  ASSERT_TRUE(output.open(&music,
                          [&](double clock) {
                            ahead = clock - static_cast<double>(platform::monotonic_ns()) * 1e-9;
                            return 0.0;
                          },
                          nullptr));
  output.setLatency(0.25);
  output.start();
  while (ahead < -0.5) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  output.close();
  EXPECT_NEAR(ahead, 0.25, 0.01);
  fs::remove(out);
}

// The soundtrack reader against files that lie, change shape part-way, or
// are not what their name says: each decodes to a bounded length at the
// right speed, or not at all, and nothing inside opens anything else.
TEST(SoundFile, HostileSoundtracksDecodeBoundedOrNotAtAll) {
  const fs::path d = fixture::make_temp_dir("sound-file");
  auto decode = [&](const std::string& name, const std::string& bytes, platform::SoundFileLimits limits = {}) {
    fixture::write_text(d / name, bytes);
    platform::Sound sound;
    std::string why;
    const bool ok = platform::decode_sound_file((d / name).string(), &sound, &why, limits);
    return std::make_tuple(ok, sound, why);
  };

  // An info frame that claims four billion frames reserves nothing.
  std::string lying = mp3(44100, 2, 1);
  const auto info = lying.find("Info");
  ASSERT_NE(info, std::string::npos);
  lying.replace(info + 8, 4, "\xff\xff\xff\xf0");
  auto [ok, sound, why] = decode("lying.mp3", lying);
  ASSERT_TRUE(ok) << why;
  EXPECT_NEAR(sound.seconds(), 1.0, 0.05);

  // Two files cut together: stereo then mono, then a rate that halves. The
  // second part plays at its own speed, resampled to the first's rate.
  std::tie(ok, sound, why) = decode("cut.mp3", mp3(44100, 2, 1) + mp3(44100, 1, 1) + mp3(22050, 2, 1));
  ASSERT_TRUE(ok) << why;
  EXPECT_EQ(sound.rate, 44100);
  EXPECT_NEAR(sound.seconds(), 3.0, 0.2);  // each part adds its encoder delay and padding

  // No more is decoded than asked for, whatever the file holds.
  std::tie(ok, sound, why) = decode("long.mp3", mp3(44100, 2, 3), {.maxSeconds = 1.5});
  ASSERT_TRUE(ok) << why;
  EXPECT_EQ(sound.frames(), 66150u);

  // Rates out of bounds are refused; high ones are kept at 48 kHz.
  std::tie(ok, sound, why) = decode("fast.wav", wav(2'000'000'000, 2, 4000), {.container = "wav"});
  EXPECT_FALSE(ok);
  EXPECT_EQ(why, "its sample rate is outside 8 to 192 kHz");
  std::tie(ok, sound, why) = decode("slow.wav", wav(10, 1, 4000), {.container = "wav"});
  EXPECT_FALSE(ok);
  std::tie(ok, sound, why) = decode("high.wav", wav(192000, 1, 192000 * 2), {.container = "wav"});
  ASSERT_TRUE(ok) << why;
  EXPECT_EQ(sound.rate, 48000);
  EXPECT_NEAR(sound.seconds(), 1.0, 0.01);
  std::tie(ok, sound, why) = decode("low.mp3", mp3(8000, 1, 1));
  ASSERT_TRUE(ok) << why;
  EXPECT_EQ(sound.rate, 8000);

  // A playlist opens nothing it names, even read as a playlist: here a FIFO
  // nobody writes, which would hold the reader for ever (the test writes to
  // it after a while, to get its own thread back).
  // Entries are read relative to the current folder.
  ASSERT_EQ(mkfifo((d / "fifo").c_str(), 0600), 0);
  const fs::path was = fs::current_path();
  fs::current_path(d);
  const std::string playlist = "ffconcat version 1.0\nfile fifo\n";
  for (const char* container : {"mp3", "concat"}) {
    auto read = std::async(std::launch::async, [&] { return std::get<0>(decode("list.mp3", playlist, {.container = container})); });
    const bool ended = read.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!ended) std::ofstream(d / "fifo") << "let go";
    EXPECT_TRUE(ended) << container << ": the playlist's entry was opened";
    EXPECT_FALSE(read.get()) << container;
  }
  fs::current_path(was);
  // Nor does a stream description open the network.
  std::tie(ok, sound, why) =
      decode("stream.sdp", "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=-\nc=IN IP4 127.0.0.1\nt=0 0\nm=audio 5004 RTP/AVP 14\n",
             {.container = "sdp"});
  EXPECT_FALSE(ok);

  // Not sound at all, or a cut-off file: a reason, or what little there is.
  for (const std::string& bytes : {std::string(), std::string(4096, '\x5a'), wav(44100, 2, 400)}) {
    std::tie(ok, sound, why) = decode("junk.mp3", bytes);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(why.empty());
  }
  std::tie(ok, sound, why) = decode("cut-off.mp3", mp3(44100, 2, 1).substr(0, 700));
  EXPECT_LT(sound.seconds(), 0.1);
  fs::remove_all(d);
}

TEST(LoadLog, TheManifestInItsOrder) {
  const auto r = fixture::velmora({"--headless", "--from", "189.8", "--assets", plain_bundle().string()});
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
    const auto r = fixture::velmora({"--headless", "--assets", dir.string()});
    EXPECT_EQ(r.status, 255) << c.missing;
    EXPECT_EQ(r.err, std::string("Unable to load: ") + c.missing + "\n");
    // Nothing follows the failed load on standard output.
    const std::string ends = c.out_ends;
    ASSERT_GE(r.out.size(), ends.size());
    EXPECT_EQ(r.out.substr(r.out.size() - ends.size()), ends) << c.missing;
  }
}

}  // namespace
