#pragma once
#include <filesystem>

namespace assetgen {

// Draws the show's 15 images and writes them as PNG files into outdir.
void write_pictures(const std::filesystem::path& outdir);

// Lays every image of outdir out as the viewer will see it, on one PNG.
void write_contact_sheet(const std::filesystem::path& outdir, const std::filesystem::path& sheet);

}  // namespace assetgen
