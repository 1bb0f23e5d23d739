// Writes a small fixture bundle into the directory given: for manual runs and
// the command-line tests.
#include <cstdio>
#include <exception>

#include "support/fixture_bundle.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-fixture-bundle DIR\n");
    return 2;
  }
  try {
    fixture::write_bundle(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make-fixture-bundle: %s\n", e.what());
    return 1;
  }
  return 0;
}
