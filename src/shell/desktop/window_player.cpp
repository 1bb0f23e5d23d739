#include "shell/desktop/window_player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/png.h"
#include "shell/main_interface.h"

std::string pictures_folder() {
  const char* folder = std::getenv("XDG_PICTURES_DIR");
  return folder && *folder ? folder : ".";
}

int scale_for(int w, int h, int base_w, int base_h) {
  const double shown = std::min(static_cast<double>(w) / base_w, static_cast<double>(h) / base_h);
  return std::clamp(static_cast<int>(std::ceil(shown - 1e-9)), 1, kMaxRenderScale);
}

void attach_player(Player& player, platform::Window& window, MainInterface& ui, bool choose_scale) {
  window.onCommand = [&player](const platform::PlayerCommand& c) { player.handle(c); };
  window.displayState = [&player] { return player.display(); };
  player.onScreenshot = [&window](double moment) {
    const std::string path = pictures_folder() + "/" + screenshot_name(moment);
    std::string error;
    if (platform::writePng(path, window.pictureWidth(), window.pictureHeight(), window.picture().data(), &error)) {
      std::fprintf(stderr, "velmora: saved %s\n", path.c_str());
    } else {
      std::fprintf(stderr, "velmora: %s\n", error.c_str());
    }
  };
  if (choose_scale) {
    window.onResize = [&window, &ui](int w, int h) {
      const int scale = ui.renderScale();
      ui.setRenderScale(scale_for(w, h, window.pictureWidth() / scale, window.pictureHeight() / scale));
    };
  }
}
