#pragma once
// The platform log: one line on standard error per message.
#include <cstdio>

namespace platform {

void NSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where NSLog writes; standard error unless a test redirects it.
void setLogStream(std::FILE* stream);

// The asset-load log: standard output while the show plays, nothing (null)
// for commands whose output is their own (stills, benchmarks, captures) and
// for a quiet play.
std::FILE* loadLog();
void setLoadLog(std::FILE* stream);

// A status line at the foot of the terminal on standard error, rewritten in
// place (the player's; the caller makes sure it is a terminal). Every message
// of the log, and the process's exit, clear it first; its next update
// brings it back.
void setStatusLine(const char* text);
void clearStatusLine();
bool statusLineShown();

}  // namespace platform
