// What the PNG reader does alike in every flavour: where the bytes come from.
#include "platform/png.h"

#include <cerrno>
#include <cstring>

#include "process/files.h"

namespace platform {

PngReader::~PngReader() { close(); }

void PngReader::close() {
  decoder_.reset();
  if (source_.file) std::fclose(source_.file);
  source_ = Source{};
}

bool PngReader::open(const std::string& path) {
  close();
  const int fd = open_regular_file(path, &error_);
  if (fd < 0) return false;
  source_.file = fdopen(fd, "rb");
  if (!source_.file) {
    error_ = std::strerror(errno);
    return false;
  }
  return start();
}

bool PngReader::open(std::span<const std::uint8_t> bytes) {
  close();
  source_.memory = bytes;
  return start();
}

}  // namespace platform
