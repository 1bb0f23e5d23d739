#pragma once
#include <filesystem>

namespace assetgen {

// Builds the show's 13 meshes and writes them in the show's mesh format into outdir.
void write_meshes(const std::filesystem::path& outdir);

}  // namespace assetgen
