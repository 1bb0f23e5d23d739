#pragma once
// The bundle's pictures, one drawing function per file. Each returns the
// image exactly as it is stored (full-screen pictures already mapped).
#include <string>
#include <vector>

#include "picture_image.h"

namespace assetgen {

// Full-screen pictures (pictures_screens.cpp), designed as the landscape view.
Image draw_background_scene1();
Image draw_logo();
Image draw_korvane_final();
Image draw_loading();
Image draw_murelbg();

// Text pages (pictures_text.cpp).
inline constexpr int kGreetsWidth = 256, kGreetsHeight = 512, kGreetsStrips = 10;
inline constexpr int kCreditsSide = 512, kCreditsStrips = 5, kCreditsPages = 3;
// What each strip of the greetings reads, top strip first.
const std::vector<std::string>& greetings_lines();
Image draw_greets();
Image draw_credits();

// Textures for meshes and sprites (pictures_textures.cpp; the splat is in metaballs.cpp).
Image draw_small_black();
Image draw_bubble();
Image draw_mureltextur();
Image draw_cube_texture();
Image draw_treetrunk_texture();
Image draw_grass();
Image draw_grass_light();

struct PictureFile {
  const char* name;
  Image (*draw)();
};
// Every picture of the bundle, in the order the show loads them.
const std::vector<PictureFile>& picture_files();

}  // namespace assetgen
