#pragma once
// A rigid model held as a flat triangle list in one interleaved array of nine
// floats a vertex: position, normal (not renormalised), three-component
// texture coordinate. A working copy lets a scene deform the mesh every frame
// without losing the loaded shape.
#include <cstddef>
#include <string>

class Mesh {
 public:
  Mesh();
  ~Mesh();
  // A mesh owns its arrays: it can be moved, not copied.
  Mesh(Mesh&& other) noexcept;
  Mesh& operator=(Mesh&& other) noexcept;
  Mesh(const Mesh&) = delete;
  Mesh& operator=(const Mesh&) = delete;

  // Reads the named file from the bundle directory. The file name goes to
  // standard output with no line break, so the next log line continues it.
  // A file that is missing or not a regular file ends the process with
  // "Unable to load: NAME" and status -1.
  void Load(std::string filename);
  // Draws the working copy if there is one, else the loaded vertices. Leaves
  // the vertex, normal and texture-coordinate arrays enabled.
  void Draw();
  // Makes the working copy equal to the loaded vertices (creating it first).
  void Restore();

  // The loading proper, on the text of a mesh file: fills vertexCount and
  // vertices. False when the file asks for more vertices than any model may
  // have.
  bool Parse(const char* text, size_t size);

  int vertexCount = 0;
  float* vertices = nullptr;
  int workVertexCount = 0;
  float* workVertices = nullptr;
};

// Floats per vertex and their offsets.
constexpr int kMeshVertexFloats = 9;
constexpr int kMeshNormalOffset = 3;
constexpr int kMeshTexCoordOffset = 6;
