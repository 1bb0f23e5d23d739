#pragma once
// A moment of the show as a clock shows it, for every display of one (the
// player's on-screen display and status line, a capture's progress and
// summary).
#include <string>

// "1:23.45": minutes, then seconds to `decimals` places, rounded to the last
// place; with no decimals, whole seconds as a clock counts them ("1:23" from
// 83 s until 84). A moment before the start reads 0:00.
std::string clock_text(double seconds, int decimals = 2);

// Where a player is in a show `length` long, "0:41 / 3:10": whole seconds
// while playing, hundredths while paused (and stepping, which pauses), where
// they mean something.
std::string position_text(double seconds, double length, bool paused);
