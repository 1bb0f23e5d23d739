#pragma once
// Emscripten 3.1.6's C++ library has no std::from_chars for floating point
// (C++17), which the mesh loader's number scanner uses for plain decimal
// text. The browser build includes this into that one file: the conversion
// done by strtof, which yields the same value for the same text (the
// scanner's fast path relies on exactly that equivalence). Like from_chars,
// it takes no leading space or plus sign.
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>

namespace std {

inline from_chars_result from_chars(const char* first, const char* last, float& value,
                                    chars_format = chars_format::general) {
  if (first == last || *first == '+' || *first == ' ' || (*first >= '\t' && *first <= '\r')) {
    return {first, errc::invalid_argument};
  }
  const string text(first, last);
  char* stop = nullptr;
  errno = 0;
  const float converted = strtof(text.c_str(), &stop);
  if (stop == text.c_str()) return {first, errc::invalid_argument};
  const char* end = first + (stop - text.c_str());
  if (errno == ERANGE) return {end, errc::result_out_of_range};
  value = converted;
  return {end, errc{}};
}

}  // namespace std
