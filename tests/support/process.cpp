#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace fixture {

namespace {

// A pseudo-terminal: the side a program writes to in fds[1], the side that
// reads what it wrote in fds[0], as a pipe's.
bool open_terminal(int fds[2]) {
  const int reader = posix_openpt(O_RDWR | O_NOCTTY);
  if (reader < 0 || grantpt(reader) != 0 || unlockpt(reader) != 0) return false;
  const char* name = ptsname(reader);
  const int writer = name ? open(name, O_RDWR | O_NOCTTY) : -1;
  if (writer < 0) return false;
  termios modes{};
  tcgetattr(writer, &modes);
  modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tcsetattr(writer, TCSANOW, &modes);
  winsize size{};
  size.ws_col = 80;
  size.ws_row = 24;
  ioctl(writer, TIOCSWINSZ, &size);
  fds[0] = reader;
  fds[1] = writer;
  return true;
}

}  // namespace

RunResult run(const std::vector<std::string>& argv, const std::vector<std::string>& env, double timeout_s,
              SignalAt send, bool terminal) {
  RunResult result;
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0 || (terminal ? !open_terminal(err_pipe) : pipe(err_pipe) != 0)) return result;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_fds = 2;
  bool killed = false;
  while (open_fds > 0) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!killed && elapsed > timeout_s) {
      kill(pid, SIGKILL);
      killed = true;
    }
    if (send.signal != 0 && elapsed > send.after_s) {
      kill(pid, send.signal);
      send.signal = 0;
    }
    if (poll(fds, 2, 100) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

RunResult velmora(std::vector<std::string> args, std::vector<std::string> env, SignalAt send, double timeout_s) {
  args.insert(args.begin(), VELMORA_BINARY);
  env.insert(env.begin(), "SDL_AUDIODRIVER=dummy");  // set first: a driver the caller names wins
  return run(args, env, timeout_s, send);
}

std::string moment_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", seconds);
  return text;
}

RunResult run_shell(const std::string& command, const std::vector<std::string>& env, double timeout_s) {
  return run({"/bin/sh", "-c", command}, env, timeout_s);
}

XvfbServer::XvfbServer() {
  int fds[2];
  if (pipe(fds) != 0) return;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    const std::string fd = std::to_string(fds[1]);
    // -noreset: a server that resets when its last client leaves refuses
    // the next one for a moment, and a test opens one window after another.
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c = 0;
  while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

}  // namespace fixture
