#include "assets/mesh.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assets/load_failure.h"
#include "platform/bundle.h"
#include "platform/gl.h"

namespace {

constexpr size_t kVertexBytes = kMeshVertexFloats * sizeof(float);

// Grows a block of `from` vertex records to `to`, the new ones zero: an
// attribute the file never supplies reads as zero.
float* grow(float* block, int from, int to) {
  const size_t old_bytes = static_cast<size_t>(from) * kVertexBytes;
  const size_t new_bytes = static_cast<size_t>(to) * kVertexBytes;
  auto* grown = static_cast<float*>(std::realloc(block, new_bytes));
  if (!grown) fail_out_of_memory();
  std::memset(reinterpret_cast<char*>(grown) + old_bytes, 0, new_bytes - old_bytes);
  return grown;
}

}  // namespace

Mesh::Mesh() { workVertices = nullptr; }

Mesh::~Mesh() {}

void Mesh::Load(std::string filename) {
  vertexCount = 0;
  vertices = grow(nullptr, 0, 1);
  int allocated = 1;

  // Positions, texture coordinates and normals share one table of 9-float
  // records: positions are appended, texture coordinates and normals fill
  // records in their own order. This is why every position must come first.
  float* table = grow(nullptr, 0, 1);
  int records = 0;
  int capacity = 1;
  int texcoordsRead = 0;
  int normalsRead = 0;
  auto add_record = [&] {
    if (records == capacity) {
      table = grow(table, capacity, capacity + 1);
      ++capacity;
    }
    ++records;
  };

  const std::string path = platform::bundlePath() + "/" + filename;
  std::fputs(filename.c_str(), stdout);
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file) fail_unable_to_load(filename);

  char token[256];
  while (!std::feof(file)) {
    std::memset(token, 0, sizeof token);
    // A longer word is read in pieces of at most 255 characters, each one a token.
    if (std::fscanf(file, "%255s", token) != 1) break;

    if (std::strncmp(token, "vt", 2) == 0) {
      if (texcoordsRead >= records) add_record();
      float* r = table + texcoordsRead * kMeshVertexFloats;
      std::fscanf(file, "%f%f%f", &r[6], &r[7], &r[8]);
      ++texcoordsRead;
    } else if (std::strncmp(token, "vn", 2) == 0) {
      if (normalsRead >= records) add_record();
      float* r = table + normalsRead * kMeshVertexFloats;
      std::fscanf(file, "%f%f%f", &r[3], &r[4], &r[5]);
      ++normalsRead;
    } else if (token[0] == 'v' && std::strncmp(token, "ve", 2) != 0) {
      add_record();
      float* r = table + (records - 1) * kMeshVertexFloats;
      std::fscanf(file, "%f%f%f", &r[0], &r[1], &r[2]);
    } else if (token[0] == 'f' && std::strncmp(token, "faces", 5) != 0) {
      vertexCount += 3;
      if (vertexCount > allocated) {
        vertices = grow(vertices, allocated, vertexCount);
        allocated = vertexCount;
      }
      for (int corner = 0; corner < 3; ++corner) {
        float* v = vertices + (vertexCount - 3 + corner) * kMeshVertexFloats;
        int i = 0;
        int j = 0;
        int k = 0;
        std::fscanf(file, "%i/%i/%i", &i, &j, &k);
        const int p = i - 1;
        const int t = j - 1;
        const int n = k - 1;
        if (p >= 0 && p < records) {
          const float* r = table + p * kMeshVertexFloats;
          v[0] = r[2];
          v[1] = r[1];
          v[2] = -r[0];
        }
        if (t >= 0 && t < texcoordsRead) {
          const float* r = table + t * kMeshVertexFloats;
          v[6] = r[6];
          v[7] = r[7];
          v[8] = r[8];
        }
        if (n >= 0 && n < normalsRead) {
          const float* r = table + n * kMeshVertexFloats;
          v[3] = r[5];
          v[4] = r[4];
          v[5] = -r[3];
        }
      }
    }
  }
  std::fclose(file);
  std::free(table);
}

void Mesh::Draw() {
  const float* p = workVertices ? workVertices : vertices;
  const int n = workVertices ? workVertexCount : vertexCount;
  constexpr GLsizei stride = static_cast<GLsizei>(kVertexBytes);
  glVertexPointer(3, GL_FLOAT, stride, p);
  glEnableClientState(GL_VERTEX_ARRAY);
  glTexCoordPointer(3, GL_FLOAT, stride, p + kMeshTexCoordOffset);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glNormalPointer(GL_FLOAT, stride, p + kMeshNormalOffset);
  glEnableClientState(GL_NORMAL_ARRAY);
  glDrawArrays(GL_TRIANGLES, 0, n);
}

void Mesh::Restore() {
  if (!workVertices) {
    workVertices = grow(nullptr, 0, vertexCount > 0 ? vertexCount : 1);
    workVertexCount = vertexCount;
  }
  std::memcpy(workVertices, vertices, static_cast<size_t>(vertexCount) * kVertexBytes);
}
