#include "platform/clock.h"

#include <ctime>

namespace platform {
namespace {
bool gVirtual = false;
std::int64_t gVirtualUs = 0;
}  // namespace

std::int64_t monotonic_ns() {
  if (gVirtual) return gVirtualUs * 1000;
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

timeval clock_reading() {
  const std::int64_t us = gVirtual ? gVirtualUs : monotonic_ns() / 1000;
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(us / 1000000);
  tv.tv_usec = static_cast<suseconds_t>(us % 1000000);
  return tv;
}

void sleep_until(std::int64_t deadline_ns) {
  if (gVirtual) {
    const std::int64_t us = (deadline_ns + 999) / 1000;
    if (us > gVirtualUs) gVirtualUs = us;
    return;
  }
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(deadline_ns / 1000000000);
  ts.tv_nsec = static_cast<long>(deadline_ns % 1000000000);
  // A signal ends the sleep early; the caller looks at the time again.
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
}

void use_virtual_clock(std::int64_t start_us) {
  gVirtual = true;
  gVirtualUs = start_us;
}

bool virtual_clock_in_use() { return gVirtual; }

std::int64_t virtual_now_us() { return gVirtualUs; }

void set_virtual_now_us(std::int64_t us) { gVirtualUs = us; }

}  // namespace platform
