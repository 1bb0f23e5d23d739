#include "shell/clock_text.h"

#include <cmath>
#include <cstdio>

std::string clock_text(double seconds, int decimals) {
  if (!(seconds > 0)) seconds = 0;
  // In whole units of the last place shown: rounded to it, except whole
  // seconds, which count up as a clock's do (0:41 until 0:42 is reached).
  long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const double units = seconds * static_cast<double>(scale);
  const long long whole = decimals == 0 ? static_cast<long long>(std::floor(units + 1e-6)) : std::llround(units);
  const long long per_minute = 60 * scale;
  char text[48];
  if (decimals == 0) {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / per_minute, whole % per_minute);
  } else {
    const long long rest = whole % per_minute;
    std::snprintf(text, sizeof text, "%lld:%02lld.%0*lld", whole / per_minute, rest / scale, decimals, rest % scale);
  }
  return text;
}

std::string position_text(double seconds, double length, bool paused) {
  return clock_text(seconds, paused ? 2 : 0) + " / " + clock_text(length, 0);
}
