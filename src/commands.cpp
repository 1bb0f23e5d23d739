#include "commands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "engine/demo.h"
#include "platform/bundle.h"
#include "platform/desktop/window.h"
#include "platform/eagl.h"
#include "platform/frame.h"
#include "platform/log.h"
#include "platform/png.h"
#include "platform/run_loop.h"
#include "process/signals.h"
#include "shell/desktop/terminal_status.h"
#include "shell/desktop/window_player.h"
#include "shell/main_interface.h"
#include "shell/offline_show.h"
#include "shell/player.h"

int report_failure(const std::string& message, int status) {
  platform::clearStatusLine();
  std::fprintf(stderr, "velmora: %s\n", message.c_str());
  return status;
}

int report_stop() { return report_failure(platform::stop_description(), platform::stop_status()); }

int report_not_ready() {
  if (platform::stop_signal() != 0) return report_stop();
  return report_failure("cannot create an OpenGL ES 1.1 context");
}

void use_pictures_for(int render_scale) {
  if (render_scale <= 1) return;
  std::error_code ec;
  const std::string folder = platform::highResolutionFolder();
  if (std::filesystem::is_directory(folder, ec)) {
    platform::setPictureFolder(folder);
  } else {
    std::fprintf(stderr, "velmora: no high-resolution pictures in %s; the 1x pictures are drawn at render scale %d\n",
                 folder.c_str(), render_scale);
  }
}

int play_show(const PlayOptions& o) {
  std::unique_ptr<platform::Window> window;
  platform::NullSink nothing;
  if (!o.headless) {
    platform::WindowOptions options;
    options.orientation = o.portrait ? platform::Orientation::Portrait : platform::Orientation::Landscape;
    options.scale = o.scale;
    options.fullscreen = o.fullscreen;
    options.icon = platform::bundlePath() + "/icon.png";
    try {
      window = std::make_unique<platform::Window>(kScreenWidth, kScreenHeight, options);
    } catch (const platform::WindowError& e) {
      return report_failure(e.what());
    }
    if (o.scale > window->scale()) {
      std::fprintf(stderr, "velmora: --scale %d is larger than the desktop holds; the window is %d times the picture\n",
                   o.scale, window->scale());
    }
  }
  if (o.quiet) platform::setLoadLog(nullptr);
  MainInterface ui(window ? static_cast<platform::FrameSink*>(window.get()) : &nothing, std::max(o.renderScale, 1));
  if (!ui.ready()) return report_failure("cannot create an OpenGL ES 1.1 context");
  // Unless told, the window chooses the render scale by its size; a renderer
  // that draws on the processor stays at the phone's own resolution.
  const bool choose = window && o.renderScale == 0 && !platform::software_renderer();
  use_pictures_for(choose ? kMaxRenderScale : std::max(o.renderScale, 1));
  Player player(ui);
  player.setLoop(o.loop);
  std::optional<WindowPlayer> at_window;
  if (window) at_window.emplace(player, *window, ui, choose);
  const TerminalStatus status_line(player);
  ui.startAt(o.from);
  ui.launch();
  const int status = platform::NSRunLoop::mainRunLoop().run();
  return platform::stop_signal() != 0 ? report_stop() : status;
}

int write_still(const StillOptions& o) {
  use_pictures_for(o.renderScale);
  OfflineShow show(o.renderScale);
  if (!show.ready()) return report_not_ready();
  show.drawStill(o.at);
  const auto orientation = o.portrait ? platform::Orientation::Portrait : platform::Orientation::Landscape;
  const platform::CaptureSink& frame = show.frame();
  const int w = platform::oriented_width(frame.width(), frame.height(), orientation);
  const int h = platform::oriented_height(frame.width(), frame.height(), orientation);
  std::string error;
  const bool written = platform::writePng(o.out, w, h, show.picture(orientation).data(), &error);
  // A stop signal during the write has already removed the unfinished file.
  if (platform::stop_signal() != 0) return report_stop();
  return written ? 0 : report_failure(error);
}

namespace {

struct Span {
  const char* name;
  double begin;
  double end;
};

constexpr Span part_span(const char* name, Part part) {
  const ShowPart& p = show_part(part);
  return {name, p.begin, part_end(p)};
}

// The rows of the benchmark: each part of the show, scene 1 by its phases.
constexpr Span kSpans[] = {
    {"scene 1, intro", 0, 15},
    {"scene 1, live rig", 15, 39},
    {"scene 1, ribbons", 39, part_end(show_part(Part::DrillRig))},
    part_span("scene 2, metaballs", Part::Metaballs),
    part_span("scene 3, creature", Part::Creature),
    part_span("scene 3, greetings", Part::Greetings),
    part_span("scene 4, glowing cube", Part::GlowingCube),
    part_span("scene 5, closing picture", Part::ClosingPicture),
    {"after the show", kLastPicture, kShowEnd + 0.0001},  // the frame at the end itself included
};

// Yardstick frames timed before the show, after a few untimed ones.
constexpr int kYardstickFrames = 300;
constexpr int kYardstickWarmUp = 10;

struct Stats {
  size_t frames = 0;
  double mean = 0;
  double median = 0;
  double p99 = 0;
  double max = 0;
};

Stats summarise(std::vector<double> ms) {
  Stats s;
  s.frames = ms.size();
  if (ms.empty()) return s;
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms) sum += v;
  s.mean = sum / static_cast<double>(ms.size());
  s.median = ms[ms.size() / 2];
  s.p99 = ms[std::min(ms.size() - 1, static_cast<size_t>(std::ceil(0.99 * static_cast<double>(ms.size()))) - 1)];
  s.max = ms.back();
  return s;
}

