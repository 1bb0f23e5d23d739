// velmora-assetgen OUTDIR: writes the show's whole asset bundle;
// velmora-assetgen --scale N OUTDIR: its pictures drawn at N times their size;
// velmora-assetgen --icons DIR: the program's icon for the desktop.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "file_output.h"
#include "icons.h"
#include "meshes.h"
#include "music.h"
#include "pictures.h"
#include "process/signals.h"

int main(int argc, char** argv) {
  // Ctrl-C removes the file being written and ends the generator at once.
  platform::install_stop_handlers(platform::OnStop::ExitAtOnce);
  CLI::App app{"Generates velmora's asset bundle: pictures, meshes and the soundtrack."};
  std::string outdir;
  std::string sheet;
  std::string only;
  std::string icons;
  int scale = 1;
  CLI::Option* bundle = app.add_option("OUTDIR", outdir, "Directory to write the bundle into (created if missing)");
  app.add_option("--contact-sheet", sheet, "Also lay every image out, as the viewer sees it, on one PNG")
      ->needs(bundle);
  app.add_option("--only", only, "Generate one part of the bundle only")
      ->check(CLI::IsMember({"pictures", "meshes", "music"}))
      ->needs(bundle);
  app.add_option("--scale", scale,
                 "Draw every picture at N times its size, same layout, for the show rendered at N times its "
                 "resolution. Above 1, writes pictures only and leaves out those the show keeps at 1x: "
                 "the meshes, music and those pictures come from the 1x bundle")
      ->option_text("N (1 to " + std::to_string(assetgen::kMaxPictureScale) + ")")
      ->check(CLI::Range(1, assetgen::kMaxPictureScale))
      ->needs(bundle);
  app.add_option("--icons", icons, "Write the program's icon, as hicolor/SIZE/apps/velmora.png and .svg, into DIR")
      ->type_name("DIR");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    std::fprintf(stderr, "velmora-assetgen: %s\nRun with --help for more information.\n", e.what());
    return 2;
  }
  if (outdir.empty() && icons.empty()) {
    std::fprintf(stderr, "velmora-assetgen: give OUTDIR, --icons DIR or both\nRun with --help for more information.\n");
    return 2;
  }
  if (scale > 1 && (!sheet.empty() || (!only.empty() && only != "pictures"))) {
    std::fprintf(stderr, "velmora-assetgen: --scale above 1 writes pictures only\n");
    return 2;
  }

  try {
    if (!icons.empty()) {
      assetgen::write_icons(icons);
      std::fprintf(stderr, "velmora-assetgen: icons written to %s\n", icons.c_str());
    }
    if (outdir.empty()) return 0;
    std::filesystem::create_directories(outdir);
    const auto start = std::chrono::steady_clock::now();
    auto step = [&](const char* what, auto&& fn) {
      if (!only.empty() && only != what) return;
      std::fprintf(stderr, "velmora-assetgen: %s...\n", what);
      fn(std::filesystem::path(outdir));
    };
    step("pictures", [scale](const std::filesystem::path& dir) { assetgen::write_pictures(dir, scale); });
    if (scale == 1) {
      step("meshes", assetgen::write_meshes);
      step("music", assetgen::write_music);
    }
    if (!sheet.empty()) assetgen::write_contact_sheet(outdir, sheet);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (scale == 1)
      std::fprintf(stderr, "velmora-assetgen: bundle written to %s in %.1f s\n", outdir.c_str(), secs);
    else
      std::fprintf(stderr, "velmora-assetgen: %dx pictures written to %s in %.1f s\n", scale, outdir.c_str(), secs);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmora-assetgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
