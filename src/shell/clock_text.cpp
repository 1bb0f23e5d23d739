#include "shell/clock_text.h"

#include <cstdio>

std::string clock_text(double seconds, int decimals) {
  if (seconds < 0) seconds = 0;
  char text[48];
  const int minutes = static_cast<int>(seconds / 60);
  std::snprintf(text, sizeof text, "%d:%0*.*f", minutes, decimals + 3, decimals, seconds - 60.0 * minutes);
  return text;
}
