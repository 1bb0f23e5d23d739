#pragma once
// The blob picture of the metaball scene, and a model of what that scene
// makes of it, used to check the picture against the scene's threshold and
// to show the effect on the contact sheet.
//
// The scene adds up to four copies of the blob (a 200-unit quad at distance
// 50, the whole texture on it) into a 128 x 128 image, then classes every
// pixel by its red and green: red below the threshold (160) is the teal
// field, red equal to green is black, anything else white. The blob is built
// so that the summed field has three levels: below 160 red it is teal; where
// red and green have both saturated (the summed field reached 255) it is
// black; in between, where green runs ahead of red, it is white. Overlapping
// blobs therefore merge into black bodies with a white outline on teal.
#include <vector>

#include "picture_image.h"

namespace assetgen {

inline constexpr int kSplatSide = 256;
inline constexpr int kMetaSide = 128;  // the scene's read-back image

Image draw_splat();

// Red of a lone blob at `units` from its centre (quad units, 100 = the quad's half side).
int splat_red(double units);

struct BlobCentre {
  double x, y;  // eye units at the blob distance; the view spans +-50 by +-75
};
// The blobs the scene draws at scene time t, with its own numeric forms.
std::vector<BlobCentre> metaball_centres(float t);
// The scene's red threshold at scene time t.
int metaball_threshold(float t);

enum class MetaClass : std::uint8_t { Teal, Black, White };
struct MetaFrame {
  std::vector<BlobCentre> blobs;
  std::vector<std::uint8_t> red, green;  // the summed image, rows from the bottom up
  std::vector<MetaClass> classes;        // after the threshold
  MetaClass at(int x, int y) const { return classes[static_cast<std::size_t>(y) * kMetaSide + x]; }
};
// The 128 x 128 image the scene makes at scene time t from the given splat
// (sampled trilinearly as the scene's mipmapped texture is), and its classes.
MetaFrame metaball_frame(const Image& splat, float t);
// The 128 x 128 pixel that blob centre (x, y) falls in.
void metaball_pixel(const BlobCentre& c, int& px, int& py);
// The landscape 480 x 320 view of a frame, stretched with linear filtering as the scene does.
Image metaball_view(const MetaFrame& frame);

}  // namespace assetgen
