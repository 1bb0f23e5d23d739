#include "capture/pieces.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <thread>

#include "process/files.h"
#include "process/signals.h"

extern char** environ;

namespace {

// The descriptor a helper finds its scratch file on.
constexpr int kPieceFd = 3;

std::string program_path() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  path[n] = '\0';
  return path;
}

}  // namespace

PieceHelpers::~PieceHelpers() {
  stop();
  for (Piece& p : pieces_) {
    if (p.fd >= 0) ::close(p.fd);
  }
}

bool PieceHelpers::start(const std::vector<std::string>& command, long frames, int jobs, bool video,
                         const std::string& output, std::string* error) {
  pieces_.clear();
  for (long i = 0; i < jobs; ++i) {
    Piece p;
    p.first = frames * i / jobs;
    p.frames = frames * (i + 1) / jobs - p.first;
    pieces_.push_back(p);
  }
  const std::string program = program_path();
  if (program.empty()) {
    *error = std::string("cannot find the program to start its helpers: ") + std::strerror(errno);
    return false;
  }
  for (std::size_t i = 1; i < pieces_.size(); ++i) {
    Piece& p = pieces_[i];
    std::vector<std::string> args = {program};
    args.insert(args.end(), command.begin(), command.end());
    args.push_back("--piece");
    args.push_back(std::to_string(p.first) + ":" + std::to_string(p.frames) + ":" + std::to_string(::getpid()));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Standard output may be the capture itself.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (video) {
      p.fd = platform::open_scratch_file(output == "-" ? std::string() : output);
      if (p.fd >= 0 && p.fd <= kPieceFd) {
        const int moved = ::fcntl(p.fd, F_DUPFD_CLOEXEC, kPieceFd + 1);
        ::close(p.fd);
        p.fd = moved;
      }
      if (p.fd < 0) {
        posix_spawn_file_actions_destroy(&actions);
        *error = std::string("no room for the pieces other processes draw: ") + std::strerror(errno);
        return false;
      }
      posix_spawn_file_actions_adddup2(&actions, p.fd, kPieceFd);
      args.push_back("--piece-fd");
      args.push_back(std::to_string(kPieceFd));
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int r = posix_spawn(&p.pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0) {
      p.pid = -1;
      *error = std::string("cannot start a process to draw a piece: ") + std::strerror(r);
      return false;
    }
  }
  return true;
}

int PieceHelpers::wait(std::size_t i) {
  Piece& p = pieces_[i];
  if (p.pid < 0) return 0;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(p.pid, &status, WNOHANG);
    if (r == p.pid) {
      p.pid = -1;
      if (WIFEXITED(status)) return WEXITSTATUS(status);  // it said why
      std::fprintf(stderr, "velmora: the process drawing frames %ld to %ld ended by signal %d\n", p.first,
                   p.first + p.frames - 1, WTERMSIG(status));
      return 1;
    }
    if (r < 0 && errno != EINTR) {
      std::fprintf(stderr, "velmora: lost the process drawing frames %ld to %ld: %s\n", p.first,
                   p.first + p.frames - 1, std::strerror(errno));
      p.pid = -1;
      return 1;
    }
    if (platform::stop_signal() != 0) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void PieceHelpers::stop() {
  for (Piece& p : pieces_) {
    if (p.pid > 0) ::kill(p.pid, SIGTERM);
  }
  for (Piece& p : pieces_) {
    if (p.pid <= 0) continue;
    int status = 0;
    while (::waitpid(p.pid, &status, 0) < 0 && errno == EINTR) {
    }
    p.pid = -1;
  }
}

int default_capture_jobs(bool software_renderer) {
  if (!software_renderer) return 1;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()) / 2);
}

bool parse_piece(const std::string& text, long* first, long* frames, pid_t* parent) {
  const char* at = text.data();
  const char* end = text.data() + text.size();
  long pid = 0;
  auto number = [&](long* value, bool last) {
    const auto [next, ec] = std::from_chars(at, end, *value);
    if (ec != std::errc() || *value < 0) return false;
    at = next;
    if (last) return at == end;
    if (at == end || *at != ':') return false;
    ++at;
    return true;
  };
  if (!number(first, false) || !number(frames, false) || !number(&pid, true) || *frames < 1) return false;
  *parent = static_cast<pid_t>(pid);
  return true;
}
