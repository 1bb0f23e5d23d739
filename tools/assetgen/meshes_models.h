#pragma once
// The show's models, built in code. Coordinates are where the show sees them
// after loading (the writer takes care of the loader's quarter turn).
#include <string>
#include <vector>

#include "mesh_kit.h"

namespace assetgen::mesh {

struct NamedMesh {
  std::string file;     // name in the bundle, e.g. "drill_body.obj"
  std::string comment;  // one header line; no word may read as a record
  MeshBuilder mesh;
};

// The drill rig, in rig coordinates: x to the right, y up, z towards the
// viewer; the ground is at y = kRigGround. Moving parts are modelled in their
// rest pose around their pivots; the wheels around their own origins.
inline constexpr double kRigGround = -46.0;
std::vector<NamedMesh> build_rig();

// The swimming creature: body along x from -100 (tail) to +100 (head).
MeshBuilder build_murel();

// Scene 4: the glowing cube, the trunk beside it and the grass below, placed
// as cube_scene_layout.h says.
MeshBuilder build_cube();
MeshBuilder build_trunk();
MeshBuilder build_grass();

// Every mesh of the bundle, in the order the show loads them.
std::vector<NamedMesh> build_all_meshes();

}  // namespace assetgen::mesh
