// The page's entry. The page (web/page.js) calls, once its files are in:
//   main("still", SECONDS)  to draw that moment of the show and stop (?at=)
//   main()                  to get ready to play: the music starts decoding
// and then, when the viewer presses Play, velmora_play(SECONDS): the show
// from there (?from=, else 0) with its music. Both answer kNoWebGL2 when the
// browser gives the canvas no WebGL 2 context, which the page tells the
// viewer in so many words.
#include <emscripten.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "engine/schedule.h"
#include "platform/bundle.h"
#include "platform/frame.h"
#include "platform/log.h"
#include "platform/web/page.h"
#include "shell/av_player.h"
#include "shell/controls.h"
#include "shell/main_interface.h"
#include "shell/offline_show.h"
#include "shell/player.h"

namespace {

// Also in web/page.js.
constexpr int kNoWebGL2 = 2;

// Presentations go to the canvas; the layer needs no sink of its own.
platform::NullSink gNowhere;
// The player of the show that plays, once it does.
Player* gPlayer = nullptr;

// Carries out a control in the page: a page has full screen, but does not
// quit (nor does Esc, which the browser keeps). False for what the page does
// not use.
bool carry_out(Player& player, const std::optional<Control>& control) {
  if (!control) return false;
  switch (control->kind) {
    case Control::ToggleFullscreen:
      platform::web::toggle_fullscreen();
      return true;
    case Control::Player:
      if (control->command.kind == PlayerCommand::Quit) return false;
      player.handle(control->command);
      return true;
    case Control::LeaveFullscreenOrQuit:
      return false;
  }
  return false;
}

int draw_still(double at) {
  // Lives as long as the page, like everything a page runs.
  auto* show = new OfflineShow();
  if (!show->ready()) {
    platform::NSLog("cannot create an OpenGL ES 1.1 context on WebGL 2");
    return kNoWebGL2;
  }
  show->drawStill(at);
  return 0;
}

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE int velmora_play(double from) {
  auto* ui = new MainInterface(&gNowhere);
  if (!ui->ready()) {
    platform::NSLog("cannot create an OpenGL ES 1.1 context on WebGL 2");
    return kNoWebGL2;
  }
  // The desktop player's keys, where the browser leaves them to the page.
  auto* player = new Player(*ui);
  gPlayer = player;
  player->onScreenshot = [](double moment) { platform::web::download_picture(screenshot_name(moment)); };
  auto* pointer = new PointerControls();
  platform::web::listen([player](const platform::KeyPress& key) { return carry_out(*player, control_for_key(key)); },
                        [player, pointer](const platform::PointerEvent& event) {
                          return carry_out(*player, pointer->handle(event, ProgressBar{}));
                        },
                        [ui](bool visible) { ui->application().setActive(visible); });
  ui->startAt(from);
  ui->launch();
  platform::web::run_from_animation_frames();
  return 0;
}

// The demo clock's reading now, in seconds of the show (for tests and
// measurements).
extern "C" EMSCRIPTEN_KEEPALIVE double velmora_demo_time() { return get_time(); }

// The show's last moment, in seconds (for the page's reading of ?at= and ?from=).
extern "C" EMSCRIPTEN_KEEPALIVE double velmora_show_end() { return kShowEnd; }

// The moment the player shows (paused or not), -1 before the show plays.
extern "C" EMSCRIPTEN_KEEPALIVE double velmora_player_moment() { return gPlayer ? gPlayer->now() : -1; }

int main(int argc, char** argv) {
  platform::setBundlePath("/bundle");
  if (argc > 2 && std::strcmp(argv[1], "still") == 0) return draw_still(std::strtod(argv[2], nullptr));
  avAudioPrefetch();
  return 0;
}
