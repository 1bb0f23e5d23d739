// The player as a person uses it: keys sent to the window of the real
// program under a private X server, the sound written by SDL's disk driver,
// and screenshots saved by the player, named by their moment.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "support/fixture_bundle.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x.available()) GTEST_SKIP() << "Xvfb is not available";
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
    dir = fixture::make_temp_dir("player");
    sound = dir / "sound.raw";
    pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", x.display().c_str(), 1);
      setenv("SDL_AUDIODRIVER", "disk", 1);
      setenv("SDL_DISKAUDIOFILE", sound.c_str(), 1);
      setenv("XDG_PICTURES_DIR", dir.c_str(), 1);
      freopen("/dev/null", "w", stdout);
      freopen((dir / "err.log").c_str(), "w", stderr);
      // Full screen on the 1920 x 1080 screen: on a software renderer the
      // window still draws at the phone's own resolution.
      execl(VELMORA_BINARY, VELMORA_BINARY, "--from", "60", "--fullscreen", static_cast<char*>(nullptr));
      _exit(127);
    }
    // The window, then the sound: the start-up is over.
    window = xdotool("search --sync --name velmora");
    for (int i = 0; i < 100 && size() == 0; ++i) std::this_thread::sleep_for(50ms);
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  std::string xdotool(const std::string& args) {
    const auto r = fixture::run_shell("DISPLAY=" + x.display() + " xdotool " + args, {}, 20);
    std::string out = r.out;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out.substr(0, out.find('\n'));
  }
  // Keys in order, each given time to act (a seek draws a dozen frames).
  void keys(const std::string& names) {
    std::size_t at = 0;
    while (at < names.size()) {
      const std::size_t end = std::min(names.find(' ', at), names.size());
      xdotool("key --window " + window + " " + names.substr(at, end - at));
      std::this_thread::sleep_for(400ms);
      at = end + 1;
    }
  }
  std::uintmax_t size() {
    std::error_code ec;
    const auto s = fs::file_size(sound, ec);
    return ec ? 0 : s;
  }
  int wait_for_exit() {
    int status = 0;
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(50ms);
    }
    return -1;
  }

  fixture::XvfbServer x;
  fs::path dir;
  fs::path sound;
  pid_t pid = -1;
  std::string window;
};

TEST_F(PlayerTest, PauseHoldsPictureAndSoundAndSeeksLandOnTheirMoments) {
  ASSERT_FALSE(window.empty());
  ASSERT_GT(size(), 0u) << slurp(dir / "err.log");
  // Paused, nothing more is written; resumed, the sound goes on.
  keys("space");
  const auto paused = size();
  std::this_thread::sleep_for(700ms);
  EXPECT_EQ(size(), paused);
  keys("space");
  std::this_thread::sleep_for(300ms);
  EXPECT_GT(size(), paused);

  // Scene 2, five seconds on, the next part, one frame on, the beginning:
  // each moment saved as it is shown.
  keys("space 2 s Right s Next s period s Home s q");
  EXPECT_EQ(wait_for_exit(), 0);
  for (const char* name : {"velmora-0053.000.png", "velmora-0058.000.png", "velmora-0070.000.png",
                           "velmora-0070.017.png", "velmora-0000.000.png"}) {
    EXPECT_TRUE(fs::exists(dir / name)) << name << "\n" << slurp(dir / "err.log");
  }
  // The picture after a jump is the picture of a straight run (at 480 x 320:
  // a software renderer keeps render scale 1 even full screen).
  const auto still = fixture::run({VELMORA_BINARY, "still", "--at", "58", "--out", (dir / "still.png").string()});
  ASSERT_EQ(still.status, 0) << still.err;
  EXPECT_EQ(slurp(dir / "velmora-0058.000.png"), slurp(dir / "still.png"));
}

}  // namespace
