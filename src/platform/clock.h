#pragma once
// The process's time. Normally the real monotonic clock, for timer deadlines
// and for the demo clock alike: setting the system's date never moves the
// show. Runs that must be deterministic (stills, tests, benchmarks) switch to
// a virtual clock that both readings share: it stands still while work is
// done and jumps to a deadline instead of sleeping.
#include <sys/time.h>

#include <cstdint>

namespace platform {

// Monotonic nanoseconds, for deadlines.
std::int64_t monotonic_ns();

// The demo clock's reading: the monotonic clock as seconds and microseconds.
timeval clock_reading();

// Sleeps until monotonic_ns() >= deadline (the virtual clock jumps there), or
// until a signal arrives.
void sleep_until(std::int64_t deadline_ns);

// Switches this process to the virtual clock, starting at `start_us`
// microseconds. Irreversible for the process's life.
void use_virtual_clock(std::int64_t start_us = 0);

// Virtual clock only: the current time in microseconds, and setting it (a
// driver may set it back, as a wall clock can be set back).
std::int64_t virtual_now_us();
void set_virtual_now_us(std::int64_t us);

}  // namespace platform
