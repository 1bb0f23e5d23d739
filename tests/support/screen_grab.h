#pragma once
// What an X display shows, read back through Xlib (kept apart: Xlib's macros
// clash with the program's own names).
#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// The whole screen of `display` (":N") as 0xRRGGBB words, row by row, and
// its size; empty when it cannot be read.
std::vector<std::uint32_t> grab_screen(const std::string& display, int* w, int* h);

}  // namespace fixture
