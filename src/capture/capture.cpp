// velmora capture: the show, or a span of it, drawn offline frame by frame
// on the virtual clock and written with its music to a video file.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "capture/frame_writer.h"
#include "capture/gif_writer.h"
#include "capture/video_encoder.h"
#include "capture/video_sink.h"
#include "capture/webp_writer.h"
#include "commands.h"
#include "platform/bundle.h"
#include "platform/eagl.h"
#include "process/signals.h"
#include "platform/sound_file.h"
#include "shell/offline_show.h"
#include "shell/schedule.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// "3:05.000"
std::string clock_text(double seconds) {
  char text[32];
  const int minutes = static_cast<int>(seconds / 60);
  std::snprintf(text, sizeof text, "%d:%06.3f", minutes, seconds - 60.0 * minutes);
  return text;
}

// One line on a terminal, rewritten in place; nothing otherwise.
class Progress {
 public:
  Progress(long frames, double from, int fps) : frames_(frames), from_(from), fps_(fps), tty_(isatty(2) != 0) {}

  void update(long done) {
    if (!tty_) return;
    const double elapsed = seconds_since(began_);
    if (done < frames_ && elapsed - shown_ < 0.25) return;
    shown_ = elapsed;
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const double left = rate > 0 ? (frames_ - done) / rate : 0;
    std::fprintf(stderr, "\rvelmora capture: %3.0f%%  at %s  %4.0f frames/s  %3.0f s left ",
                 100.0 * done / frames_, clock_text(from_ + static_cast<double>(done) / fps_).c_str(), rate, left);
    std::fflush(stderr);
  }
  void end() {
    if (tty_) std::fputs("\r\033[K", stderr);
  }
  double elapsed() const { return seconds_since(began_); }

 private:
  long frames_;
  double from_;
  int fps_;
  bool tty_;
  Clock::time_point began_ = Clock::now();
  double shown_ = -1;
};

}  // namespace

namespace {

// The frame rate and quality `o` asks of its kind of output, checked, and
// whatever else the command line leaves to the output's name; a usage error
// names the option.
bool settle(const CaptureOptions& o, OutputKind kind, VideoSettings* settings, std::string* error) {
  std::optional<VideoContainer> container;
  if (o.out == "-") {
    if (o.format.empty()) {
      *error = "--out - needs --format (" + streaming_containers() + "): standard output has no name to say it";
      return false;
    }
    container = container_named(o.format);
    if (!container || !container->streams) {
      *error = "--format " + o.format + " cannot be streamed: use " + streaming_containers();
      return false;
    }
    settings->container = container->name;
  } else if (!o.format.empty()) {
    *error = "--format is for standard output (--out -): a file's name says its format";
    return false;
  } else if (kind == OutputKind::Video) {
    container = container_for(o.out);
  }
  if (o.lossless && !(container && container->lossless)) {
    *error = "--lossless writes Matroska or NUT: name the file .mkv or .nut";
    return false;
  }
  settings->lossless = o.lossless;

  settings->fps = o.fps > 0                   ? o.fps
                  : kind == OutputKind::Gif  ? GifWriter::kDefaultFps
                  : kind == OutputKind::WebP ? WebpWriter::kDefaultFps
                                             : 60;
  if (kind == OutputKind::Gif && settings->fps > GifWriter::kMaxFps) {
    *error = "--fps for .gif goes up to " + std::to_string(GifWriter::kMaxFps) +
             " (its frames last whole hundredths of a second, two at least)";
    return false;
  }

  settings->quality = o.quality;
  if (o.quality < 0) return true;
  const char* refusal = nullptr;
  if (kind == OutputKind::Gif) refusal = "a .gif has no --quality: its palette is made for the clip";
  if (kind == OutputKind::Pictures) refusal = "PNG pictures have no --quality: they are exact";
  if (o.lossless) refusal = "a lossless capture has no --quality";
  if (refusal) {
    *error = refusal;
    return false;
  }
  const int worst = kind == OutputKind::WebP ? 100 : container->quality_worst;
  if (o.quality > worst) {
    *error = kind == OutputKind::WebP ? std::string("--quality for .webp goes from 0 to 100 (best)")
                                      : "--quality for " + std::string(container->extension) +
                                            " goes from 0 (best) to " + std::to_string(worst);
    return false;
  }
  return true;
}

}  // namespace

