#pragma once
// The real clocks behind platform/clock.h, one set per platform flavour (the
// desktop's in desktop/clock_system.cpp, the page's in web/clock.cpp); clock.cpp
// puts the virtual clock in front of them.
#include <cstdint>

namespace platform {

// Monotonic nanoseconds, for deadlines.
std::int64_t system_monotonic_ns();
// The demo clock's reading in microseconds.
std::int64_t system_clock_reading_us();
// Sleeps until system_monotonic_ns() >= deadline, or a signal arrives.
void system_sleep_until(std::int64_t deadline_ns);

}  // namespace platform
