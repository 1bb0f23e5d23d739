#include "platform/log.h"

#include <cstdarg>
#include <cstdlib>

namespace platform {
namespace {
std::FILE* gLogStream = nullptr;
std::FILE* gLoadLog = stdout;
bool gStatusShown = false;
}  // namespace

void setLogStream(std::FILE* stream) { gLogStream = stream; }

std::FILE* loadLog() { return gLoadLog; }

void setLoadLog(std::FILE* stream) { gLoadLog = stream; }

void setStatusLine(const char* text) {
  static const bool cleared_at_exit = std::atexit(clearStatusLine) == 0;
  (void)cleared_at_exit;
  // From the line's start, the text, the rest of the line cleared.
  std::fprintf(stderr, "\r%s\033[K", text);
  std::fflush(stderr);
  gStatusShown = true;
}

void clearStatusLine() {
  if (!gStatusShown) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  gStatusShown = false;
}

bool statusLineShown() { return gStatusShown; }

void NSLog(const char* format, ...) {
  clearStatusLine();
  std::FILE* out = gLogStream ? gLogStream : stderr;
  std::fputs("velmora: ", out);
  va_list args;
  va_start(args, format);
  std::vfprintf(out, format, args);
  va_end(args);
  std::fputc('\n', out);
  std::fflush(out);
}

}  // namespace platform
