#include "meshes.h"

namespace assetgen {

void write_meshes(const std::filesystem::path&) {}

}  // namespace assetgen
