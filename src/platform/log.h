#pragma once
// The platform log: one line on standard error per message.
#include <cstdio>

namespace platform {

void NSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where NSLog writes; standard error unless a test redirects it.
void setLogStream(std::FILE* stream);

// The asset-load log: standard output while the show plays, nothing (null)
// for commands whose output is their own (stills, benchmarks, captures).
std::FILE* loadLog();
void setLoadLog(std::FILE* stream);

}  // namespace platform
