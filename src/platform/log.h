#pragma once
// The platform log: one line on standard error per message.
#include <cstdio>

namespace platform {

void NSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where NSLog writes; standard error unless a test redirects it.
void setLogStream(std::FILE* stream);

}  // namespace platform
