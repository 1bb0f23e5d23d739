// velmora: plays the show in a window (or headless), or renders one moment of
// it to a picture.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "capture/frame_writer.h"
#include "command_line.h"
#include "commands.h"
#include "engine/schedule.h"
#include "platform/bundle.h"
#include "process/signals.h"

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0"
#endif
#ifndef VELMORA_INSTALLED_BUNDLE_DIR
#define VELMORA_INSTALLED_BUNDLE_DIR ""
#endif

namespace {

// "190" for an option's help.
std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
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

// A picture file name: "-" (standard output), a name ending in ".png", or a
// FIFO or device that is there already (/dev/stdout, a pipe).
CLI::Validator PngName() {
  return CLI::Validator(
      [](std::string& value) -> std::string {
        if (value == "-") return {};
        if (value.empty()) return "a file name is needed";
        std::error_code ec;
        const auto status = std::filesystem::status(value, ec);
        if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
            !std::filesystem::is_directory(status)) {
          return {};
        }
        if (value.size() < 5 || value.compare(value.size() - 4, 4, ".png") != 0) {
          return value + " does not end in .png (velmora writes PNG pictures)";
        }
        return {};
      },
      "");
}

// A name a capture writes: a video, an animated picture, numbered pictures.
CLI::Validator CaptureName() {
  return CLI::Validator(
      [](std::string& value) -> std::string {
        if (output_kind(value)) return {};
        return value + " is not a name capture writes: use " + accepted_outputs();
      },
      "");
}

