#include "file_output.h"

#include "process/files.h"

namespace assetgen {

void write_file_atomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::string error;
  if (!platform::write_file(path.string(), bytes, &error)) throw OutputError(error);
}

void write_file_atomically(const std::filesystem::path& path, const std::string& text) {
  write_file_atomically(
      path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace assetgen
