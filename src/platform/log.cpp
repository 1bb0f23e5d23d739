#include "platform/log.h"

#include <cstdarg>

namespace platform {
namespace {
std::FILE* gLogStream = nullptr;
}

void setLogStream(std::FILE* stream) { gLogStream = stream; }

namespace {
std::FILE* gLoadLog = stdout;
}

std::FILE* loadLog() { return gLoadLog; }

void setLoadLog(std::FILE* stream) { gLoadLog = stream; }

void NSLog(const char* format, ...) {
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
