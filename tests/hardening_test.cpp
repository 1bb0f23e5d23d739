// The program against a hostile user: signals, impossible moments, files
// that are not files, failing and concurrent writes, a clock that jumps.
// Each case runs the real program and checks its status, its message, that
// it ends in reasonable time and that it leaves nothing behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "platform/png.h"
#include "support/fixture_bundle.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;

const auto bundle = fixture::plain_bundle;

using fixture::velmora;

bool mentions(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const auto contents = fixture::read_file;

// Files in `dir` other than those named.
std::vector<std::string> leftovers(const fs::path& dir, std::initializer_list<std::string> expected) {
  std::vector<std::string> extra;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
  }
  return extra;
}

bool is_png(const fs::path& path) {
  platform::PngReader png;
  return png.open(path.string()) && png.width() == 480 && png.height() == 320;
}

// A copy of the fixture bundle with one file replaced by `make(path)`.
fs::path bundle_with(const std::string& name, const std::string& file, const std::function<void(const fs::path&)>& make) {
  const fs::path dir = fixture::make_temp_dir("hostile-" + name);
  fs::copy(bundle(), dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::remove(dir / file);
  make(dir / file);
  return dir;
}

TEST(Signals, EveryModeEndsPromptlyWithTheSignalsStatus) {
  // Playing headless with a sound device open (the disk driver), and a
  // benchmark, each told to stop part-way.
  const fs::path dir = fixture::make_temp_dir("signals");
  const std::vector<std::string> disk = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + (dir / "sound.raw").string()};
  const auto played = velmora({"--headless", "--from", "100"}, disk, {SIGINT, 1.5});
  EXPECT_EQ(played.status, 130) << played.err;
  EXPECT_TRUE(mentions(played.err, "interrupted")) << played.err;
  EXPECT_LT(played.seconds, 20);

  const auto benched = velmora({"bench", "--assets", bundle().string()}, {}, {SIGTERM, 1.0});
  EXPECT_EQ(benched.status, 143) << benched.err;
  EXPECT_EQ(benched.out, "");  // no half table
  EXPECT_LT(benched.seconds, 20);

  fixture::XvfbServer x;
  if (!x.available()) GTEST_SKIP() << "Xvfb is not available";
  const auto windowed = velmora({"--from", "100"}, {"DISPLAY=" + x.display()}, {SIGTERM, 1.5});
  EXPECT_EQ(windowed.status, 143) << windowed.err;
  EXPECT_LT(windowed.seconds, 20);
}

TEST(Moments, NonFiniteOrMalformedMomentsAreUsageErrors) {
  const std::string assets = bundle().string();
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--from", "nan"},
           {"--from", "inf"},
           {"bench", "--from", "nan", "--to", "1"},
           {"bench", "--from", "189", "--to", "nan"},
           {"still", "--at", "nan", "--out", "x.png"},
           {"still", "--at", "1e2", "--out", "x.png"},
           {"still", "--at", "1:75", "--out", "x.png"}}) {
    const auto r = velmora(args);
    EXPECT_EQ(r.status, 2) << args[1] << " " << r.err;
    EXPECT_TRUE(mentions(r.err, "not a moment")) << r.err;
  }
  const auto outside = velmora({"--from", "191"});
  EXPECT_EQ(outside.status, 2);
  EXPECT_TRUE(mentions(outside.err, "outside the show")) << outside.err;

  const fs::path out = fixture::make_temp_dir("moments") / "m.png";
  const auto minutes = velmora({"still", "--at", "0:03.5", "--out", out.string(), "--assets", assets});
  EXPECT_EQ(minutes.status, 0) << minutes.err;
}

