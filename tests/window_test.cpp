// The desktop window under a private X server: the picture turned into the
// landscape view with black bars, the keys, the mouse and the on-screen
// display through the window's controls, and the default size.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstdlib>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop/window.h"
#include "shell/desktop/window_player.h"
#include "support/process.h"

namespace {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x.available()) GTEST_SKIP() << "Xvfb is not available";
    setenv("DISPLAY", x.display().c_str(), 1);
  }
  // A window of the phone's screen at `scale` times the picture (0: the default).
  static platform::WindowOptions scaled(int scale) {
    platform::WindowOptions options;
    options.scale = scale;
    return options;
  }
  fixture::XvfbServer x;
};

// A 320 x 480 portrait frame: top half red, bottom half blue, a green
// column along the right edge.
std::vector<std::uint8_t> portrait_frame() {
  std::vector<std::uint8_t> px(320 * 480 * 4);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 320; ++x) {
      std::uint8_t* p = &px[(y * 320 + x) * 4];
      p[x >= 310 ? 1 : y < 240 ? 0 : 2] = 255;
      p[3] = 255;
    }
  return px;
}

// The window's pixel at (x, y), as 0xRRGGBB.
std::uint32_t window_pixel(int x, int y) {
  SDL_Renderer* r = SDL_GetRenderer(SDL_GetWindowFromID(1));
  if (!r) return 0xdeadbeef;
  std::uint8_t p[4] = {};
  SDL_Rect rect{x, y, 1, 1};
  SDL_RenderReadPixels(r, &rect, SDL_PIXELFORMAT_RGBA32, p, 4);
  return static_cast<std::uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
}

TEST_F(WindowTest, ShowsTheLandscapeViewAtAWholeMultiple) {
  platform::Window window(320, 480, scaled(2));
  int w = 0, h = 0;
  window.size(&w, &h);
  EXPECT_EQ(w, 960);
  EXPECT_EQ(h, 640);

  window.present(platform::Frame{320, 480, portrait_frame()});
  // The portrait's top half lies on the left, its right edge along the top.
  EXPECT_EQ(window_pixel(100, 300), 0xff0000u);
  EXPECT_EQ(window_pixel(860, 300), 0x0000ffu);
  EXPECT_EQ(window_pixel(480, 5), 0x00ff00u);
}

TEST_F(WindowTest, PortraitShowsThePhonesScreenAsItStands) {
  platform::WindowOptions options = scaled(1);
  options.orientation = platform::Orientation::Portrait;
  platform::Window window(320, 480, options);
  window.present(platform::Frame{320, 480, portrait_frame()});
  EXPECT_EQ(window_pixel(100, 100), 0xff0000u);
  EXPECT_EQ(window_pixel(100, 400), 0x0000ffu);
  EXPECT_EQ(window_pixel(315, 100), 0x00ff00u);
}

// On the 1920 x 1080 test screen: 960 x 640 by default, the largest multiple
// within 80% of it; a scale larger than the desktop is reduced to the
// largest that fits, 1440 x 960.
TEST_F(WindowTest, TheDefaultSizeFitsTheDesktopAndALargerScaleIsReduced) {
  EXPECT_EQ(platform::Window(320, 480, {}).scale(), 2);
  EXPECT_EQ(platform::Window(320, 480, scaled(16)).scale(), 3);
}

TEST_F(WindowTest, ResizingKeepsTheAspectWithBlackBars) {
  platform::Window window(320, 480, scaled(1));
  SDL_SetWindowSize(SDL_GetWindowFromID(1), 960, 320);
  window.pollEvents();
  window.present(platform::Frame{320, 480, portrait_frame()});
  EXPECT_EQ(window_pixel(100, 160), 0x000000u);  // bar
  EXPECT_EQ(window_pixel(300, 160), 0xff0000u);
  EXPECT_EQ(window_pixel(860, 160), 0x000000u);  // bar
}

// A key for the window to take at its next turn.
void push_key(SDL_Keycode k, Uint16 mod = KMOD_NONE, Uint32 type = SDL_KEYDOWN) {
  SDL_Event key{};
  key.type = type;
  key.key.keysym.sym = k;
  key.key.keysym.mod = mod;
  SDL_PushEvent(&key);
}

