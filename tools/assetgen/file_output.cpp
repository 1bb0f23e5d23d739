#include "file_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace assetgen {

void write_file_atomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::filesystem::path tmp = path;
  tmp += ".part";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) throw OutputError(path.string() + ": cannot create: " + std::strerror(errno));
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    std::remove(tmp.c_str());
    throw OutputError(path.string() + ": write failed");
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::remove(tmp.c_str());
    throw OutputError(path.string() + ": cannot rename into place: " + ec.message());
  }
}

void write_file_atomically(const std::filesystem::path& path, const std::string& text) {
  write_file_atomically(
      path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace assetgen
