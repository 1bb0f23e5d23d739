#pragma once
// Running programs from tests: the show's own binary with arguments, and a
// private X server for the window tests.
#include <string>
#include <vector>

namespace fixture {

struct RunResult {
  int status = -1;      // exit status, or 128 + signal
  std::string out;      // standard output
  std::string err;      // standard error
  double seconds = 0;   // wall time
};

// A signal to send the program once it has run a while.
struct SignalAt {
  int signal = 0;
  double after_s = 0;
};

// Runs `argv` (argv[0] a path), with `env` entries ("NAME=value") added to the
// environment, killing it after `timeout_s`. With `terminal`, standard error
// is a terminal of 80 columns instead of a pipe (its bytes as written, no
// newline turned into two characters).
RunResult run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
              double timeout_s = 60, SignalAt send = {}, bool terminal = false);

// Runs the program under test with `args`, its sound going nowhere unless
// `env` names another driver.
RunResult velmora(std::vector<std::string> args, std::vector<std::string> env = {}, SignalAt send = {},
                  double timeout_s = 120);

// A moment as the command line takes it, to the microsecond.
std::string moment_text(double seconds);

// Runs a shell command line the same way (for redirections and limits).
RunResult run_shell(const std::string& command, const std::vector<std::string>& env = {}, double timeout_s = 60);

// An Xvfb server on a free display for the life of the object. available()
// is false when Xvfb cannot be started (the test should then skip).
class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  bool available() const { return !display_.empty(); }
  const std::string& display() const { return display_; }  // ":N"

 private:
  int pid_ = -1;
  std::string display_;
};

}  // namespace fixture
