#include "assets/load_failure.h"

#include <cstdio>
#include <cstdlib>

void fail_unable_to_load(const std::string& filename) {
  std::fflush(stdout);
  std::fprintf(stderr, "Unable to load: %s\n", filename.c_str());
  std::exit(-1);
}

void fail_out_of_memory() {
  std::fflush(stdout);
  std::fputs("Out of memory\n", stderr);
  std::exit(-1);
}
