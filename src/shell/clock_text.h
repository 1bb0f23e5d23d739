#pragma once
// A moment of the show as a clock shows it, for every display of one (the
// player's on-screen display, a capture's progress and summary).
#include <string>

// "1:23.45": minutes, then seconds to `decimals` places. A moment before the
// start reads 0:00.00.
std::string clock_text(double seconds, int decimals = 2);
