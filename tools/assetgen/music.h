#pragma once
#include <filesystem>
#include <vector>

namespace assetgen {

// Renders the soundtrack and writes it as "music.mp3" into outdir.
void write_music(const std::filesystem::path& outdir);

namespace music {

struct Soundtrack {
  std::vector<float> left, right;  // 44.1 kHz, full scale 1.0
};

// The finished, mastered track before encoding: 190 s of stereo at about
// -14 LUFS with its peaks held below -1 dBFS.
Soundtrack render_soundtrack();

}  // namespace music
}  // namespace assetgen