TEST_F(WindowTest, EscLeavesFullScreenFirstThenQuitsAndClosingQuits) {
  platform::Window window(320, 480, scaled(1));
  int quits = 0;
  WindowControls controls(window, [] { return DisplayState{}; },
                          [&](const PlayerCommand& c) { quits += c.kind == PlayerCommand::Quit; });
  auto press = [&](SDL_Keycode k, Uint16 mod = KMOD_NONE, Uint32 type = SDL_KEYDOWN) {
    push_key(k, mod, type);
    window.pollEvents();
  };
  press(SDLK_F11);
  EXPECT_TRUE(window.fullscreen());
  press(SDLK_RETURN, KMOD_LALT);
  EXPECT_FALSE(window.fullscreen());
  press(SDLK_f);
  EXPECT_TRUE(window.fullscreen());
  press(SDLK_ESCAPE);  // leaves full screen, does not quit
  EXPECT_FALSE(window.fullscreen());
  EXPECT_EQ(quits, 0);
  press(SDLK_ESCAPE);
  press(SDLK_q);
  press(SDLK_UNKNOWN, KMOD_NONE, SDL_QUIT);
  EXPECT_EQ(quits, 3);
  // A storm of toggles changes full screen at most once a turn: an even
  // number in one turn is none, and Esc counts the turn's toggles before it.
  for (int i = 0; i < 5; ++i) push_key(SDLK_f);
  window.pollEvents();
  EXPECT_TRUE(window.fullscreen());
  SDL_Delay(100);
  window.pollEvents();  // what the change of size reports
  for (int i = 0; i < 4; ++i) push_key(SDLK_F11);
  window.pollEvents();
  EXPECT_TRUE(window.fullscreen());
  SDL_Delay(100);
  SDL_PumpEvents();
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT), 0);  // not changed at all
  push_key(SDLK_f);
  push_key(SDLK_ESCAPE);  // leaves the full screen the f just asked to leave: quits
  window.pollEvents();
  EXPECT_FALSE(window.fullscreen());
  EXPECT_EQ(quits, 4);
}

// The mouse, as common players have it, through the window's own events: a
// click on the progress bar seeks even while the display is hidden, the
// right button pauses, the wheel seeks as far as the arrows (away from the
// viewer forward, also when the desktop flips the wheel), a double click
// toggles full screen.
TEST_F(WindowTest, TheMouseSeeksPausesAndTogglesFullScreen) {
  platform::Window window(320, 480, scaled(2));  // 960 x 640: the band is 91 high, the bar 30 to 930
  std::vector<PlayerCommand> commands;
  DisplayState show;
  show.length = 190;
  WindowControls controls(window, [&] { return show; }, [&](const PlayerCommand& c) { commands.push_back(c); });
  // The pointer over the new window shows the display; its moment passes.
  platform::use_virtual_clock(1'000'000);
  window.pollEvents();
  platform::set_virtual_now_us(3'000'000);
  window.pollEvents();
  ASSERT_FALSE(controls.display().shown());
  auto button = [&](Uint32 type, Uint8 which, int at_x, int at_y, Uint8 clicks = 1) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = 1;
    e.button.button = which;
    e.button.x = at_x;
    e.button.y = at_y;
    e.button.clicks = clicks;
    SDL_PushEvent(&e);
  };
  auto wheel = [&](int y, Uint32 direction) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = 1;
    e.wheel.y = y;
    e.wheel.direction = direction;
    SDL_PushEvent(&e);
  };
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 255, 600);
  button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 255, 600);
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 480, 100);
  wheel(1, SDL_MOUSEWHEEL_NORMAL);
  wheel(-2, SDL_MOUSEWHEEL_NORMAL);
  wheel(1, SDL_MOUSEWHEEL_FLIPPED);
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 480, 100, 2);
  window.pollEvents();
  using C = PlayerCommand;
  const std::vector<PlayerCommand> expected = {
      {C::SeekTo, 47.5}, {C::TogglePause}, {C::SeekBy, 5}, {C::SeekBy, -10}, {C::SeekBy, -5}};
  EXPECT_EQ(commands, expected);
  EXPECT_TRUE(window.fullscreen());
}