// Output the command could not write (a full disk, a closed pipe) is a failure.
int finish_output(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return report_failure(std::string("standard output: ") + std::strerror(errno));
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  platform::install_stop_handlers(platform::OnStop::Finish);

  std::string assets;
  PlayOptions play;
  StillOptions still;
  BenchOptions bench;
  CLI::App app{
      "velmora: a real-time audiovisual show of five scenes, just over three minutes long, with its music.\n"
      "Without a command it plays the show in a window, with the keys of common media players: Space\n"
      "pauses, the arrows seek, Page Up/Down and 1 to 5 go to the scenes, m mutes, s saves the picture,\n"
      "f toggles full screen, q or Esc ends it (velmora(1) lists every key).",
      "velmora"};
  app.set_version_flag("--version", std::string("velmora ") + VELMORA_VERSION);
  app.require_subcommand(0, 1);
  const auto moment = Moment(kShowEnd);

  auto add_assets = [&](CLI::App* cmd) {
    cmd->add_option("--assets", assets, "Directory holding the show's files (default: the bundle beside the program)")
        ->type_name("DIR");
  };
  auto add_render_scale = [&](CLI::App* cmd, int* scale, const char* what) {
    cmd->add_option("--render-scale", *scale, what)->check(CLI::Range(1, 8).description(""))->type_name("N");
  };
  // The play options belong to the program itself (play is the default
  // command) and to `play`, so that `velmora play --help` lists them too.
  auto add_play_options = [&](CLI::App* cmd) {
    add_assets(cmd);
    cmd->add_option("--from", play.from, "Start at this moment of the show, music included")
        ->transform(moment)
        ->type_name("SECONDS|M:SS|PART");
    cmd->add_flag("--headless", play.headless, "Play in real time without a window");
    cmd->add_flag("--portrait", play.portrait,
                  "Show the phone's portrait screen as it stands instead of turned sideways");
    cmd->add_option("--scale", play.scale,
                    "Window size as a whole multiple of the picture (default: the largest that fits)")
        ->check(CLI::Range(1, 16).description(""))
        ->type_name("N");
    cmd->add_flag("--fullscreen", play.fullscreen, "Start full screen");
    cmd->add_flag("--loop", play.loop, "Play the show again from the start at its end, music included, until stopped");
    cmd->add_flag("--quiet", play.quiet, "Leave out the log of the show's files as they load");
    add_render_scale(cmd, &play.renderScale,
                     "Draw at N times the phone's 320x480 (default: as sharp as the window shows it, "
                     "or 1 on a software renderer)");
  };
  add_play_options(&app);

  CLI::App* play_cmd = app.add_subcommand("play", "Play the show (the default command)");
  add_play_options(play_cmd);

  CLI::App* still_cmd = app.add_subcommand("still", "Render the frame the show presents at one moment to a PNG picture");
  still_cmd->add_option("--at", still.at, "The moment, in seconds or minutes and seconds")
      ->required()
      ->transform(moment)
      ->type_name("SECONDS|M:SS|PART");
  still_cmd->add_option("--out", still.out, "The PNG file to write, or - for standard output")
      ->required()
      ->check(PngName())
      ->type_name("FILE.png");
  still_cmd->add_flag("--portrait", still.portrait, "Write the phone's 320x480 portrait screen instead of the 480x320 view");
  add_render_scale(still_cmd, &still.renderScale, "Draw at N times the phone's resolution: a (480 N)x(320 N) picture");
  add_assets(still_cmd);

  CLI::App* bench_cmd = app.add_subcommand(
      "bench", "Render the show headless at 60 frames a second as fast as possible and report frame times per scene");
  bench_cmd->add_option("--from", bench.from, "First moment of the span to render (default 0)")
      ->transform(moment)
      ->type_name("SECONDS|M:SS|PART");
  bench_cmd->add_option("--to", bench.to, "Last moment of the span to render (default " + seconds_text(kShowEnd) + ")")
      ->transform(moment)
      ->type_name("SECONDS|M:SS|PART");
  add_render_scale(bench_cmd, &bench.renderScale, "Draw at N times the phone's resolution");
  add_assets(bench_cmd);

  CaptureOptions capture;
  CLI::App* capture_cmd = app.add_subcommand(
      "capture", "Write the show, or a span of it, with its music to a video file, an animated picture or numbered pictures");
  capture_cmd->add_option("--out", capture.out,
                          "What to write, by its name: .mp4 or .mov (H.264, AAC), .mkv or .nut (H.264, AAC; FFV1, "
                          "FLAC with --lossless), .webm (VP9, Opus), .gif or .webp (animated, looping, silent), "
                          "frames/%05d.png (one PNG per frame and frames/sound.wav), or - for standard output "
                          "with --format")
      ->required()
      ->check(CaptureName())
      ->type_name("FILE");
  capture_cmd->add_option("--format", capture.format, "The container for --out -: mkv, nut or webm")
      ->type_name("NAME");
  capture_cmd->add_option("--from", capture.from, "First moment of the video (default 0)")
      ->transform(moment)
      ->type_name("SECONDS|M:SS|PART");
  capture_cmd->add_option("--to", capture.to, "Moment the video ends (default " + seconds_text(kLastPicture) + ", the show's last picture)")
      ->transform(moment)
      ->type_name("SECONDS|M:SS|PART");
  capture_cmd->add_option("--fps", capture.fps, "Frames a second (default 60; 25 for .gif and .webp, at most 50 for .gif)")
      ->check(CLI::Range(1, 240).description(""))
      ->type_name("N");
  capture_cmd->add_flag("--portrait", capture.portrait, "The phone's 320x480 portrait screen instead of 480x320");
  capture_cmd->add_option("--quality", capture.quality,
                          "The encoder's quality: constant quality from 0 (best) to 51 for H.264 or 63 for VP9 "
                          "(default 18 for H.264, 32 for VP9); for .webp from 0 to 100 (best; default 85)")
      ->check(CLI::Range(0, 100).description(""))
      ->type_name("Q");
  capture_cmd->add_flag("--lossless", capture.lossless,
                        "An exact copy in .mkv or .nut: the pictures in RGB (FFV1), the sound in FLAC");
  capture_cmd->add_flag_callback("--no-audio", [&capture] { capture.audio = false; }, "Leave the music out");
  capture_cmd->add_option("--jobs", capture.jobs,
                          "Draw the span in N processes at once, joined without re-encoding (default: as many as make "
                          "it faster here; GIF and WebP: one)")
      ->check(CLI::Range(1, 64).description(""))
      ->type_name("N");
  // Between a capture and the helpers it starts for its pieces.
  capture_cmd->add_option("--piece", capture.piece)->group("");
  capture_cmd->add_option("--piece-fd", capture.pieceFd)->group("");
  capture_cmd->add_flag("--times", capture.times, "Also say where the time went (drawing, read-back, encoding)");
  add_render_scale(capture_cmd, &capture.renderScale, "Draw at N times the phone's resolution: a (480 N)x(320 N) video");
  add_assets(capture_cmd);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return finish_output(app.exit(e));
    std::string message = e.what();
    // A mistyped option is often why: say which known one it is near, also
    // when another error (a required option missing) is what stopped us.
    const bool extras = dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr;
    for (const auto& extra : app.remaining(true)) {
      const std::string near = nearest_option(app, extra);
      if (near.empty()) continue;
      message += extras ? " (did you mean " + near + "?)" : " (" + extra + " is not an option: did you mean " + near + "?)";
      break;
    }
    // The hint names the help of the command that was given, if one was.
    std::string help = "velmora";
    if (const auto given = app.get_subcommands(); !given.empty()) help += " " + given.back()->get_name();
    std::fprintf(stderr, "velmora: %s\nRun '%s --help' for more information.\n", message.c_str(), help.c_str());
    return 2;
  }

  std::string error;
  const std::string bundle = find_bundle(assets, &error);
  if (!error.empty()) return report_failure(error);
  platform::setBundlePath(bundle);

  if (*still_cmd) return write_still(still);
  if (*bench_cmd) return finish_output(run_bench(bench));
  if (*capture_cmd) return capture_video(capture);
  return play_show(play);
}
