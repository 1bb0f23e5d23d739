// The player as a person uses it: keys and the mouse sent to the window of
// the real program under a private X server, the sound written by SDL's disk
// driver, and screenshots saved by the player, named by their moment. And the
// player on the show itself, on the virtual clock: where each move lands.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "engine/schedule.h"
#include "platform/bundle.h"
#include "platform/log.h"
#include "platform/png.h"
#include "platform/run_loop.h"
#include "shell/desktop/terminal_status.h"
#include "shell/desktop/window_player.h"
#include "shell/eagl_view.h"
#include "shell/offline_show.h"
#include "shell/player.h"
#include "support/fixture_bundle.h"
#include "support/process.h"
#include "support/screen_grab.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using C = PlayerCommand;

const auto slurp = fixture::read_file;

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x.available()) GTEST_SKIP() << "Xvfb is not available";
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
    dir = fixture::make_temp_dir("player");
    sound = dir / "sound.raw";
    // The pictures folder as the desktop keeps it, in the user's folders file.
    shots = dir / "my \"shots\"";
    fs::create_directories(shots);
    fs::create_directories(dir / ".config");
    fixture::write_text(dir / ".config/user-dirs.dirs",
                        "# the desktop's folders\nXDG_PICTURES_DIR=\"$HOME/my \\\"shots\\\"\"\n");
    pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", x.display().c_str(), 1);
      setenv("SDL_AUDIODRIVER", "disk", 1);
      setenv("SDL_DISKAUDIOFILE", sound.c_str(), 1);
      setenv("HOME", dir.c_str(), 1);
      unsetenv("XDG_PICTURES_DIR");
      unsetenv("XDG_CONFIG_HOME");
      freopen("/dev/null", "w", stdout);
      freopen((dir / "err.log").c_str(), "w", stderr);
      // Twice the picture's size: on a software renderer the window still
      // draws at the phone's own resolution.
      execl(VELMORA_BINARY, VELMORA_BINARY, "--from", "60", "--scale", "2", "--loop", static_cast<char*>(nullptr));
      _exit(127);
    }
    // The window, then the sound: the start-up is over.
    window = xdotool("search --sync --name velmora");
    for (int i = 0; i < 100 && size() == 0; ++i) std::this_thread::sleep_for(50ms);
    // Where the window lies on the screen, and its display's band in it
    // (the picture fills it).
    const std::string where = xdotool("getwindowgeometry --shell " + window + " | tr '\\n' ' '");
    std::sscanf(where.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &left, &top, &width, &height);
    band = std::max(30, height / 7);
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
  // Keys in order, as fast as a person drumming on the keyboard: each acts on
  // where the ones before it led, however fast they come.
  void keys(const std::string& names) {
    xdotool("key --window " + window + " --delay 40 " + names);
    std::this_thread::sleep_for(400ms);
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
  // The moments of the screenshots saved so far, from their names.
  std::vector<double> moments() {
    std::vector<double> found;
    for (const auto& e : fs::directory_iterator(shots)) {
      const std::string name = e.path().filename().string();
      if (name.size() == 20 && name.ends_with(".png")) found.push_back(std::stod(name.substr(8, 8)));
    }
    return found;
  }

  fixture::XvfbServer x;
  fs::path dir;
  fs::path shots;
  fs::path sound;
  pid_t pid = -1;
  std::string window;
  int left = 0, top = 0, width = 0, height = 0;
  int band = 0;
};

