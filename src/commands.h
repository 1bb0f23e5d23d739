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

// Each returns the process's exit status.
int play_show(const PlayOptions& options);
int write_still(const StillOptions& options);
int run_bench(const BenchOptions& options);

// One line on standard error, "velmora: " first; returns `status`.
int report_failure(const std::string& message, int status = 1);
