#pragma once
// The bundle's pictures, one drawing function per file. Each returns the
// image exactly as it is stored (full-screen pictures already mapped). Those
// that take a scale draw the picture at that many times its size, with the
// same layout: texture coordinates are fractions of the picture, so the show
// addresses a larger picture exactly as it does the 1x one.
#include <string>
#include <vector>

#include "picture_image.h"

namespace assetgen {

// Full-screen pictures (pictures_screens.cpp), designed as the landscape view.
Image draw_background_scene1(int scale = 1);
Image draw_logo(int scale = 1);
Image draw_korvane_final(int scale = 1);
Image draw_loading(int scale = 1);
Image draw_murelbg(int scale = 1);

// Text pages (pictures_text.cpp).
inline constexpr int kGreetsWidth = 256, kGreetsHeight = 512, kGreetsStrips = 10;
inline constexpr int kCreditsSide = 512, kCreditsStrips = 5, kCreditsPages = 3;
// What each strip of the greetings reads, top strip first.
const std::vector<std::string>& greetings_lines();
Image draw_greets(int scale = 1);
Image draw_credits(int scale = 1);

// Textures for meshes and sprites (pictures_textures.cpp; the splat is in metaballs.cpp).
Image draw_small_black();
Image draw_bubble();
Image draw_mureltextur(int scale = 1);
Image draw_cube_texture(int scale = 1);
Image draw_treetrunk_texture(int scale = 1);
Image draw_grass(int scale = 1);
Image draw_grass_light(int scale = 1);

struct PictureFile {
  const char* name;
  Image (*draw)(int scale);
  // False for a picture that stays at its 1x size: the high-resolution sets
  // leave it out, and the show uses the 1x file in their place.
  bool drawn_at_scale;
};
// Every picture of the bundle, in the order the show loads them.
const std::vector<PictureFile>& picture_files();

}  // namespace assetgen
