// The desktop's clocks: the system's monotonic clock for deadlines and for
// the demo clock alike.
#include <ctime>

#include "platform/clock_source.h"

namespace platform {

std::int64_t system_monotonic_ns() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::int64_t system_clock_reading_us() { return system_monotonic_ns() / 1000; }

void system_sleep_until(std::int64_t deadline_ns) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(deadline_ns / 1000000000);
  ts.tv_nsec = static_cast<long>(deadline_ns % 1000000000);
  // A signal ends the sleep early; the caller looks at the time again.
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
}

}  // namespace platform
