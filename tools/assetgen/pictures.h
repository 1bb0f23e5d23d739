#pragma once
#include <filesystem>

namespace assetgen {

// The largest scale the pictures are drawn at, and the largest side any
// picture may have (what the show's loader and every GL we run on accept).
inline constexpr int kMaxPictureScale = 8;
inline constexpr int kMaxPictureSide = 4096;

// Draws the show's 15 images and writes them as PNG files into outdir. At a
// scale above 1 it writes the high-resolution set: every picture that gains
// from it drawn at scale times its size, and none of the others (the show
// takes those from the 1x bundle).
void write_pictures(const std::filesystem::path& outdir, int scale = 1);

// Lays every image of outdir out as the viewer will see it, on one PNG.
void write_contact_sheet(const std::filesystem::path& outdir, const std::filesystem::path& sheet);

}  // namespace assetgen
