#pragma once
#include <filesystem>

namespace assetgen {

// Renders the soundtrack and writes it as "music.mp3" into outdir.
void write_music(const std::filesystem::path& outdir);

}  // namespace assetgen