TEST_F(PlayerTest, KeysAndTheMouseLandOnTheirMomentsAndScreenshotsSaySo) {
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

  // Scene 2 twice over, five seconds on (also drawn sharp), the next part,
  // one frame on, the previous part from just after a part's start, before
  // the beginning, past the end: each moment saved as it is shown, a moment
  // saved again under a name of its own.
  keys("space 2 s s Right s");
  // The display names the picture saved last (in the middle of its band,
  // in its own colour), which the picture itself never shows.
  int w = 0, h = 0;
  const auto screen = fixture::grab_screen(x.display(), &w, &h);
  ASSERT_EQ(w * h, static_cast<int>(screen.size()));
  int note = 0;
  for (int y = top + height - band; y < top + height; ++y)
    for (int col = left + width / 2 - width / 5; col < left + width / 2 + width / 5; ++col) {
      const std::uint32_t p = screen[y * w + col];
      const int r = p >> 16, g = p >> 8 & 0xff, b = p & 0xff;
      note += r > 200 && g > 140 && g < 225 && b > 180;
    }
  EXPECT_GT(note, 50);
  keys("S Next s period s Prior s Home Left s 5 Up s");
  for (const char* name : {"velmora-0053.000.png", "velmora-0053.000-2.png", "velmora-0058.000.png",
                           "velmora-0070.000.png", "velmora-0070.017.png", "velmora-0053.000-3.png",
                           "velmora-0000.000.png", "velmora-0190.000.png"}) {
    EXPECT_TRUE(fs::exists(shots / name)) << name << "\n" << slurp(dir / "err.log");
  }

  // Playing from the start, a press on the bar while the display is hidden
  // seeks, and a drag past its end stops the show on its last frame, paused.
  keys("Home space");
  std::this_thread::sleep_for(1800ms);
  const std::string bar_y = std::to_string(height - band / 2);
  xdotool("mousemove --window " + window + " " + std::to_string(width / 2) + " " + bar_y +
          " mousedown 1 sleep 0.3 mousemove --window " + window + " " + std::to_string(width + 300) + " " + bar_y +
          " sleep 0.3 mouseup 1");
  std::this_thread::sleep_for(300ms);
  keys("s");
  EXPECT_TRUE(fs::exists(shots / "velmora-0190.000-2.png")) << slurp(dir / "err.log");
  // Resumed, the loop starts the show again; the right button pauses it
  // there, and a step of the wheel goes five seconds on.
  const std::string middle = std::to_string(width / 2) + " " + std::to_string(height / 3);
  keys("space");
  xdotool("mousemove --window " + window + " " + middle + " click 3");
  keys("s");
  xdotool("click 4");
  keys("s q");
  EXPECT_EQ(wait_for_exit(), 0) << slurp(dir / "err.log");
  std::vector<double> looped;
  for (double m : moments()) {
    if (m > 0 && m < 3) looped.push_back(m);
  }
  ASSERT_EQ(looped.size(), 1u) << slurp(dir / "err.log");
  bool wheeled = false;
  for (double m : moments()) wheeled |= std::abs(m - looped[0] - 5) < 0.002;
  EXPECT_TRUE(wheeled) << looped[0];

  // The picture after a jump is the picture of a straight run (at 480 x 320:
  // a software renderer keeps render scale 1 even full screen).
  const auto still = fixture::velmora({"still", "--at", "58", "--out", (dir / "still.png").string()});
  ASSERT_EQ(still.status, 0) << still.err;
  EXPECT_TRUE(slurp(shots / "velmora-0058.000.png") == slurp(dir / "still.png"));  // byte for byte
  // The sharp one is that moment's still at render scale 4, 1920 x 1280.
  const fs::path sharp = shots / "velmora-0058.000-4x.png";
  for (int i = 0; i < 600 && !fs::exists(sharp); ++i) std::this_thread::sleep_for(50ms);
  const auto four = fixture::velmora({"still", "--at", "58", "--render-scale", "4", "--out", (dir / "four.png").string()});
  ASSERT_EQ(four.status, 0) << four.err;
  EXPECT_TRUE(slurp(sharp) == slurp(dir / "four.png")) << slurp(dir / "err.log");
}

// The player over the show drawn offline: every move carried out at once.
class PlayerMoves : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    platform::setBundlePath(fixture::plain_bundle().string());
    show_ = new OfflineShow();
    player_ = new Player(show_->ui());
    // The show ends the process in its first frame past the end: that must
    // fail a test, not end it with status 0.
    std::atexit([] {
      if (running_) {
        std::fputs("the show ended the process in the middle of a test\n", stderr);
        std::_Exit(1);
      }
    });
  }
  void SetUp() override {
    ASSERT_TRUE(show_->ready());
    running_ = true;
  }
  void TearDown() override { running_ = false; }
  // Where `c` leads, carried out.
  static double after(const PlayerCommand& c) {
    player_->handle(c);
    player_->settle();
    return player_->now();
  }
  static long presented() { return show_->frame().presented(); }

  static OfflineShow* show_;
  static Player* player_;
  static inline bool running_ = false;
};
OfflineShow* PlayerMoves::show_ = nullptr;
Player* PlayerMoves::player_ = nullptr;

