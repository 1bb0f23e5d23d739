#pragma once
// The formatted input the mesh format is defined by ("%255s", "%f", "%i" and
// literal characters), read from text held in memory. Each read consumes
// exactly the characters, and yields exactly the value, that the C library's
// formatted input (glibc) consumes and yields from a file holding the same
// text, failures included; only it is many times faster, and an integer
// keeps its full value instead of being cut to an int.
#include <cstddef>

class TextScanner {
 public:
  TextScanner(const char* text, std::size_t size) : p_(text), end_(text + size) {}

  bool atEnd() const { return p_ == end_; }

  // "%255s": skips white space, then reads up to 255 non-white characters
  // into `token` (256 bytes, which the caller has cleared). False at the end.
  bool readToken(char* token);

  // "%f%f%f": up to three numbers, stopping at the first that cannot be read;
  // returns how many were read. An unread number leaves its slot alone.
  int readFloats(float* a, float* b, float* c);

  // "%i/%i/%i": up to three integers joined by slashes, stopping at the first
  // integer or slash that cannot be read; returns how many were read. Values
  // are those strtol gives (clamped to the range of a long), not cut to int.
  int readIndexTriple(long* i, long* j, long* k);

 private:
  bool readFloat(float* out);
  bool readInteger(long* out);
  bool readLiteral(char c);
  void skipSpace();
  int next() { return p_ == end_ ? -1 : static_cast<unsigned char>(*p_++); }
  void unread(int c) {
    if (c >= 0) --p_;
  }

  const char* p_;
  const char* end_;
};
