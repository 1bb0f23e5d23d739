// velmora: plays the show in a window (or headless), or renders one moment of
// it to a picture.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/frame.h"
#include "platform/png.h"
#include "platform/run_loop.h"
#include "platform/window.h"
#include "shell/av_player.h"
#include "shell/main_interface.h"

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0"
#endif
#ifndef VELMORA_INSTALLED_BUNDLE_DIR
#define VELMORA_INSTALLED_BUNDLE_DIR ""
#endif

namespace {

constexpr double kShowEnd = 190;

struct Settings {
  std::string assets;
  double from = 0;
  bool headless = false;
  bool portrait = false;
  int scale = 0;
  bool fullscreen = false;
  double at = 0;
  std::string out;
};

int fail(const std::string& message, int status = 1) {
  std::fprintf(stderr, "velmora: %s\n", message.c_str());
  return status;
}

// Finds the bundle directory; an empty string with *error set when there is none.
std::string find_bundle(const std::string& requested, std::string* error) {
  std::error_code ec;
  if (!requested.empty()) {
    if (!std::filesystem::is_directory(requested, ec)) *error = requested + ": no such directory";
    return requested;
  }
  std::string found = platform::defaultBundlePath(VELMORA_INSTALLED_BUNDLE_DIR);
  if (found.empty()) {
    *error = "no asset bundle found beside the program or in " + std::string(VELMORA_INSTALLED_BUNDLE_DIR) +
             "; build the project or pass --assets DIR";
  }
  return found;
}

int play(const Settings& s) {
  set_start_offset(s.from);
  std::unique_ptr<platform::Window> window;
  platform::NullSink nothing;
  if (!s.headless) {
    platform::WindowOptions options;
    options.orientation = s.portrait ? platform::Orientation::Portrait : platform::Orientation::Landscape;
    options.scale = s.scale;
    options.fullscreen = s.fullscreen;
    try {
      window = std::make_unique<platform::Window>(kScreenWidth, kScreenHeight, options);
    } catch (const platform::WindowError& e) {
      return fail(e.what());
    }
  }
  MainInterface ui(window ? static_cast<platform::FrameSink*>(window.get()) : &nothing, window.get());
  if (!ui.ready()) return fail("cannot create an OpenGL ES 1.1 context");
  ui.launch();
  return platform::NSRunLoop::mainRunLoop().run();
}

int still(const Settings& s) {
  platform::use_virtual_clock();
  avAudioSetEnabled(false);
  platform::CaptureSink capture;
  MainInterface ui(&capture, nullptr);
  if (!ui.ready()) return fail("cannot create an OpenGL ES 1.1 context");
  ui.launch();
  if (!ui.runStartUp()) return fail("the start-up did not finish");
  const std::int64_t start = platform::virtual_now_us();
  // The frame before carries the state a live run hands from frame to frame.
  draw_frame_at(ui.view(), start, s.at - 1.0 / 60.0);
  draw_frame_at(ui.view(), start, s.at);

  const auto orientation = s.portrait ? platform::Orientation::Portrait : platform::Orientation::Landscape;
  const std::vector<std::uint8_t> pixels = capture.oriented(orientation);
  const int w = platform::oriented_width(capture.width(), capture.height(), orientation);
  const int h = platform::oriented_height(capture.width(), capture.height(), orientation);
  std::string error;
  if (!platform::writePng(s.out, w, h, pixels.data(), &error)) return fail(s.out + ": " + error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  CLI::App app{
      "velmora: a real-time audiovisual show of five scenes, just over three minutes long, with its music.\n"
      "Without a command it plays the show in a window; Esc or closing the window ends it, F11 or\n"
      "Alt+Enter toggles full screen.",
      "velmora"};
  app.set_version_flag("--version", std::string("velmora ") + VELMORA_VERSION);
  app.require_subcommand(0, 1);
  const auto range = CLI::Range(0.0, kShowEnd);

  auto add_assets = [&](CLI::App* cmd) {
    cmd->add_option("--assets", s.assets, "Directory holding the show's files (default: the bundle beside the program)")
        ->type_name("DIR");
  };
  add_assets(&app);
  app.add_option("--from", s.from, "Start at this second of the show, music included")->check(range)->type_name("SECONDS");
  app.add_flag("--headless", s.headless, "Play in real time without a window");
  app.add_flag("--portrait", s.portrait, "Show the phone's portrait screen as it stands instead of turned sideways");
  app.add_option("--scale", s.scale, "Window size as a whole multiple of the picture (default: the largest that fits)")
      ->check(CLI::Range(1, 16))
      ->type_name("N");
  app.add_flag("--fullscreen", s.fullscreen, "Start full screen");

  CLI::App* play_cmd = app.add_subcommand("play", "Play the show (the default command); takes the options above");
  play_cmd->fallthrough();

  CLI::App* still_cmd = app.add_subcommand("still", "Render the frame the show presents at one moment to a PNG picture");
  still_cmd->add_option("--at", s.at, "The moment, in seconds of the show")->required()->check(range)->type_name("SECONDS");
  still_cmd->add_option("--out", s.out, "The PNG file to write")->required()->type_name("FILE.png");
  still_cmd->add_flag("--portrait", s.portrait, "Write the phone's 320x480 portrait screen instead of the 480x320 view");
  add_assets(still_cmd);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    std::fprintf(stderr, "velmora: %s\nRun 'velmora --help' for more information.\n", e.what());
    return 2;
  }

  std::string error;
  const std::string bundle = find_bundle(s.assets, &error);
  if (!error.empty()) return fail(error);
  platform::setBundlePath(bundle);

  if (*still_cmd) return still(s);
  return play(s);
}
