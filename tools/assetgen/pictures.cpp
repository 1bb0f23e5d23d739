#include "pictures.h"

#include "icons.h"
#include "metaballs.h"
#include "pictures_internal.h"

namespace assetgen {

const std::vector<PictureFile>& picture_files() {
  static const std::vector<PictureFile> files = {
      {"background_scene1.png", draw_background_scene1},
      {"logo.png", draw_logo},
      {"small_black.png", draw_small_black},
      {"bubble.png", draw_bubble},
      {"splat.png", draw_splat},
      {"mureltextur.png", draw_mureltextur},
      {"murelbg.png", draw_murelbg},
      {"greets.png", draw_greets},
      {"treetrunk_cube_textur.png", draw_cube_texture},
      {"treetrunk_textur.png", draw_treetrunk_texture},
      {"grass.png", draw_grass},
      {"grass1.png", draw_grass_light},
      {"credits.png", draw_credits},
      {"korvane_final.png", draw_korvane_final},
      {"loading.png", draw_loading},
  };
  return files;
}

void write_pictures(const std::filesystem::path& outdir) {
  for (const PictureFile& f : picture_files()) write_png(outdir / f.name, f.draw());
  // Not the show's: the window's icon, beside the pictures it was drawn from.
  write_png(outdir / "icon.png", draw_icon(64));
}

}  // namespace assetgen