// A part's name, as the README and the display write it, is its start.
TEST(Moments, APartsNameIsItsStart) {
  const std::string assets = bundle().string();
  const fs::path d = fixture::make_temp_dir("parts");
  // Metaballs to the creature: 53 to 70 s, 17 frames at one a second.
  auto r = velmora({"capture", "--out", (d / "m.mkv").string(), "--from", "Metaballs", "--to", "the  creature", "--fps",
                    "1", "--no-audio", "--assets", assets});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(mentions(r.err, " 17 frames")) << r.err;
  r = velmora({"capture", "--out", (d / "g.mkv").string(), "--from", "greetings", "--to", "GLOWING CUBE", "--fps", "2",
               "--no-audio", "--assets", assets});
  EXPECT_TRUE(mentions(r.err, " 31 frames")) << r.err;  // 114.5 to 130 s
  ASSERT_EQ(velmora({"still", "--at", "The closing picture", "--out", (d / "a.png").string(), "--assets", assets})
                .status,
            0);
  ASSERT_EQ(velmora({"still", "--at", "180", "--out", (d / "b.png").string(), "--assets", assets}).status, 0);
  EXPECT_EQ(contents(d / "a.png"), contents(d / "b.png"));
  for (const char* name : {"glowing cubes", "the", "scene 2", ""}) {
    r = velmora({"--from", name});
    EXPECT_EQ(r.status, 2) << name;
    EXPECT_TRUE(mentions(r.err, "not a moment")) << r.err;
  }
}

