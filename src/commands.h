#pragma once
// The program's commands, once the command line is read and the bundle found.
#include <string>

struct PlayOptions {
  double from = 0;
  bool headless = false;
  bool portrait = false;
  int scale = 0;
  bool fullscreen = false;
};

struct StillOptions {
  double at = 0;
  std::string out;
  bool portrait = false;
};

struct BenchOptions {
  double from = 0;
  double to = 190;
};

struct CaptureOptions {
  std::string out;
  double from = 0;
  double to = 185;
  int fps = 60;
  bool portrait = false;
  int quality = -1;  // the encoder's own default
  bool audio = true;
  bool times = false;  // also say where the time went
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
