// The one table of controls: the desktop window's keys (real SDL events under
// a private X server) and the page's (the browser's key names) reach the same
// commands through it; the pointer's drag on the progress bar; and the
// on-screen display's moment.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop/window.h"
#include "platform/web/keys.h"
#include "shell/controls.h"
#include "shell/on_screen_display.h"
#include "support/process.h"

namespace {

using C = PlayerCommand;

Control player(C::Kind kind, double value = 0) { return Control{Control::Player, C{kind, value}}; }
const Control kFullscreen{Control::ToggleFullscreen};

std::string describe(const std::optional<Control>& c) {
  if (!c) return "nothing";
  switch (c->kind) {
    case Control::Player:
      return "command " + std::to_string(c->command.kind) + " (" + std::to_string(c->command.value) + ")";
    case Control::ToggleFullscreen:
      return "full screen";
    case Control::LeaveFullscreenOrQuit:
      return "Esc";
    case Control::ShowDisplay:
      return "show the display";
    case Control::CopyLink:
      return "copy a link";
  }
  return "?";
}

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x.available()) GTEST_SKIP() << "Xvfb is not available";
    setenv("DISPLAY", x.display().c_str(), 1);
    window.emplace(320, 480, platform::WindowOptions{});
    window->onKey = [this](const platform::KeyPress& k) { pressed.push_back(k); };
  }

  // What the window's key asks for, through the table.
  std::optional<Control> desktop(SDL_Keycode sym, Uint16 mod = KMOD_NONE, bool repeat = false) {
    pressed.clear();
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat ? 1 : 0;
    SDL_PushEvent(&e);
    window->pollEvents();
    if (pressed.size() != 1) return std::nullopt;
    return control_for_key(pressed[0]);
  }
  // What the page's key asks for, through the table.
  static std::optional<Control> page(const char* key, bool alt = false, bool shift = false, bool repeat = false) {
    const auto k = platform::web::key_press(key, alt, shift, repeat);
    return k ? control_for_key(*k) : std::nullopt;
  }

  fixture::XvfbServer x;
  std::optional<platform::Window> window;
  std::vector<platform::KeyPress> pressed;
};

