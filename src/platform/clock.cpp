#include "platform/clock.h"

#include "platform/clock_source.h"

namespace platform {
namespace {
bool gVirtual = false;
std::int64_t gVirtualUs = 0;
}  // namespace

std::int64_t monotonic_ns() { return gVirtual ? gVirtualUs * 1000 : system_monotonic_ns(); }

timeval clock_reading() {
  const std::int64_t us = gVirtual ? gVirtualUs : system_clock_reading_us();
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(us / 1000000);
  tv.tv_usec = static_cast<suseconds_t>(us % 1000000);
  return tv;
}

void sleep_until(std::int64_t deadline_ns) {
  if (!gVirtual) {
    system_sleep_until(deadline_ns);
    return;
  }
  const std::int64_t us = (deadline_ns + 999) / 1000;
  if (us > gVirtualUs) gVirtualUs = us;
}

void use_virtual_clock(std::int64_t start_us) {
  gVirtual = true;
  gVirtualUs = start_us;
}

std::int64_t virtual_now_us() { return gVirtualUs; }

void set_virtual_now_us(std::int64_t us) { gVirtualUs = us; }

}  // namespace platform