TEST_F(WindowTest, TheOnScreenDisplayIsTheWindowsOwnAndNotThePictures) {
  platform::Window window(320, 480, scaled(1));
  DisplayState state;
  state.time = 95;
  state.length = 190;
  state.part = "The creature";
  state.paused = true;
  WindowControls controls(window, [state] { return state; }, [](const PlayerCommand&) {});
  const auto px = portrait_frame();
  window.present(platform::Frame{320, 480, px});
  const std::uint32_t before = window_pixel(240, 310);  // near the bottom of the picture
  controls.showDisplay();
  EXPECT_TRUE(controls.display().shown());
  EXPECT_NE(window_pixel(240, 310), before);
  // What a screenshot saves is the picture alone.
  std::vector<std::uint8_t> turned(480 * 320 * 4);
  platform::orient_frame(platform::Frame{320, 480, px}, platform::Orientation::Landscape, turned.data(), 480 * 4);
  EXPECT_EQ(window.picture(), turned);
}

// The display as it changes: whole seconds while playing (its text the same
// all through a second), hundredths while paused; a note in the middle for a
// while ("Saved ..."); and once its moment is over, a small pause mark that
// stays while paused and goes when playing.
TEST_F(WindowTest, TheDisplaysTimeNoteAndPauseMark) {
  platform::use_virtual_clock(1'000'000);
  platform::Window window(320, 480, scaled(1));  // 480 x 320: the band is 45 high
  DisplayState state;
  state.length = 190;
  state.part = "Metaballs";
  WindowControls controls(window, [&] { return state; }, [](const PlayerCommand&) {});
  window.pollEvents();  // the pointer over the new window
  std::vector<std::uint8_t> grey(320 * 480 * 4, 128);
  window.present(platform::Frame{320, 480, grey});
  // The band's text row, and the middle of it.
  auto row = [&](int x0, int x1) {
    window.redraw();
    std::vector<std::uint32_t> px;
    for (int y = 290; y < 316; ++y)
      for (int col = x0; col < x1; ++col) px.push_back(window_pixel(col, y));
    return px;
  };
  controls.showDisplay();
  state.time = 41.02;
  const auto at_41 = row(0, 480);
  state.time = 41.98;
  EXPECT_EQ(row(0, 480), at_41);
  state.paused = true;
  const auto paused_41 = row(0, 480);
  state.time = 41.02;
  EXPECT_NE(row(0, 480), paused_41);

  const auto middle = row(170, 310);
  controls.say("Saved velmora-0041.020.png");
  controls.showDisplay();  // what comes after it does not cut it short
  const auto noted = row(170, 310);
  EXPECT_NE(noted, middle);
  platform::set_virtual_now_us(1'000'000 + 2'500'000);
  EXPECT_EQ(row(170, 310), noted);
  platform::set_virtual_now_us(1'000'000 + 3'100'000);
  EXPECT_FALSE(controls.display().shown());

  // Paused, five seconds on: the mark, bars of near white, in the corner.
  platform::set_virtual_now_us(1'000'000 + 5'000'000);
  window.pollEvents();
  EXPECT_GT(window_pixel(13, 304) & 0xff, 200u);
  EXPECT_EQ(window_pixel(240, 304), 0x808080u);  // nothing else over the picture
  state.paused = false;
  window.pollEvents();
  EXPECT_EQ(window_pixel(13, 304), 0x808080u);
}

TEST_F(WindowTest, APictureScaledByAFractionIsSmoothedNotDoubled) {
  platform::Window window(320, 480, scaled(1));
  SDL_SetWindowSize(SDL_GetWindowFromID(1), 720, 480);  // 1.5 times
  window.pollEvents();
  // Columns of the landscape picture alternating black and white.
  std::vector<std::uint8_t> px(320 * 480 * 4, 255);
  for (int i = 0; i < 320 * 480; ++i) std::fill_n(&px[i * 4], 3, i / 320 % 2 ? 0 : 255);
  window.present(platform::Frame{320, 480, px});
  int grey = 0;
  for (int col = 100; col < 300; ++col) {
    const std::uint32_t p = window_pixel(col, 240) & 0xff;
    grey += p > 20 && p < 235;
  }
  EXPECT_GT(grey, 60);  // a doubled column of a whole-pixel scaling leaves none
}

TEST_F(WindowTest, HidingAndShowingReportActivityOnceEach) {
  platform::Window window(320, 480, scaled(1));
  window.pollEvents();
  std::vector<bool> activity;
  window.onActivity = [&](bool active) { activity.push_back(active); };
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = 1;
  for (Uint8 what : {SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_HIDDEN, SDL_WINDOWEVENT_RESTORED,
                     SDL_WINDOWEVENT_SHOWN}) {
    e.window.event = what;
    SDL_PushEvent(&e);
  }
  window.pollEvents();
  EXPECT_EQ(activity, (std::vector<bool>{false, true}));
}

}  // namespace