// Every row also gives its mean and 99th percentile in yardsticks, so that
// figures from different machines can be set side by side.
void print_row(const char* name, const Stats& s, double yardstick) {
  std::printf("%-26s %7zu %9.3f %9.3f %9.3f %9.3f %9.2f %9.2f\n", name, s.frames, s.mean, s.median, s.p99, s.max,
              s.mean / yardstick, s.p99 / yardstick);
}

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// The yardstick: the least a presented frame can cost on this machine's GL.
// One frame that clears colour and depth, draws the first backdrop over the
// whole screen and is read back and presented like any frame of the show.
// Texture binding and vertex pointer are put back as the set-up left them,
// so the show's first frame finds the state it always finds.
std::vector<double> time_yardstick(OfflineShow& show, int frames) {
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  GLvoid* vertices = nullptr;
  glGetPointerv(GL_VERTEX_ARRAY_POINTER, &vertices);
  std::vector<double> ms;
  for (int i = -kYardstickWarmUp; i < frames; ++i) {
    const auto t0 = Clock::now();
    show.view().setContext();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
    glVertexPointer(3, GL_FLOAT, 0, bgVertices);
    scene1_bg->BindTexture();
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    show.view().blit();
    if (i >= 0) ms.push_back(ms_since(t0));
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  glVertexPointer(3, GL_FLOAT, 0, vertices);
  return ms;
}

}  // namespace

int run_bench(const BenchOptions& o) {
  if (o.to < o.from) {
    return report_failure("--to must not come before --from\nRun 'velmora bench --help' for more information.", 2);
  }
  use_pictures_for(o.renderScale);
  OfflineShow show(o.renderScale);
  if (!show.ready()) return report_not_ready();

  const long first = std::lround(std::ceil(o.from * 60));
  const long last = std::lround(std::floor(o.to * 60));
  std::fprintf(stderr, "velmora bench: %ld frames from %.2f s to %.2f s on %s\n", last - first + 1, o.from, o.to,
               platform::gl_description());
  const Stats yardstick = summarise(time_yardstick(show, kYardstickFrames));

  // Every frame at 60 frames a second of demo time, each timed on the real
  // clock from the timer's call to the end of the presentation.
  std::vector<std::vector<double>> per_span(std::size(kSpans));
  std::vector<double> all;
  all.reserve(static_cast<size_t>(std::max(0L, last - first + 1)));
  // The first frame is drawn as a run from the start would draw it.
  show.prepareFor(static_cast<double>(first) / 60);
  const auto began = Clock::now();
  for (long n = first; n <= last; ++n) {
    if (platform::stop_signal() != 0) return report_stop();
    const double t = static_cast<double>(n) / 60;
    const auto t0 = Clock::now();
    show.drawFrame(t);
    const double ms = ms_since(t0);
    all.push_back(ms);
    for (size_t i = 0; i < std::size(kSpans); ++i) {
      if (t >= kSpans[i].begin && t < kSpans[i].end) per_span[i].push_back(ms);
    }
    if ((n - first) % 600 == 599) std::fprintf(stderr, "velmora bench: %.0f s of show done\n", t);
  }
  const double total = std::chrono::duration<double>(Clock::now() - began).count();

  std::printf("%-26s %7s %9s %9s %9s %9s %9s %9s\n", "frame time (ms)", "frames", "mean", "median", "p99", "max",
              "mean/yd", "p99/yd");
  print_row("yardstick", yardstick, yardstick.mean);
  for (size_t i = 0; i < std::size(kSpans); ++i) {
    if (!per_span[i].empty()) print_row(kSpans[i].name, summarise(per_span[i]), yardstick.mean);
  }
  print_row("whole span", summarise(all), yardstick.mean);
  const double fps = total > 0 ? static_cast<double>(all.size()) / total : 0;
  std::printf("frames per second over the whole span: %.1f (%.2f times real time)\n", fps, fps / 60);
  std::printf("yardstick: one frame that clears colour and depth, draws one full-screen textured quad and is read back\n");
  return 0;
}
