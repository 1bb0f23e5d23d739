// libFuzzer target: the mesh loader on arbitrary text. Besides surviving any
// input, the loader must read exactly what the C library's formatted input
// reads: a reference loader built on fscanf over the same bytes gives the
// vertices to compare against, bit for bit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/mesh.h"

namespace {

// The mesh format's reading rules, written the straightforward way.
std::vector<float> reference_load(const std::uint8_t* data, std::size_t size) {
  std::vector<float> table;
  std::vector<float> out;
  int records = 0;
  int texcoords = 0;
  int normals = 0;
  auto record = [&](int i) { return &table[static_cast<std::size_t>(i) * 9]; };
  auto add_record = [&] {
    table.resize(table.size() + 9, 0.0f);
    ++records;
  };
  std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  if (!f) return out;
  char token[256];
  while (!std::feof(f)) {
    std::memset(token, 0, sizeof token);
    if (std::fscanf(f, "%255s", token) != 1) break;
    if (std::strncmp(token, "vt", 2) == 0) {
      if (texcoords >= records) add_record();
      float* r = record(texcoords++);
      std::fscanf(f, "%f%f%f", &r[6], &r[7], &r[8]);
    } else if (std::strncmp(token, "vn", 2) == 0) {
      if (normals >= records) add_record();
      float* r = record(normals++);
      std::fscanf(f, "%f%f%f", &r[3], &r[4], &r[5]);
    } else if (token[0] == 'v' && std::strncmp(token, "ve", 2) != 0) {
      add_record();
      float* r = record(records - 1);
      std::fscanf(f, "%f%f%f", &r[0], &r[1], &r[2]);
    } else if (token[0] == 'f' && std::strncmp(token, "faces", 5) != 0) {
      for (int corner = 0; corner < 3; ++corner) {
        float v[9] = {};
        long i = 0, j = 0, k = 0;
        std::fscanf(f, "%li/%li/%li", &i, &j, &k);
        if (i >= 1 && i <= records) {
          const float* r = record(static_cast<int>(i - 1));
          v[0] = r[2], v[1] = r[1], v[2] = -r[0];
        }
        if (j >= 1 && j <= texcoords) {
          const float* r = record(static_cast<int>(j - 1));
          v[6] = r[6], v[7] = r[7], v[8] = r[8];
        }
        if (k >= 1 && k <= normals) {
          const float* r = record(static_cast<int>(k - 1));
          v[3] = r[5], v[4] = r[4], v[5] = -r[3];
        }
        out.insert(out.end(), v, v + 9);
      }
    }
  }
  std::fclose(f);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Mesh mesh;
  if (!mesh.Parse(reinterpret_cast<const char*>(data), size)) return 0;  // over the size limit
  const std::vector<float> expected = reference_load(data, size);
  const std::size_t floats = static_cast<std::size_t>(mesh.vertexCount) * kMeshVertexFloats;
  if (expected.size() != floats ||
      (floats > 0 && std::memcmp(expected.data(), mesh.vertices, floats * sizeof(float)) != 0)) {
    std::fprintf(stderr, "mesh loader and reference disagree (%zu against %zu floats)\n", floats, expected.size());
    std::abort();
  }
  return 0;
}
