// velmora capture: the show, or a span of it, drawn offline frame by frame
// on the virtual clock and written with its music to a video file.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/frame_writer.h"
#include "capture/gif_writer.h"
#include "capture/pieces.h"
#include "capture/video_encoder.h"
#include "capture/video_sink.h"
#include "capture/webp_writer.h"
#include "commands.h"
#include "platform/bundle.h"
#include "platform/eagl.h"
#include "process/signals.h"
#include "platform/sound_file.h"
#include "shell/clock_text.h"
#include "shell/main_interface.h"
#include "shell/offline_show.h"
#include "engine/schedule.h"

namespace {

using Clock = std::chrono::steady_clock;

// One line on a terminal, rewritten in place; nothing otherwise.
class Progress {
 public:
  Progress(long frames, double from, int fps)
      : frames_(frames), from_(from), fps_(fps), tty_(frames > 0 && isatty(2) != 0) {}

  void update(long done) {
    if (!tty_) return;
    const double elapsed = seconds_since(began_);
    if (done < frames_ && elapsed - shown_ < 0.25) return;
    shown_ = elapsed;
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const double left = rate > 0 ? (frames_ - done) / rate : 0;
    std::fprintf(stderr, "\rvelmora capture: %3.0f%%  at %s  %4.0f frames/s  %3.0f s left ",
                 100.0 * done / frames_, clock_text(from_ + static_cast<double>(done) / fps_, 3).c_str(), rate, left);
    std::fflush(stderr);
  }
  void end() {
    if (tty_) std::fputs("\r\033[K", stderr);
  }

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

namespace {

// A moment as the command line takes it back exactly: fixed notation, with
// digits enough that the double read back is this one.
std::string exact_moment(double t) {
  char text[64];
  std::snprintf(text, sizeof text, "%.40f", t);
  return text;
}

// The capture's own command line for the helpers that draw its other pieces.
std::vector<std::string> helper_command(const CaptureOptions& o, const VideoSettings& settings) {
  std::vector<std::string> c = {"capture",        "--out", o.out,
                                "--from",         exact_moment(o.from),
                                "--to",           exact_moment(o.to),
                                "--fps",          std::to_string(settings.fps),
                                "--render-scale", std::to_string(o.renderScale),
                                "--assets",       platform::bundlePath(),
                                "--no-audio"};
  if (o.portrait) c.push_back("--portrait");
  if (o.quality >= 0) c.insert(c.end(), {"--quality", std::to_string(o.quality)});
  if (o.lossless) c.push_back("--lossless");
  if (!o.format.empty()) c.insert(c.end(), {"--format", o.format});
  return c;
}

}  // namespace

int capture_video(const CaptureOptions& o) {
  const auto kind = output_kind(o.out);
  if (!kind) return report_failure(o.out + " is not a name capture writes: use " + accepted_outputs(), 2);
  VideoSettings settings;
  if (std::string why; !settle(o, *kind, &settings, &why)) return report_failure(why, 2);
  const long frames = std::lround((o.to - o.from) * settings.fps);
  if (frames < 1) return report_failure("--to must come after --from", 2);

  // A helper draws one piece of another process's capture: frames `first`
  // on, without sound, and says nothing unless it fails.
  const bool helper = !o.piece.empty();
  long first = 0;
  long own = frames;
  pid_t parent = 0;
  if (helper) {
    if (!parse_piece(o.piece, &first, &own, &parent) || first + own > frames) {
      return report_failure("--piece " + o.piece + " is not a piece of this capture", 2);
    }
    settings.pieceFd = *kind == OutputKind::Video ? o.pieceFd : -1;
    if (*kind == OutputKind::Video && o.pieceFd < 0) return report_failure("--piece needs --piece-fd", 2);
    settings.firstNumber = first;
  } else if (o.out == "-" && isatty(STDOUT_FILENO)) {
    return report_failure("standard output is a terminal: redirect it, or give --out a file name", 2);
  }

  // The soundtrack, unless there is none (one warning) or none is wanted.
  // Animated pictures have no sound.
  const bool animated = *kind == OutputKind::Gif || *kind == OutputKind::WebP;
  platform::Sound sound;
  bool with_sound = false;
  if (o.audio && !helper && !animated) {
    std::string why;
    const std::string music = platform::bundlePath() + "/music.mp3";
    with_sound = platform::decode_sound_file(music, &sound, &why, {.maxSeconds = kShowEnd + 5});
    if (!with_sound) std::fprintf(stderr, "velmora: %s: %s; the capture has no sound\n", music.c_str(), why.c_str());
  }

  const auto orientation = o.portrait ? platform::Orientation::Portrait : platform::Orientation::Landscape;
  const int w = kScreenWidth * o.renderScale;  // the show's frames, as presented
  const int h = kScreenHeight * o.renderScale;
  settings.width = platform::oriented_width(w, h, orientation);
  settings.height = platform::oriented_height(w, h, orientation);
  if (with_sound) {
    settings.sound = &sound;
    settings.soundFirstFrame = static_cast<std::size_t>(std::llround(o.from * sound.rate));
  }
  const auto began = Clock::now();
  use_pictures_for(o.renderScale);
  OfflineShow show(o.renderScale);
  if (!show.ready()) return report_not_ready();
  // Animated pictures are short and encoded as one stream: one process.
  const int jobs =
      helper || animated
          ? 1
          : static_cast<int>(std::min<long>(o.jobs > 0 ? o.jobs : default_capture_jobs(platform::software_renderer()),
                                            frames));

  const std::unique_ptr<FrameWriter> writer = make_frame_writer(*kind);
  FrameWriter& encoder = *writer;
  if (!encoder.open(o.out, settings)) {
    // A FIFO with no reader is waited for until a stop signal ends the wait.
    if (platform::stop_signal() != 0) return report_stop();
    return report_failure(encoder.error());
  }
  // The other pieces' helpers start once the output is open (a sequence's
  // folder made).
  PieceHelpers helpers;
  if (jobs > 1) {
    std::string why;
    if (!helpers.start(helper_command(o, settings), frames, jobs, *kind == OutputKind::Video, o.out, &why)) {
      return report_failure(why);
    }
    own = helpers.pieces()[0].frames;
  }

  VideoSink sink(encoder, orientation, w, h);
  auto moment = [&](long k) { return o.from + static_cast<double>(k) / settings.fps; };
  show.prepareFor(moment(first), settings.fps);
  show.setSink(&sink);
  Progress progress(helper ? 0 : own, o.from, settings.fps);
  const double readback_before = platform::readback_seconds();
  double drawing = 0;
  long drawn = 0;
  // A helper whose capture has gone (its process ended) stops too.
  auto orphaned = [&] { return helper && ::getppid() != parent; };
  for (; drawn < own && !sink.failed() && platform::stop_signal() == 0 && !orphaned(); ++drawn) {
    const auto t0 = Clock::now();
    show.drawFrame(moment(first + drawn));
    drawing += seconds_since(t0);
    progress.update(drawn + 1);
  }
  show.setSink(nullptr);
  bool encoded = sink.finish();
  progress.end();
  // The other pieces, in order, once each is drawn.
  for (std::size_t i = 1; encoded && i < helpers.pieces().size() && platform::stop_signal() == 0; ++i) {
    if (const int status = helpers.wait(i); status != 0) {
      helpers.stop();
      encoder.abandon();
      return status;
    }
    if (platform::stop_signal() != 0) break;
    const Piece& piece = helpers.pieces()[i];
    encoded = encoder.append(piece.fd, piece.frames);
  }
  if (platform::stop_signal() != 0 || orphaned()) {
    helpers.stop();
    encoder.abandon();
    return report_stop();
  }
  if (!encoded || !encoder.finish()) {
    helpers.stop();
    if (encoder.error().empty()) return report_failure(o.out + ": its pieces cannot be joined");
    return report_failure(encoder.error());
  }
  if (helper) return 0;

  const double wall = seconds_since(began);
  const double duration = static_cast<double>(frames) / settings.fps;
  std::fprintf(stderr, "velmora capture: %s: %ld frames, %s, %.1f MB, %.1f times real time\n",
               o.out == "-" ? "standard output" : o.out.c_str(), frames, clock_text(duration, 3).c_str(),
               static_cast<double>(encoder.size()) / 1e6, wall > 0 ? duration / wall : 0);
  if (o.times) {
    const double readback = platform::readback_seconds() - readback_before;
    std::fprintf(stderr,
                 "velmora capture: show thread %.1f s (drawing %.1f, read-back %.1f); encoder thread %.1f s (turning "
                 "%.1f, colour conversion %.1f, encoding %.1f)%s\n",
                 drawing, drawing - readback, readback, sink.turningSeconds() + sink.encodingSeconds(),
                 sink.turningSeconds(), encoder.conversionSeconds(), encoder.encodingSeconds(),
                 jobs > 1 ? ", this process's piece only" : "");
  }
  return 0;
}