TEST_F(PlayerMoves, PartsStartsAndTheEdgesOfTheShow) {
  ASSERT_FALSE(player_->paused());
  after(C{C::Step, 0});  // pauses
  ASSERT_TRUE(player_->paused());
  struct Move {
    C command;
    double lands;
  };
  const Move moves[] = {
      {{C::Scene, 2}, 53},
      {{C::Step, 1}, 53 + 1.0 / 60},
      // Just after a part's start, the part before; again and again, part by part.
      {{C::PreviousPart}, 0},
      {{C::SeekTo, 130.5}, 130.5},
      {{C::PreviousPart}, 114.5},
      {{C::PreviousPart}, 70},
      {{C::PreviousPart}, 53},
      {{C::PreviousPart}, 0},
      {{C::PreviousPart}, 0},
      // Well into a part, its own start.
      {{C::SeekTo, 60}, 60},
      {{C::PreviousPart}, 53},
      {{C::NextPart}, 70},
      {{C::SeekTo, 179.5}, 179.5},
      {{C::NextPart}, 180},
      {{C::NextPart}, 180},  // no part after the last picture's
      // Never before the start.
      {{C::SeekTo, 3}, 3},
      {{C::SeekBy, -5}, 0},
      {{C::SeekTo, 20}, 20},
      {{C::SeekBy, -30}, 0},
      {{C::Step, -1}, 0},
      // Never past the end.
      {{C::SeekTo, 175}, 175},
      {{C::SeekBy, 30}, kShowEnd},
      {{C::Step, 1}, kShowEnd},
      {{C::SeekBy, 5}, kShowEnd},
  };
  for (const Move& m : moves) {
    SCOPED_TRACE(std::to_string(m.command.kind) + " (" + std::to_string(m.command.value) + ")");
    EXPECT_NEAR(after(m.command), m.lands, 1e-9);
  }
}

TEST_F(PlayerMoves, ABurstOfSeeksIsOneSeekAtTheNextTurn) {
  after(C{C::SeekTo, 2});
  if (player_->paused()) after(C{C::TogglePause});
  const long before = presented();
  // Each acts on where the ones before it led: two steps back stop at the
  // start, and the one forward goes on from there.
  for (double by : {-5.0, -5.0, 5.0, 30.0, 30.0}) player_->handle(C{C::SeekBy, by});
  EXPECT_EQ(player_->target(), 65);
  EXPECT_EQ(presented(), before);  // nothing drawn yet
  platform::NSRunLoop::mainRunLoop().runOnce();
  EXPECT_EQ(presented(), before + 1);  // one frame for all of them
  EXPECT_EQ(player_->now(), 65);
  EXPECT_FALSE(player_->paused());
  // "Previous part" pressed again before the first is carried out walks
  // back one more part: the start of this one, then of the one before.
  player_->handle(C{C::PreviousPart});
  player_->handle(C{C::PreviousPart});
  EXPECT_EQ(after(C{C::SeekBy, 0}), 0);
  after(C{C::SeekTo, 65});
  // A screenshot is of where the commands before it led.
  double saved = -1;
  player_->onScreenshot = [&](double moment) { saved = moment; };
  player_->handle(C{C::SeekBy, 5});
  player_->handle(C{C::Screenshot});
  EXPECT_EQ(saved, 70);
  // A burst that passes the end stops the show there at once, paused, and
  // the rest of it moves on from there.
  player_->handle(C{C::SeekBy, 150});
  EXPECT_TRUE(player_->paused());
  player_->handle(C{C::SeekBy, -10});
  EXPECT_EQ(after(C{C::SeekBy, 0}), kShowEnd - 10);
  EXPECT_TRUE(player_->paused());
}