int capture_video(const CaptureOptions& o) {
  const auto kind = output_kind(o.out);
  if (!kind) return report_failure(o.out + " is not a name capture writes: use " + accepted_outputs(), 2);
  VideoSettings settings;
  if (std::string why; !settle(o, *kind, &settings, &why)) return report_failure(why, 2);
  if (o.out == "-" && isatty(STDOUT_FILENO)) {
    return report_failure("standard output is a terminal: redirect it, or give --out a file name", 2);
  }
  const long frames = std::lround((o.to - o.from) * settings.fps);
  if (frames < 1) return report_failure("--to must come after --from", 2);

  // The soundtrack, unless there is none (one warning) or none is wanted.
  // Animated pictures have no sound.
  platform::Sound sound;
  bool with_sound = false;
  if (o.audio && *kind != OutputKind::Gif && *kind != OutputKind::WebP) {
    std::string why;
    const std::string music = platform::bundlePath() + "/music.mp3";
    with_sound = platform::decode_sound_file(music, &sound, &why, {.maxSeconds = kShowEnd + 5});
    if (!with_sound) std::fprintf(stderr, "velmora: %s: %s; the capture has no sound\n", music.c_str(), why.c_str());
  }

  use_pictures_for(o.renderScale);
  OfflineShow show(o.renderScale);
  if (!show.ready()) return report_not_ready();

  const auto orientation = o.portrait ? platform::Orientation::Portrait : platform::Orientation::Landscape;
  const int w = show.frame().width();
  const int h = show.frame().height();
  settings.width = platform::oriented_width(w, h, orientation);
  settings.height = platform::oriented_height(w, h, orientation);
  if (with_sound) {
    settings.sound = &sound;
    settings.soundFirstFrame = static_cast<std::size_t>(std::llround(o.from * sound.rate));
  }
  const std::unique_ptr<FrameWriter> writer = make_frame_writer(*kind);
  FrameWriter& encoder = *writer;
  if (!encoder.open(o.out, settings)) {
    // A FIFO with no reader is waited for until a stop signal ends the wait.
    if (platform::stop_signal() != 0) return report_stop();
    return report_failure(encoder.error());
  }

  VideoSink sink(encoder, orientation, w, h);
  show.prepareFor(o.from, settings.fps);
  show.setSink(&sink);
  Progress progress(frames, o.from, settings.fps);
  const double readback_before = platform::readback_seconds();
  double drawing = 0;
  long drawn = 0;
  for (; drawn < frames && !sink.failed() && platform::stop_signal() == 0; ++drawn) {
    const auto t0 = Clock::now();
    show.drawFrame(o.from + static_cast<double>(drawn) / settings.fps);
    drawing += seconds_since(t0);
    progress.update(drawn + 1);
  }
  show.setSink(nullptr);
  const bool encoded = sink.finish();
  progress.end();
  if (platform::stop_signal() != 0) {
    encoder.abandon();
    return report_stop();
  }
  if (!encoded || !encoder.finish()) return report_failure(encoder.error());

  const double wall = progress.elapsed();
  const double duration = static_cast<double>(frames) / settings.fps;
  std::fprintf(stderr, "velmora capture: %s: %ld frames, %s, %.1f MB, %.1f times real time\n",
               o.out == "-" ? "standard output" : o.out.c_str(), frames,
               clock_text(duration).c_str(), static_cast<double>(encoder.size()) / 1e6,
               wall > 0 ? duration / wall : 0);
  if (o.times) {
    const double readback = platform::readback_seconds() - readback_before;
    std::fprintf(stderr,
                 "velmora capture: show thread %.1f s (drawing %.1f, read-back %.1f); encoder thread %.1f s (turning "
                 "%.1f, colour conversion %.1f, encoding %.1f)\n",
                 drawing, drawing - readback, readback, sink.turningSeconds() + sink.encodingSeconds(),
                 sink.turningSeconds(), encoder.conversionSeconds(), encoder.encodingSeconds());
  }
  return 0;
}
