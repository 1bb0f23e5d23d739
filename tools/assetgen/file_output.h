#pragma once
// Writing generated files so that a failed or interrupted run never leaves a
// half-written asset behind (see process/files.h).
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

namespace assetgen {

// Thrown for any failure to produce an output file; the message names the file.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void write_file_atomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void write_file_atomically(const std::filesystem::path& path, const std::string& text);

}  // namespace assetgen