TEST_F(PlayerMoves, TheLoopStartsAgainAtTheEndAndTheKeysGoOnWorking) {
  after(C{C::SeekTo, kShowEnd});
  ASSERT_TRUE(player_->paused());  // stopped on the last frame, not ended
  player_->setLoop(true);
  after(C{C::TogglePause});
  auto& loop = platform::NSRunLoop::mainRunLoop();
  loop.runOnce();  // the frame past the end: the first again
  EXPECT_FALSE(player_->paused());
  EXPECT_EQ(player_->now(), 0);
  for (int i = 0; i < 30; ++i) loop.runOnce();
  EXPECT_NEAR(player_->now(), 0.5, 0.02);
  EXPECT_EQ(after(C{C::SeekBy, -5}), 0);
  EXPECT_EQ(after(C{C::NextPart}), 53);
}

// The terminal's line: whole seconds while playing, hundredths while paused
// (a moment just short of a minute rounds up into the next), the part, and
// the volume when it is not full.
TEST_F(PlayerMoves, TheTerminalLineSaysWhereThePlayerIs) {
  char line[128];
  after(C{C::SeekTo, 130.9});
  if (player_->paused()) after(C{C::TogglePause});
  status_text(*player_, line, sizeof line);
  EXPECT_STREQ(line, "2:10 / 3:10  The glowing cube");
  after(C{C::TogglePause});
  after(C{C::SeekTo, 59.996});
  player_->handle(C{C::ToggleMute});
  status_text(*player_, line, sizeof line);
  EXPECT_STREQ(line, "1:00.00 / 3:10  Metaballs  paused  muted");
  player_->handle(C{C::Volume, -3});
  status_text(*player_, line, sizeof line);
  EXPECT_STREQ(line, "1:00.00 / 3:10  Metaballs  paused  volume 70%");
  // From the start of the animation to its first frame, the moment it
  // starts at (not the last frame of a run before).
  after(C{C::TogglePause});
  set_start_offset(100);
  show_->view().stopAnimation();
  show_->view().startAnimation();
  set_start_offset(0);
  status_text(*player_, line, sizeof line);
  EXPECT_STREQ(line, "1:40 / 3:10  The creature  volume 70%");
  // Each line of the log clears the player's line first.
  ::testing::internal::CaptureStderr();
  platform::setStatusLine("0:41 / 3:10");
  platform::NSLog("saved %s", "x.png");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\r0:41 / 3:10\x1b[K\r\x1b[Kvelmora: saved x.png\n");
}

// Where screenshots go, in a home of the test's own.
TEST(PicturesFolder, TheVariableThenTheUserDirsFileThenPicturesThenHere) {
  const fs::path home = fixture::make_temp_dir("pictures-home");
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_PICTURES_DIR");
  EXPECT_EQ(pictures_folder(), ".");
  fs::create_directories(home / "Pictures");
  EXPECT_EQ(pictures_folder(), (home / "Pictures").string());
  // The user's folders: the last line naming it counts; a folder that is
  // not there is passed over.
  fs::create_directories(home / ".config");
  fixture::write_text(home / ".config/user-dirs.dirs",
                      "XDG_PICTURES_DIR=\"$HOME/Shots\"\n  XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
                      "XDG_MUSIC_DIR=\"$HOME/Music\"\n");
  EXPECT_EQ(pictures_folder(), (home / "Pictures").string());
  fs::create_directories(home / "Bilder");
  EXPECT_EQ(pictures_folder(), (home / "Bilder").string());
  // Elsewhere than ~/.config when the desktop says so, an absolute path too.
  const fs::path config = fixture::make_temp_dir("pictures-config");
  fixture::write_text(config / "user-dirs.dirs", "XDG_PICTURES_DIR=\"" + config.string() + "\"\n");
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  EXPECT_EQ(pictures_folder(), config.string());
  setenv("XDG_PICTURES_DIR", "/somewhere/else", 1);
  EXPECT_EQ(pictures_folder(), "/somewhere/else");
}

}  // namespace
