// Every input that ever found a fault in the loaders, replayed through the
// fuzz targets' own checks (which for meshes compare the loader with the C
// library's formatted input, bit for bit), together with the generated
// bundle's own files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/fixture_bundle.h"

extern "C" int fuzz_mesh_one(const std::uint8_t* data, std::size_t size);
extern "C" int fuzz_png_one(const std::uint8_t* data, std::size_t size);
extern "C" int fuzz_sound_one(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

int replay(const std::vector<fs::path>& dirs, const std::string& extension,
           int (*one)(const std::uint8_t*, std::size_t)) {
  int count = 0;
  for (const fs::path& dir : dirs) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (!entry.is_regular_file() || (!extension.empty() && entry.path().extension() != extension)) continue;
      const std::string bytes = fixture::read_file(entry.path());
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

// The loader's rules on small cases, each read as the C library reads it: the
// quarter turn of positions and normals, a file without faces, comment words
// that are safe ("vertices", "version", "faces") and those read as records
// ("view" a position, "from" a face), a four-corner face (its first triangle),
// zero and out-of-range indices, an unreadable number, and positions after
// texture coordinates, which land in later records.
TEST(FuzzRegressions, TheLoadersRulesOnSmallCases) {
  for (const char* text :
       {"v 1 2 3\nv 4 5 6\nv 7 8 9\nvt .1 .2 .3\nvt .4 .5 .6\nvt .7 .8 .9\nvn 1 0 0\nvn 0 1 0\nvn 0 0 1\n"
        "f 1/1/1 2/2/2 3/3/3\n",
        "v 1 2 3\nvt 0 0 0\n",
        "# 3 vertices version 2, faces: 1 vertex list\nv 1 0 0\nv 0 1 0\nv 0 0 1\nvt 0 0 0\nvn 0 1 0\nf 1/1/1 2/1/1 3/1/1\n",
        "v 1 0 0\nv 0 1 0\n# a view 2 2 2\nv 0 0 1\nvt 0 0 0\nvn 0 1 0\nf 1/1/1 2/1/1 3/1/1\n",
        "v 1 0 0\nv 0 1 0\nv 0 0 1\nvt 0 0 0\nvn 0 1 0\n# made from 1/1/1 1/1/1 1/1/1\n",
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1 4/1/1\n",
        "v 1 2 3\nvt .5 .5 .5\nvn 1 0 0\nf 0/1/1 1/0/1 1/1/9\n", "v 1 x 3\nvt 0 0 0\nvn 0 1 0\nf 1/1/1 1/1/1 1/1/1\n",
        "vt 0 0 0\nvt 1 1 1\nv 5 6 7\nv 8 9 10\nvn 0 1 0\nf 1/1/1 3/1/1 4/1/1\n"}) {
    SCOPED_TRACE(text);
    fuzz_mesh_one(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
  }
}

TEST(FuzzRegressions, PictureInputsDecodeOrFailCleanly) {
  EXPECT_GT(replay({fs::path(VELMORA_FUZZ_DIR) / "regressions" / "png"}, "", fuzz_png_one), 0);
  EXPECT_GE(replay({VELMORA_BUNDLE_DIR}, ".png", fuzz_png_one), 15);
}

// Soundtracks that lie about their length, change shape part-way, name
// other files or the network, or are another format under the MP3's name.
TEST(FuzzRegressions, SoundInputsDecodeBoundedOrFailWithAReason) {
  EXPECT_GT(replay({fs::path(VELMORA_FUZZ_DIR) / "regressions" / "sound"}, "", fuzz_sound_one), 0);
  EXPECT_EQ(replay({VELMORA_BUNDLE_DIR}, ".mp3", fuzz_sound_one), 1);
}

}  // namespace
