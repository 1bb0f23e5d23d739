// velmora capture as a user runs it, read back with FFmpeg's libraries: the
// frames and the sound it writes, how its pictures match the stills, how its
// sound lines up with them, and how it fails.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "music_mp3.h"
#include "platform/png.h"
#include "platform/sound_file.h"
#include "support/fixture_bundle.h"
#include "support/process.h"
#include "support/video_reader.h"

namespace {

namespace fs = std::filesystem;

using fixture::moment_text;
using fixture::velmora;

const fs::path& dir() {
  static const fs::path d = fixture::make_temp_dir("capture");
  return d;
}

TEST(Capture, TwoSecondsAreTwoSecondsOfFramesAndSound) {
  for (const char* name : {"two.mp4", "two.webm"}) {
    SCOPED_TRACE(name);
    const std::string out = (dir() / name).string();
    const auto r = velmora({"capture", "--out", out, "--from", "60", "--to", "62", "--fps", "30"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.find("60 frames") != std::string::npos) << r.err;  // the closing summary
    fixture::Video video;
    ASSERT_TRUE(fixture::read_video(out, &video));
    EXPECT_EQ(video.frames.size(), 60u);  // two seconds at 30 frames a second
    EXPECT_EQ(video.fps, 30);
    EXPECT_EQ(video.width, 480);
    EXPECT_EQ(video.height, 320);
    EXPECT_EQ(video.audioStreams, 1);
    EXPECT_EQ(video.colorRange, 1) << "tagged limited range (AVCOL_RANGE_MPEG), as the pixels are";
    platform::Sound sound;
    const bool webm = std::string(name).ends_with(".webm");
    ASSERT_TRUE(platform::decode_sound_file(out, &sound, nullptr, {.container = webm ? "webm" : "mp4"}));
    EXPECT_EQ(sound.rate, webm ? 48000 : 44100);
    // Decoders hand out whole codec frames; the track is the span's length.
    EXPECT_NEAR(sound.seconds(), 2.0, 0.025);
    if (!webm) {
      EXPECT_NEAR(video.audioDuration, 2.0, 0.001);
    }
  }
  // Without sound, on request; a span whose length times the frame rate is
  // not a whole number in floating point (0.2 s is 5.999... frames of 30).
  const std::string quiet = (dir() / "quiet.mkv").string();
  ASSERT_EQ(velmora({"capture", "--out", quiet, "--from", "0.1", "--to", "0.3", "--fps", "30", "--no-audio",
                     "--portrait"})
                .status,
            0);
  fixture::Video video;
  ASSERT_TRUE(fixture::read_video(quiet, &video));
  EXPECT_EQ(video.audioStreams, 0);
  EXPECT_EQ(video.width, 320);
  EXPECT_EQ(video.frames.size(), 6u);
}

TEST(Capture, FramesAreTheStillsOfTheirMoments) {
  // A moment in every part of the show; the capture's second frame is the
  // moment itself, the first the frame before it, as a live run draws them.
  for (double t : {22.5, 60.0, 90.0, 121.0, 143.0, 182.5}) {
    SCOPED_TRACE(t);
    const std::string out = (dir() / "moment.mp4").string();
    const std::string png = (dir() / "moment.png").string();
    ASSERT_EQ(velmora({"capture", "--out", out, "--from", moment_text(t - 1.0 / 60), "--to", moment_text(t + 1.0 / 60),
                       "--no-audio"})
                  .status,
              0);
    ASSERT_EQ(velmora({"still", "--at", moment_text(t), "--out", png}).status, 0);
    fixture::Video video;
    ASSERT_TRUE(fixture::read_video(out, &video));
    ASSERT_EQ(video.frames.size(), 2u);
    const auto rgba = fixture::read_png(png);
    ASSERT_FALSE(rgba.empty());
    // Compared in luma: yuv420p halves the colour resolution before any
    // encoding, and the encoder's loss is what is measured here.
    const auto still = fixture::luma_of(rgba);
    EXPECT_GT(fixture::psnr(video.luma[1].data(), still.data(), still.size()), 35);
  }
}

TEST(Capture, TheSoundOfAMomentPlaysWhileItsFrameIsShown) {
  // A bundle whose music is silent but for one click at exactly 3 s.
  const fs::path bundle = fixture::make_temp_dir("capture-click");
  fixture::write_bundle(bundle);
  std::vector<float> left(44100 * 6, 0.0f);
  for (int i = 0; i < 8; ++i) left[44100 * 3 + i] = 0.9f;
  const auto mp3 = assetgen::music::encode_mp3(left, left, 44100, 192);
  fixture::write_text(bundle / "music.mp3", std::string(mp3.begin(), mp3.end()));

  const std::string out = (dir() / "click.mp4").string();
  ASSERT_EQ(velmora({"capture", "--out", out, "--from", "2.5", "--to", "4", "--assets", bundle.string()}).status, 0);
  platform::Sound sound;
  ASSERT_TRUE(platform::decode_sound_file(out, &sound, nullptr, {.container = "mp4"}));
  std::size_t loudest = 0;
  for (std::size_t i = 0; i < sound.frames(); ++i) {
    if (std::abs(sound.samples[i * 2]) > std::abs(sound.samples[loudest * 2])) loudest = i;
  }
  // The frame of demo time 3 s is shown 0.5 s into the video.
  EXPECT_NEAR(static_cast<double>(loudest) / sound.rate, 0.5, 0.001);
}

TEST(Capture, InterruptedUnwritableAndMisnamedCapturesLeaveNothing) {
  const fs::path d = fixture::make_temp_dir("capture-failures");
  auto r = velmora({"capture", "--out", (d / "long.mp4").string()}, {}, {SIGINT, 2.0});
  EXPECT_EQ(r.status, 130) << r.err;
  r = velmora({"capture", "--out", (d / "term.webm").string()}, {}, {SIGTERM, 2.0});
  EXPECT_EQ(r.status, 143) << r.err;
  r = fixture::run_shell("ulimit -f 10; exec " + std::string(VELMORA_BINARY) + " capture --from 100 --to 103 --out " +
                         (d / "big.mp4").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find((d / "big.mp4").string() + ": File too large"), std::string::npos) << r.err;
  r = velmora({"capture", "--out", (d / "none" / "x.mp4").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;
  r = velmora({"capture", "--out", (d / "x.avi").string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(".mp4, .mov, .mkv, .webm, .nut, .gif, .webp or numbered pictures"), std::string::npos) << r.err;
  // Any signal that ends a process by default is a stop like Ctrl+C.
  r = velmora({"capture", "--out", (d / "usr1.mkv").string()}, {}, {SIGUSR1, 2.0});
  EXPECT_EQ(r.status, 128 + SIGUSR1) << r.err;
  // A FIFO nobody reads is waited for, saying so, until Ctrl+C.
  ASSERT_EQ(mkfifo((d / "fifo.mkv").c_str(), 0600), 0);
  r = velmora({"capture", "--no-audio", "--out", (d / "fifo.mkv").string()}, {}, {SIGINT, 6.0});
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_NE(r.err.find("fifo.mkv: waiting for a reader"), std::string::npos) << r.err;
  fs::remove(d / "fifo.mkv");
  EXPECT_TRUE(fs::is_empty(d));
}

// A name is a path, whatever it holds: FFmpeg never reads one as a protocol.
// And a soundtrack at a rate the encoder does not take is resampled for it.
TEST(Capture, AnyNameIsAPathAndAnySoundtrackCaptures) {
  const fs::path d = fixture::make_temp_dir("capture-names");
  fixture::write_bundle(d / "bundle");
  std::vector<float> tone(22050);
  for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = 0.5f * std::sin(static_cast<float>(i) * 0.1f);
  const auto mp3 = assetgen::music::encode_mp3(tone, tone, 22050, 64);
  fixture::write_text(d / "bundle" / "music.mp3", std::string(mp3.begin(), mp3.end()));
  fs::create_directory(d / "file:");
  const auto r = fixture::run_shell("cd " + d.string() + " && " + VELMORA_BINARY +
                                    " capture --from 0 --to 0.5 --assets bundle --out file:/x.mp4 &&"
                                    " exec " + VELMORA_BINARY +
                                    " capture --from 0 --to 0.5 --no-audio --assets bundle --out pipe:y.mkv");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty());
  platform::Sound sound;
  ASSERT_TRUE(platform::decode_sound_file((d / "file:" / "x.mp4").string(), &sound, nullptr, {.container = "mp4"}));
  EXPECT_EQ(sound.rate, 48000);
  EXPECT_NEAR(sound.seconds(), 0.5, 0.025);
  fixture::Video video;
  EXPECT_TRUE(fixture::read_video((d / "pipe:y.mkv").string(), &video));
  EXPECT_EQ(video.frames.size(), 30u);
  fs::remove_all(d);
}

}  // namespace