TEST_F(Controls, BothFlavoursKeysReachTheSameCommands) {
  struct Case {
    SDL_Keycode sym;
    Uint16 mod;
    const char* key;  // KeyboardEvent.key
    bool alt, shift, repeat;
    std::optional<Control> expected;
  };
  const Case cases[] = {
      {SDLK_SPACE, KMOD_NONE, " ", false, false, false, player(C::TogglePause)},
      {SDLK_p, KMOD_NONE, "p", false, false, false, player(C::TogglePause)},
      {SDLK_p, KMOD_LSHIFT, "P", false, true, false, player(C::TogglePause)},
      {SDLK_LEFT, KMOD_NONE, "ArrowLeft", false, false, false, player(C::SeekBy, -5)},
      {SDLK_RIGHT, KMOD_NONE, "ArrowRight", false, false, true, player(C::SeekBy, 5)},  // held: repeats
      {SDLK_LEFT, KMOD_LSHIFT, "ArrowLeft", false, true, false, player(C::Step, -1)},
      {SDLK_RIGHT, KMOD_RSHIFT, "ArrowRight", false, true, false, player(C::Step, 1)},
      {SDLK_UP, KMOD_NONE, "ArrowUp", false, false, false, player(C::SeekBy, 30)},
      {SDLK_DOWN, KMOD_NONE, "ArrowDown", false, false, true, player(C::SeekBy, -30)},
      {SDLK_COMMA, KMOD_NONE, ",", false, false, false, player(C::StepIfPaused, -1)},
      {SDLK_PERIOD, KMOD_NONE, ".", false, false, true, player(C::StepIfPaused, 1)},
      {SDLK_PAGEUP, KMOD_NONE, "PageUp", false, false, false, player(C::PreviousPart)},
      {SDLK_PAGEDOWN, KMOD_NONE, "PageDown", false, false, false, player(C::NextPart)},
      {SDLK_HOME, KMOD_NONE, "Home", false, false, false, player(C::SeekTo, 0)},
      {SDLK_1, KMOD_NONE, "1", false, false, false, player(C::Scene, 1)},
      {SDLK_KP_5, KMOD_NONE, "5", false, false, false, player(C::Scene, 5)},
      {SDLK_6, KMOD_NONE, "6", false, false, false, std::nullopt},
      {SDLK_m, KMOD_NONE, "m", false, false, false, player(C::ToggleMute)},
      {SDLK_9, KMOD_NONE, "9", false, false, false, player(C::Volume, -1)},
      {SDLK_KP_0, KMOD_NONE, "0", false, false, false, player(C::Volume, 1)},
      {SDLK_s, KMOD_NONE, "s", false, false, false, player(C::Screenshot)},
      {SDLK_s, KMOD_LSHIFT, "S", false, true, false, player(C::Screenshot, 4)},
      {SDLK_q, KMOD_NONE, "q", false, false, false, player(C::Quit)},
      {SDLK_f, KMOD_NONE, "f", false, false, false, kFullscreen},
      {SDLK_f, KMOD_LSHIFT, "F", false, true, false, kFullscreen},
      {SDLK_RETURN, KMOD_LALT, "Enter", true, false, false, kFullscreen},
      {SDLK_KP_ENTER, KMOD_RALT, "Enter", true, false, false, kFullscreen},
      {SDLK_RETURN, KMOD_NONE, "Enter", false, false, false, std::nullopt},
      {SDLK_c, KMOD_NONE, "c", false, false, false, Control{Control::CopyLink}},
      // Held keys repeat the moves through the show, nothing else.
      {SDLK_SPACE, KMOD_NONE, " ", false, false, true, std::nullopt},
      {SDLK_f, KMOD_NONE, "f", false, false, true, std::nullopt},
      {SDLK_2, KMOD_NONE, "2", false, false, true, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(describe(desktop(c.sym, c.mod, c.repeat)), describe(c.expected));
    EXPECT_EQ(describe(page(c.key, c.alt, c.shift, c.repeat)), describe(c.expected));
  }
}

// The browser keeps its own keys: F11 and Esc (its full screen), Alt+F (its
// menu). The window has them: Esc leaves full screen or quits.
TEST_F(Controls, TheBrowsersOwnKeysAreLeftToIt) {
  EXPECT_EQ(describe(desktop(SDLK_F11)), describe(kFullscreen));
  EXPECT_EQ(describe(desktop(SDLK_ESCAPE)), describe(Control{Control::LeaveFullscreenOrQuit}));
  EXPECT_EQ(describe(desktop(SDLK_f, KMOD_LALT)), describe(kFullscreen));
  EXPECT_FALSE(platform::web::key_press("F11", false, false, false));
  EXPECT_FALSE(platform::web::key_press("Escape", false, false, false));
  EXPECT_FALSE(platform::web::key_press("f", true, false, false));
  EXPECT_FALSE(platform::web::key_press("F", true, true, false));
  EXPECT_FALSE(platform::web::key_press("Tab", false, false, false));
}

// The bar lies along the band at the picture's bottom; the show is 190 s.
const ProgressBar kBar{100, 280, 300, 40, 190};
ProgressBar bar(bool shown = true) { return ProgressBar{100, 280, 300, 40, 190, shown}; }

platform::PointerEvent pointer(platform::PointerEvent::Kind kind, int x, int y,
                               platform::PointerEvent::Button button = platform::PointerEvent::Primary) {
  return platform::PointerEvent{kind, x, y, button};
}

TEST(PointerControls, APressOnTheBarSeeksThereAndADragSeeksOnceATurn) {
  using P = platform::PointerEvent;
  PointerControls p;
  EXPECT_FALSE(p.handle(pointer(P::Press, 250, 300), ProgressBar{}));  // no bar (the page)
  EXPECT_FALSE(p.handle(pointer(P::Press, 250, 200), kBar));           // above the bar
  EXPECT_FALSE(p.handle(pointer(P::Press, 250, 300, P::Other), kBar));  // the middle button
  EXPECT_FALSE(p.handle(pointer(P::Move, 300, 300), kBar));
  EXPECT_FALSE(p.endOfTurn(kBar));  // no drag without a press on the bar

  EXPECT_EQ(describe(p.handle(pointer(P::Press, 250, 300), kBar)), describe(player(C::SeekTo, 95)));
  EXPECT_FALSE(p.handle(pointer(P::Move, 300, 300), kBar));
  EXPECT_FALSE(p.handle(pointer(P::Move, 50, 100), kBar));  // past the start, off the bar: still dragging
  EXPECT_EQ(describe(p.endOfTurn(kBar)), describe(player(C::SeekTo, 0)));  // the last place only
  EXPECT_FALSE(p.endOfTurn(kBar));
  p.handle(pointer(P::Move, 460, 300), kBar);
  EXPECT_EQ(describe(p.endOfTurn(kBar)), describe(player(C::SeekTo, 190)));
  p.handle(pointer(P::Release, 460, 300, P::Secondary), kBar);
  p.handle(pointer(P::Move, 300, 300), kBar);
  EXPECT_FALSE(p.endOfTurn(kBar));  // released
}

// Common players' habits: a double click toggles full screen (on the bar it
// seeks, as its first click did), the right button pauses and resumes, the
// wheel seeks as far as Left and Right, away from the viewer forward.
TEST(PointerControls, DoubleClickRightButtonAndWheel) {
  using P = platform::PointerEvent;
  PointerControls p;
  EXPECT_EQ(describe(p.handle(pointer(P::DoubleClick, 0, 0), ProgressBar{})), describe(kFullscreen));
  EXPECT_EQ(describe(p.handle(pointer(P::DoubleClick, 250, 100), kBar)), describe(kFullscreen));
  EXPECT_EQ(describe(p.handle(pointer(P::DoubleClick, 250, 300), kBar)), describe(player(C::SeekTo, 95)));
  p.handle(pointer(P::Release, 250, 300), kBar);
  EXPECT_EQ(describe(p.handle(pointer(P::Press, 10, 10, P::Secondary), kBar)), describe(player(C::TogglePause)));
  EXPECT_EQ(describe(p.handle(pointer(P::Press, 250, 300, P::Secondary), kBar)), describe(player(C::TogglePause)));
  EXPECT_FALSE(p.endOfTurn(kBar));  // no drag by the right button
  P wheel{P::Wheel, 10, 10};
  wheel.steps = 1;
  EXPECT_EQ(describe(p.handle(wheel, kBar)), describe(player(C::SeekBy, 5)));
  wheel.steps = -2;
  EXPECT_EQ(describe(p.handle(wheel, ProgressBar{})), describe(player(C::SeekBy, -10)));
}

// A touch screen's gestures, as phone players take them: the picture is 480
// pixels wide.
TEST(PointerControls, ATapShowsTheDisplayOrPausesAndADoubleTapSeeksByThirds) {
  using P = platform::PointerEvent;
  PointerControls p;
  EXPECT_EQ(describe(p.handle(pointer(P::Tap, 240, 100), bar(false), 480)), "show the display");
  EXPECT_EQ(describe(p.handle(pointer(P::Tap, 240, 100), bar(), 480)), describe(player(C::TogglePause)));
  const std::pair<int, std::optional<Control>> thirds[] = {
      {0, player(C::SeekBy, -5)}, {159, player(C::SeekBy, -5)}, {160, kFullscreen},
      {319, kFullscreen},         {320, player(C::SeekBy, 5)},  {479, player(C::SeekBy, 5)},
  };
  for (const auto& [x, expected] : thirds) {
    SCOPED_TRACE(x);
    EXPECT_EQ(describe(p.handle(pointer(P::DoubleTap, x, 100), bar(false), 480)), describe(expected));
  }
  EXPECT_FALSE(p.endOfTurn(bar()));  // no gesture drags
}

TEST(OnScreenDisplay, ShowsForAMomentAndSaysWhatWasDone) {
  platform::use_virtual_clock(1'000'000);
  DisplayState player;
  player.time = 12;
  player.part = "The drill rig";
  OnScreenDisplay display([&] { return player; });
  EXPECT_FALSE(display.shown());
  display.show(C{C::SeekBy, 5});
  EXPECT_TRUE(display.shown());
  platform::set_virtual_now_us(2'400'000);
  EXPECT_TRUE(display.shown());
  display.show();  // the pointer moved: shown on, still saying what was done
  platform::set_virtual_now_us(3'800'000);
  const DisplayState state = display.state();
  EXPECT_TRUE(display.shown());
  EXPECT_EQ(state.time, 12);
  EXPECT_STREQ(state.part, "The drill rig");
  ASSERT_TRUE(state.done);
  EXPECT_EQ(state.done->kind, C::SeekBy);
  EXPECT_EQ(state.shownUntil, 3'900'000'000);
  platform::set_virtual_now_us(3'900'000);
  EXPECT_FALSE(display.shown());
}

// The page's control bar: two seconds after the last show, and all the
// while the player is paused; the window's band goes while paused.
TEST(OnScreenDisplay, ThePagesBarStaysWhilePaused) {
  platform::use_virtual_clock(1'000'000);
  DisplayState player;
  const OnScreenDisplay band([&] { return player; });
  OnScreenDisplay bar([&] { return player; }, DisplayTiming{2'000'000'000, true});
  bar.show();
  platform::set_virtual_now_us(2'900'000);
  EXPECT_TRUE(bar.shown());
  platform::set_virtual_now_us(3'000'000);
  EXPECT_FALSE(bar.shown());
  player.paused = true;
  EXPECT_TRUE(bar.shown());
  EXPECT_FALSE(band.shown());
}

}  // namespace
