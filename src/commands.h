#pragma once
// The program's commands, once the command line is read and the bundle found.
#include <string>

#include "engine/schedule.h"

struct PlayOptions {
  double from = 0;
  bool headless = false;
  bool portrait = false;
  int scale = 0;
  bool fullscreen = false;
  int renderScale = 0;  // 0: the window chooses
  bool loop = false;    // again from the start at the end, until stopped
  bool quiet = false;   // without the asset-loading log
};

struct StillOptions {
  double at = 0;
  std::string out;
  bool portrait = false;
  int renderScale = 1;
};

struct BenchOptions {
  double from = 0;
  double to = kShowEnd;
  int renderScale = 1;
};

struct CaptureOptions {
  std::string out;
  std::string format;  // the container, for standard output
  double from = 0;
  double to = kLastPicture;  // the show's last picture
  int fps = 0;  // 0: the format's own default
  bool portrait = false;
  int quality = -1;  // the encoder's own default
  bool lossless = false;
  bool audio = true;
  bool times = false;  // also say where the time went
  int renderScale = 1;
  int jobs = 0;  // processes drawing the span; 0: as many as help here
  // A helper process drawing one piece of another's capture: "FIRST:FRAMES:PID",
  // and the descriptor it leaves a video's encoded pictures in.
  std::string piece;
  int pieceFd = -1;
};

// Each returns the process's exit status.
int play_show(const PlayOptions& options);
int write_still(const StillOptions& options);
int run_bench(const BenchOptions& options);
int capture_video(const CaptureOptions& options);

// One line on standard error, "velmora: " first; returns `status`.
int report_failure(const std::string& message, int status = 1);
// The same for a command stopped by a signal (128 + its number), and for an
// offline show that could not start.
int report_stop();
int report_not_ready();
// At a render scale above 1, draws the bundle's high-resolution pictures when
// it has them (one line saying so when it has none).
void use_pictures_for(int render_scale);
