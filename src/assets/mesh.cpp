#include "assets/mesh.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assets/load_failure.h"
#include "assets/text_scanner.h"
#include "platform/bundle.h"
#include "platform/gl.h"
#include "platform/log.h"
#include "process/files.h"

namespace {

constexpr size_t kVertexBytes = kMeshVertexFloats * sizeof(float);

// No model of ours comes near this; a file that asks for more is not a mesh
// worth gigabytes of memory.
constexpr int kMaxVertices = 1 << 24;

// A block of 9-float vertex records that grows geometrically; records it adds
// are zero, so an attribute the file never supplies reads as zero.
class Records {
 public:
  Records() = default;
  ~Records() { std::free(data_); }
  Records(const Records&) = delete;
  Records& operator=(const Records&) = delete;

  float* record(int i) { return data_ + static_cast<size_t>(i) * kMeshVertexFloats; }
  int size() const { return size_; }
  // Makes room for `count` records in all; false when that is beyond reason.
  // Records are cleared as they come into use.
  bool resize(int count) {
    if (count > kMaxVertices) return false;
    if (count > capacity_) {
      const int grown = std::max(count, capacity_ < 1024 ? 1024 : capacity_ * 2);
      auto* data = static_cast<float*>(std::realloc(data_, static_cast<size_t>(grown) * kVertexBytes));
      if (!data) fail_out_of_memory();
      data_ = data;
      capacity_ = grown;
    }
    if (count > size_) {
      std::memset(record(size_), 0, static_cast<size_t>(count - size_) * kVertexBytes);
      size_ = count;
    }
    return true;
  }
  // Hands the block over, trimmed to its size (at least one record).
  float* release() {
    auto* data = static_cast<float*>(std::realloc(data_, static_cast<size_t>(std::max(size_, 1)) * kVertexBytes));
    if (!data) data = data_;
    data_ = nullptr;
    size_ = capacity_ = 0;
    return data;
  }

 private:
  float* data_ = nullptr;
  int size_ = 0;
  int capacity_ = 0;
};

// An index from the file counts from 1; out of range (checked before any
// arithmetic, so no value can overflow) leaves that attribute unwritten.
bool in_range(long index, int count) { return index >= 1 && index <= count; }

}  // namespace

Mesh::Mesh() { workVertices = nullptr; }

// The show's own meshes live as long as the process; a mesh that is destroyed
// or loaded again gives its arrays back.
Mesh::~Mesh() {
  std::free(vertices);
  std::free(workVertices);
}

Mesh::Mesh(Mesh&& other) noexcept
    : vertexCount(other.vertexCount),
      vertices(other.vertices),
      workVertexCount(other.workVertexCount),
      workVertices(other.workVertices) {
  other.vertexCount = other.workVertexCount = 0;
  other.vertices = other.workVertices = nullptr;
}

Mesh& Mesh::operator=(Mesh&& other) noexcept {
  if (this != &other) {
    std::free(vertices);
    std::free(workVertices);
    vertexCount = other.vertexCount;
    vertices = other.vertices;
    workVertexCount = other.workVertexCount;
    workVertices = other.workVertices;
    other.vertexCount = other.workVertexCount = 0;
    other.vertices = other.workVertices = nullptr;
  }
  return *this;
}

void Mesh::Load(std::string filename) {
  const std::string path = platform::bundlePath() + "/" + filename;
  if (std::FILE* log = platform::loadLog()) std::fputs(filename.c_str(), log);
  platform::FileContents text;
  if (!platform::read_regular_file(path, &text, nullptr)) fail_unable_to_load(filename);
  if (!Parse(text.data.get(), text.size)) fail_unable_to_load(filename);
}

bool Mesh::Parse(const char* text, size_t size) {
  std::free(vertices);
  vertices = nullptr;
  vertexCount = 0;
  // Positions, texture coordinates and normals share one table of 9-float
  // records: positions are appended, texture coordinates and normals fill
  // records in their own order. This is why every position must come first.
  Records table;
  Records triangles;
  int texcoordsRead = 0;
  int normalsRead = 0;

  TextScanner in(text, size);
  char token[256];
  for (;;) {
    // Only a token's first five characters are ever compared.
    std::memset(token, 0, 8);
    // A longer word is read in pieces of at most 255 characters, each one a token.
    if (!in.readToken(token)) break;

    if (std::strncmp(token, "vt", 2) == 0) {
      if (texcoordsRead >= table.size() && !table.resize(table.size() + 1)) return false;
      float* r = table.record(texcoordsRead);
      in.readFloats(&r[6], &r[7], &r[8]);
      ++texcoordsRead;
    } else if (std::strncmp(token, "vn", 2) == 0) {
      if (normalsRead >= table.size() && !table.resize(table.size() + 1)) return false;
      float* r = table.record(normalsRead);
      in.readFloats(&r[3], &r[4], &r[5]);
      ++normalsRead;
    } else if (token[0] == 'v' && std::strncmp(token, "ve", 2) != 0) {
      if (!table.resize(table.size() + 1)) return false;
      float* r = table.record(table.size() - 1);
      in.readFloats(&r[0], &r[1], &r[2]);
    } else if (token[0] == 'f' && std::strncmp(token, "faces", 5) != 0) {
      const int first = triangles.size();
      if (!triangles.resize(first + 3)) return false;
      for (int corner = 0; corner < 3; ++corner) {
        float* v = triangles.record(first + corner);
        long i = 0;
        long j = 0;
        long k = 0;
        in.readIndexTriple(&i, &j, &k);
        if (in_range(i, table.size())) {
          const float* r = table.record(static_cast<int>(i - 1));
          v[0] = r[2];
          v[1] = r[1];
          v[2] = -r[0];
        }
        if (in_range(j, texcoordsRead)) {
          const float* r = table.record(static_cast<int>(j - 1));
          v[6] = r[6];
          v[7] = r[7];
          v[8] = r[8];
        }
        if (in_range(k, normalsRead)) {
          const float* r = table.record(static_cast<int>(k - 1));
          v[3] = r[5];
          v[4] = r[4];
          v[5] = -r[3];
        }
      }
    }
  }
  vertexCount = triangles.size();
  vertices = triangles.release();
  return true;
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
  // Created on the first call; made again only if a new load changed the size.
  if (!workVertices || workVertexCount != vertexCount) {
    std::free(workVertices);
    const size_t bytes = static_cast<size_t>(vertexCount > 0 ? vertexCount : 1) * kVertexBytes;
    workVertices = static_cast<float*>(std::malloc(bytes));
    if (!workVertices) fail_out_of_memory();
    workVertexCount = vertexCount;
  }
  if (vertexCount > 0) std::memcpy(workVertices, vertices, static_cast<size_t>(vertexCount) * kVertexBytes);
}
