// velmora: plays the show in a window (or headless), or renders one moment of
// it to a picture.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include "commands.h"
#include "platform/bundle.h"

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0"
#endif
#ifndef VELMORA_INSTALLED_BUNDLE_DIR
#define VELMORA_INSTALLED_BUNDLE_DIR ""
#endif

namespace {

constexpr double kShowEnd = 190;

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

}  // namespace

int main(int argc, char** argv) {
  std::string assets;
  PlayOptions play;
  StillOptions still;
  BenchOptions bench;
  CLI::App app{
      "velmora: a real-time audiovisual show of five scenes, just over three minutes long, with its music.\n"
      "Without a command it plays the show in a window; Esc or closing the window ends it, F11 or\n"
      "Alt+Enter toggles full screen.",
      "velmora"};
  app.set_version_flag("--version", std::string("velmora ") + VELMORA_VERSION);
  app.require_subcommand(0, 1);
  const auto range = CLI::Range(0.0, kShowEnd);

  auto add_assets = [&](CLI::App* cmd) {
    cmd->add_option("--assets", assets, "Directory holding the show's files (default: the bundle beside the program)")
        ->type_name("DIR");
  };
  add_assets(&app);
  app.add_option("--from", play.from, "Start at this second of the show, music included")
      ->check(range)
      ->type_name("SECONDS");
  app.add_flag("--headless", play.headless, "Play in real time without a window");
  app.add_flag("--portrait", play.portrait, "Show the phone's portrait screen as it stands instead of turned sideways");
  app.add_option("--scale", play.scale, "Window size as a whole multiple of the picture (default: the largest that fits)")
      ->check(CLI::Range(1, 16))
      ->type_name("N");
  app.add_flag("--fullscreen", play.fullscreen, "Start full screen");

  CLI::App* play_cmd = app.add_subcommand("play", "Play the show (the default command); takes the options above");
  play_cmd->fallthrough();

  CLI::App* still_cmd = app.add_subcommand("still", "Render the frame the show presents at one moment to a PNG picture");
  still_cmd->add_option("--at", still.at, "The moment, in seconds of the show")->required()->check(range)->type_name("SECONDS");
  still_cmd->add_option("--out", still.out, "The PNG file to write")->required()->type_name("FILE.png");
  still_cmd->add_flag("--portrait", still.portrait, "Write the phone's 320x480 portrait screen instead of the 480x320 view");
  add_assets(still_cmd);

  CLI::App* bench_cmd = app.add_subcommand(
      "bench", "Render the show headless at 60 frames a second as fast as possible and report frame times per scene");
  bench_cmd->add_option("--from", bench.from, "First second of the span to render (default 0)")
      ->check(range)
      ->type_name("SECONDS");
  bench_cmd->add_option("--to", bench.to, "Last second of the span to render (default 190)")
      ->check(range)
      ->type_name("SECONDS");
  add_assets(bench_cmd);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    std::fprintf(stderr, "velmora: %s\nRun 'velmora --help' for more information.\n", e.what());
    return 2;
  }

  std::string error;
  const std::string bundle = find_bundle(assets, &error);
  if (!error.empty()) return report_failure(error);
  platform::setBundlePath(bundle);

  if (*still_cmd) return write_still(still);
  if (*bench_cmd) return run_bench(bench);
  return play_show(play);
}
