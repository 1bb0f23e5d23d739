// Every input that ever found a fault in the loaders, replayed through the
// fuzz targets' own checks (which for meshes compare the loader with the C
// library's formatted input, bit for bit), together with the generated
// bundle's own files.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int fuzz_mesh_one(const std::uint8_t* data, std::size_t size);
extern "C" int fuzz_png_one(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

int replay(const std::vector<fs::path>& dirs, const std::string& extension,
           int (*one)(const std::uint8_t*, std::size_t)) {
  int count = 0;
  for (const fs::path& dir : dirs) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (!entry.is_regular_file() || (!extension.empty() && entry.path().extension() != extension)) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      one(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++count;
    }
  }
  return count;
}

TEST(FuzzRegressions, MeshInputsLoadAsTheCLibraryReadsThem) {
  EXPECT_GT(replay({fs::path(VELMORA_FUZZ_DIR) / "regressions" / "mesh"}, "", fuzz_mesh_one), 0);
  EXPECT_EQ(replay({VELMORA_BUNDLE_DIR}, ".obj", fuzz_mesh_one), 13);
}

TEST(FuzzRegressions, PictureInputsDecodeOrFailCleanly) {
  EXPECT_GT(replay({fs::path(VELMORA_FUZZ_DIR) / "regressions" / "png"}, "", fuzz_png_one), 0);
  EXPECT_GE(replay({VELMORA_BUNDLE_DIR}, ".png", fuzz_png_one), 15);
}

}  // namespace