TEST(HostileBundle, FilesThatAreNotRegularFilesFailAtOnceOrCountAsMissing) {
  const auto fifo = [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); };
  const auto zeros = [](const fs::path& p) { fs::create_symlink("/dev/zero", p); };
  const auto folder = [](const fs::path& p) { fs::create_directory(p); };
  struct Case {
    const char* file;
    std::function<void(const fs::path&)> make;
  };
  for (const Case& c : {Case{"pipe_lo.obj", fifo}, Case{"wheel_small.obj", zeros}, Case{"grass.obj", folder},
                        Case{"bubble.png", fifo}, Case{"logo.png", zeros}, Case{"credits.png", folder}}) {
    const fs::path dir = bundle_with(c.file, c.file, c.make);
    const auto r = velmora({"still", "--at", "1", "--out", (dir / "x.png").string(), "--assets", dir.string()});
    EXPECT_EQ(r.status, 255) << c.file;
    EXPECT_EQ(r.err, std::string("Unable to load: ") + c.file + "\n");
    EXPECT_LT(r.seconds, 20) << c.file;
    EXPECT_FALSE(fs::exists(dir / "x.png"));
  }
  // A soundtrack that is a FIFO is no soundtrack: the show plays in silence.
  const fs::path dir = bundle_with("music", "music.mp3", fifo);
  const auto r = velmora({"--headless", "--from", "189.5", "--assets", dir.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_LT(r.seconds, 20);
}

TEST(StillOutput, ConcurrentWritersEachLeaveAWholePicture) {
  const fs::path dir = fixture::make_temp_dir("concurrent");
  const std::string out = (dir / "same.png").string();
  for (int trial = 0; trial < 3; ++trial) {
    auto write = [&](const char* at) {
      return velmora({"still", "--at", at, "--out", out, "--assets", bundle().string()});
    };
    auto first = std::async(std::launch::async, write, "2");
    auto second = std::async(std::launch::async, write, "3");
    EXPECT_EQ(first.get().status, 0);
    EXPECT_EQ(second.get().status, 0);
    EXPECT_TRUE(is_png(out));
    EXPECT_EQ(leftovers(dir, {"same.png"}), std::vector<std::string>{});
  }
}

TEST(StillOutput, LinksAreFollowedAndSpecialFilesWrittenInPlace) {
  const fs::path dir = fixture::make_temp_dir("links");
  fs::create_directory(dir / "real");
  fs::create_symlink("real/picture.png", dir / "link.png");
  auto r = velmora({"still", "--at", "2", "--out", (dir / "link.png").string(), "--assets", bundle().string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_TRUE(is_png(dir / "real" / "picture.png"));

  // A new picture gets what the umask gives; one written over keeps its mode.
  const auto mode = [](const fs::path& p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
  };
  const std::string again = "umask 027; exec " + std::string(VELMORA_BINARY) + " still --at 2 --assets " +
                            bundle().string() + " --out ";
  EXPECT_EQ(fixture::run_shell(again + (dir / "new.png").string()).status, 0);
  EXPECT_EQ(mode(dir / "new.png"), 0640u);
  fs::permissions(dir / "real" / "picture.png", fs::perms(0604));
  EXPECT_EQ(fixture::run_shell(again + (dir / "link.png").string()).status, 0);
  EXPECT_EQ(mode(dir / "real" / "picture.png"), 0604u);
  fs::remove(dir / "new.png");
  // A name as long as the folder allows is written whole too: the temporary
  // name beside it is shortened to fit.
  const std::string longest = std::string(255 - 4, 'n') + ".png";
  EXPECT_EQ(velmora({"still", "--at", "2", "--out", (dir / longest).string(), "--assets", bundle().string()}).status, 0);
  EXPECT_TRUE(is_png(dir / longest));
  fs::remove(dir / longest);

  // A FIFO stays a FIFO: the picture goes through it to its reader.
  const fs::path fifo = dir / "pipe.png";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto reader = std::async(std::launch::async, [&] { return fixture::read_file(fifo); });
  r = velmora({"still", "--at", "2", "--out", fifo.string(), "--assets", bundle().string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(reader.get().substr(1, 3), "PNG");
  struct stat st {};
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(leftovers(dir, {"real", "link.png", "pipe.png"}), std::vector<std::string>{});
}

TEST(StillOutput, WriteFailuresNameTheFileAndTheReasonAndLeaveNothing) {
  const fs::path dir = fixture::make_temp_dir("write-failures");
  const std::string assets = bundle().string();
  // A full disk.
  auto r = velmora({"still", "--at", "2", "--out", "/dev/full", "--assets", assets});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "velmora: /dev/full: No space left on device\n");
  // A file-size limit: the write fails instead of the process dying mid-file.
  r = fixture::run_shell("ulimit -f 1; exec " + std::string(VELMORA_BINARY) + " still --at 2 --out " +
                         (dir / "big.png").string() + " --assets " + assets);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(mentions(r.err, (dir / "big.png").string() + ": File too large")) << r.err;
  // A missing folder is named.
  r = velmora({"still", "--at", "2", "--out", (dir / "none" / "x.png").string(), "--assets", assets});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r.err, "the folder " + (dir / "none").string() + " does not exist")) << r.err;
  // Names that are no picture's are usage errors.
  for (const char* name : {"", "x.jpg"}) {
    r = velmora({"still", "--at", "2", "--out", name, "--assets", assets});
    EXPECT_EQ(r.status, 2) << name;
  }
  EXPECT_EQ(leftovers(dir, {}), std::vector<std::string>{});
}

TEST(Output, AnUnwritableStandardOutputIsAFailure) {
  const std::string binary = VELMORA_BINARY;
  for (const std::string& command :
       {binary + " --help", binary + " bench --from 189.9 --to 190 --assets " + bundle().string()}) {
    const auto r = fixture::run_shell(command + " > /dev/full");
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_TRUE(mentions(r.err, "standard output: No space left on device")) << r.err;
  }
}

TEST(Clock, SettingTheSystemClockDoesNotMoveTheShow) {
  // The date jumps an hour ahead a second into a run that has about six
  // seconds left: the show must play them out, not end at once.
  const auto r = velmora({"--headless", "--from", "184", "--assets", bundle().string()},
                         {"LD_PRELOAD=" CLOCK_JUMP_LIBRARY, "VELMORA_CLOCK_JUMP_AFTER=1", "VELMORA_CLOCK_JUMP=3600",
                          "ASAN_OPTIONS=verify_asan_link_order=0"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_GT(r.seconds, 5.5);
}

}  // namespace
