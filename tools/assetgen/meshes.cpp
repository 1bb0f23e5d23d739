#include "meshes.h"

#include "file_output.h"
#include "meshes_models.h"

namespace assetgen {

namespace mesh {

std::vector<NamedMesh> build_all_meshes() {
  std::vector<NamedMesh> all = build_rig();
  all.push_back({"murel.obj", "velmora creature: eel with crest and tail", build_murel()});
  all.push_back({"treetrunk_cube.obj", "velmora glowing cube", build_cube()});
  all.push_back({"treetrunk.obj", "velmora tree trunk", build_trunk()});
  all.push_back({"grass.obj", "velmora ground disc and grass tufts", build_grass()});
  return all;
}

}  // namespace mesh

void write_meshes(const std::filesystem::path& outdir) {
  for (const mesh::NamedMesh& nm : mesh::build_all_meshes()) {
    const std::string comment = nm.comment + ", " + std::to_string(nm.mesh.triangle_count()) + " triangles";
    write_file_atomically(outdir / nm.file, nm.mesh.to_obj(comment));
  }
}

}  // namespace assetgen
