#include "pictures.h"

#include <string>

#include "file_output.h"
#include "icons.h"
#include "metaballs.h"
#include "pictures_internal.h"

namespace assetgen {

namespace {

template <Image (*Draw)()>
Image at_1x(int) {
  return Draw();
}

bool is_power_of_two(int v) { return v > 0 && (v & (v - 1)) == 0; }

}  // namespace

const std::vector<PictureFile>& picture_files() {
  // Three pictures stay at 1x in every set:
  // - the rig's black: one flat colour, the same at any size;
  // - the bubble: loaded, never drawn;
  // - the blob: the metaball scene adds it up into its own 128 x 128 image,
  //   whatever the screen's size, and classes every pixel of the sum by exact
  //   levels of red and green. A finer blob is minified through more mipmap
  //   levels, each rounding on its own, so other pixels would cross the
  //   threshold and the bodies and their rims would change shape.
  static const std::vector<PictureFile> files = {
      {"background_scene1.png", draw_background_scene1, true},
      {"logo.png", draw_logo, true},
      {"small_black.png", at_1x<draw_small_black>, false},
      {"bubble.png", at_1x<draw_bubble>, false},
      {"splat.png", at_1x<draw_splat>, false},
      {"mureltextur.png", draw_mureltextur, true},
      {"murelbg.png", draw_murelbg, true},
      {"greets.png", draw_greets, true},
      {"treetrunk_cube_textur.png", draw_cube_texture, true},
      {"treetrunk_textur.png", draw_treetrunk_texture, true},
      {"grass.png", draw_grass, true},
      {"grass1.png", draw_grass_light, true},
      {"credits.png", draw_credits, true},
      {"korvane_final.png", draw_korvane_final, true},
      {"loading.png", draw_loading, true},
  };
  return files;
}

void write_pictures(const std::filesystem::path& outdir, int scale) {
  if (scale < 1 || scale > kMaxPictureScale)
    throw OutputError("pictures are drawn at 1 to " + std::to_string(kMaxPictureScale) + " times their size");
  for (const PictureFile& f : picture_files()) {
    if (scale > 1 && !f.drawn_at_scale) continue;
    const Image image = f.draw(scale);
    if (!is_power_of_two(image.width) || !is_power_of_two(image.height) || image.width > kMaxPictureSide ||
        image.height > kMaxPictureSide)
      throw OutputError(std::string(f.name) + ": " + std::to_string(image.width) + " x " +
                        std::to_string(image.height) + " is not a power of two a side up to " +
                        std::to_string(kMaxPictureSide));
    write_png(outdir / f.name, image);
  }
  // Not the show's: the window's icon, beside the pictures it was drawn from
  // (the 1x bundle's only).
  if (scale == 1) write_png(outdir / "icon.png", draw_icon(64));
}

}  // namespace assetgen
