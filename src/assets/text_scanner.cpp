#include "assets/text_scanner.h"

#include <cctype>
#include <cstddef>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
int lower(int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// The value of the float text [first, last): what strtof makes of it. Plain
// decimal text takes std::from_chars, which rounds exactly as strtof does and
// is much faster, where the C++ library has it (a browser build's may not);
// anything else (hexadecimal, "nan", "inf", out of range) goes to strtof
// itself.
bool convert_float(const char* first, const char* last, bool plain, float* out) {
#if defined(__cpp_lib_to_chars)
  if (plain) {
    const char* from = *first == '+' ? first + 1 : first;
    float value = 0;
    const auto [ptr, ec] = std::from_chars(from, last, value);
    if (ec == std::errc() && ptr == last) {
      *out = value;
      return true;
    }
  }
#else
  (void)plain;
#endif
  const std::string text(first, last);
  char* stop = nullptr;
  const float value = std::strtof(text.c_str(), &stop);
  if (stop == text.c_str()) return false;
  *out = value;
  return true;
}

}  // namespace

void TextScanner::skipSpace() {
  while (p_ != end_ && is_space(static_cast<unsigned char>(*p_))) ++p_;
}

bool TextScanner::readToken(char* token) {
  skipSpace();
  if (p_ == end_) return false;
  int n = 0;
  while (n < 255 && p_ != end_ && !is_space(static_cast<unsigned char>(*p_))) token[n++] = *p_++;
  return true;
}

bool TextScanner::readLiteral(char c) {
  const int got = next();
  if (got < 0) return false;
  if (got != static_cast<unsigned char>(c)) {
    unread(got);
    return false;
  }
  return true;
}

// A C library float conversion, step by step: an optional sign, then "nan",
// "inf" or "infinity" in any case, or a decimal or 0x-hexadecimal number with
// an optional point and exponent. A character that ends the number is put
// back; a letter that breaks "nan" or "infinity" is not.
bool TextScanner::readFloat(float* out) {
  skipSpace();
  // What the reader takes is always one run of the text: [first, p_).
  const char* first = p_;
  int c = next();
  if (c < 0) return false;
  bool got_sign = false;
  if (c == '-' || c == '+') {
    got_sign = true;
    c = next();
    if (c < 0) return false;
  }
  // The letters of "nan" and "infinity" are taken one by one; one that does
  // not fit ends the conversion as a failure, and is not put back.
  auto expect = [&](const char* word) {
    for (; *word; ++word) {
      c = next();
      if (c < 0 || lower(c) != *word) return false;
    }
    return true;
  };
  if (lower(c) == 'n') return expect("an") && convert_float(first, p_, false, out);
  if (lower(c) == 'i') {
    if (!expect("nf")) return false;
    c = next();
    if (lower(c) == 'i') {
      if (!expect("nity")) return false;
    } else {
      unread(c);
    }
    return convert_float(first, p_, false, out);
  }

  bool hex = false;
  bool got_digit = false;
  bool got_dot = false;
  bool got_e = false;
  int exp_char = 'e';
  int previous = 0;
  if (c == '0') {
    previous = c;
    c = next();
    if (lower(c) == 'x') {
      hex = true;
      exp_char = 'p';
      previous = c;
      c = next();
    } else {
      got_digit = true;
    }
  }
  while (c >= 0) {
    if (is_digit(c) || (!got_e && hex && std::isxdigit(c))) {
      got_digit = true;
    } else if (got_e && lower(previous) == exp_char && (c == '-' || c == '+')) {
    } else if (got_digit && !got_e && lower(c) == exp_char) {
      got_e = got_dot = true;
    } else if (!got_dot && c == '.') {
      got_dot = true;
    } else {
      unread(c);
      break;
    }
    previous = c;
    c = next();
  }
  const std::ptrdiff_t taken = p_ - first;
  const std::ptrdiff_t sign = got_sign ? 1 : 0;
  if (taken == sign || (hex && taken == 2 + sign)) return false;
  return convert_float(first, p_, !hex, out);
}

// A C library "%i" conversion: an optional sign, then 0x-hexadecimal, 0-octal
// or decimal digits. The character after the number is put back.
bool TextScanner::readInteger(long* out) {
  skipSpace();
  int c = next();
  if (c < 0) return false;
  bool negative = false;
  if (c == '-' || c == '+') {
    negative = c == '-';
    c = next();
  }
  int base = 10;
  bool digits = false;
  if (c == '0') {
    digits = true;
    c = next();
    if (lower(c) == 'x') {
      base = 16;
      c = next();
    } else {
      base = 8;
    }
  }
  // strtol's value, clamped to the range of a long.
  unsigned long magnitude = 0;
  const unsigned long limit = negative ? 0UL - static_cast<unsigned long>(LONG_MIN) : LONG_MAX;
  bool overflow = false;
  for (; c >= 0; c = next()) {
    int d;
    if (is_digit(c)) {
      d = c - '0';
    } else if (base == 16 && std::isxdigit(c)) {
      d = lower(c) - 'a' + 10;
    } else {
      break;
    }
    if (d >= base) break;
    digits = true;
    if (!overflow) {
      if (magnitude > (limit - static_cast<unsigned long>(d)) / static_cast<unsigned long>(base)) {
        overflow = true;
      } else {
        magnitude = magnitude * static_cast<unsigned long>(base) + static_cast<unsigned long>(d);
      }
    }
  }
  unread(c);
  if (!digits) return false;
  if (overflow) {
    *out = negative ? LONG_MIN : LONG_MAX;
  } else {
    *out = negative ? static_cast<long>(0UL - magnitude) : static_cast<long>(magnitude);
  }
  return true;
}

int TextScanner::readFloats(float* a, float* b, float* c) {
  if (!readFloat(a)) return 0;
  if (!readFloat(b)) return 1;
  if (!readFloat(c)) return 2;
  return 3;
}

int TextScanner::readIndexTriple(long* i, long* j, long* k) {
  if (!readInteger(i)) return 0;
  if (!readLiteral('/') || !readInteger(j)) return 1;
  if (!readLiteral('/') || !readInteger(k)) return 2;
  return 3;
}
