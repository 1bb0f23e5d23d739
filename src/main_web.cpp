// The page's entry. The page (web/page.js) calls, once its files are in:
//   main()                         the music starts decoding
//   velmora_open(FIRST, SCALE, LOOP)  the show, with the viewer's controls;
//                                  kNoWebGL2 when the browser gives the
//                                  canvas no WebGL 2 context, which the page
//                                  tells the viewer in so many words
//   velmora_layout(...)            where the picture is, now and on every change
//   velmora_launch()               the start-up, from the animation frames;
//                                  the show then stands paused at FIRST
// and then, when the viewer presses Play, velmora_play(SECONDS). The
// viewer's keys and pointer arrive through platform/web/page.cpp.
#include <emscripten.h>

#include "engine/schedule.h"
#include "platform/bundle.h"
#include "platform/frame.h"
#include "platform/log.h"
#include "platform/web/page.h"
#include "shell/av_player.h"
#include "shell/main_interface.h"
#include "shell/player.h"
#include "shell/web/page_player.h"

namespace {

// Also in web/page.js.
constexpr int kNoWebGL2 = 2;

// Presentations go to the canvas; the layer needs no sink of its own.
platform::NullSink gNowhere;
// The show, once the page opens it; it lives as long as the page.
Player* gPlayer = nullptr;
PagePlayer* gPage = nullptr;

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE int velmora_open(double first, int fixed_scale, int loop) {
  if (gPage) return 0;
  auto* ui = new MainInterface(&gNowhere);
  if (!ui->ready()) {
    platform::NSLog("cannot create an OpenGL ES 1.1 context on WebGL 2");
    return kNoWebGL2;
  }
  gPlayer = new Player(*ui);
  gPlayer->onScreenshot = [](double moment) { platform::web::download_picture(screenshot_name(moment)); };
  gPage = new PagePlayer(*ui, *gPlayer, PagePlayer::Options{first, fixed_scale, loop != 0});
  platform::web::listen([](const platform::KeyPress& key) { return gPage->key(key); },
                        [](const platform::PointerEvent& event) { return gPage->pointer(event); },
                        [ui](bool visible) { ui->application().setActive(visible); });
  return 0;
}

// The picture's size on the screen in device pixels, its width in CSS pixels,
// and the progress bar's place in CSS pixels from the picture's top-left
// corner.
extern "C" EMSCRIPTEN_KEEPALIVE void velmora_layout(int device_w, int device_h, int picture_w, int bar_x, int bar_y,
                                                    int bar_w, int bar_h) {
  if (gPage) gPage->setLayout(device_w, device_h, picture_w, ProgressBar{bar_x, bar_y, bar_w, bar_h, kShowEnd});
}

extern "C" EMSCRIPTEN_KEEPALIVE void velmora_launch() {
  if (gPage) gPage->launch();
}

extern "C" EMSCRIPTEN_KEEPALIVE void velmora_play(double from) {
  if (gPage) gPage->play(from);
}

// The second package of files, the sharper pictures, is in the bundle.
extern "C" EMSCRIPTEN_KEEPALIVE void velmora_pictures_arrived() {
  if (gPage) gPage->picturesArrived();
}

// The render scale the show draws at now.
extern "C" EMSCRIPTEN_KEEPALIVE int velmora_wanted_scale() { return gPage ? gPage->wantedScale() : 1; }

// The viewer did something the controls do not name (a key such as Tab): the
// display shows for a moment all the same.
extern "C" EMSCRIPTEN_KEEPALIVE void velmora_show_display() {
  if (gPage) gPage->showDisplay();
}

// The demo clock's reading now, in seconds of the show (for tests and
// measurements).
extern "C" EMSCRIPTEN_KEEPALIVE double velmora_demo_time() { return get_time(); }

// The show's last moment, in seconds (for the page's reading of ?at= and ?from=).
extern "C" EMSCRIPTEN_KEEPALIVE double velmora_show_end() { return kShowEnd; }

// The parts of the show with a picture, for the marks on the progress bar.
extern "C" EMSCRIPTEN_KEEPALIVE int velmora_part_count() { return static_cast<int>(kPicturedParts.size()); }
extern "C" EMSCRIPTEN_KEEPALIVE double velmora_part_begin(int i) { return kPicturedParts[i].begin; }
extern "C" EMSCRIPTEN_KEEPALIVE const char* velmora_part_name(int i) { return kPicturedParts[i].name; }

// The moment the player shows (paused or not), -1 before the show opens.
extern "C" EMSCRIPTEN_KEEPALIVE double velmora_player_moment() { return gPlayer ? gPlayer->now() : -1; }

int main() {
  platform::setBundlePath("/bundle");
  avAudioPrefetch();
  return 0;
}
