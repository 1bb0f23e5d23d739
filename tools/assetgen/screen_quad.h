#pragma once
// A model of how the show puts a textured quad on the screen, used to lay the
// pictures out on the contact sheet exactly as the viewer sees them: a quad
// of four points in triangle-strip order with its texture coordinates, as it
// lands in normalised device coordinates, sampled per landscape pixel.
#include <array>
#include <optional>

#include "picture_image.h"

namespace assetgen {

struct ScreenQuad {
  std::array<std::array<double, 2>, 4> ndc;  // x, y in -1..1, portrait screen
  std::array<std::array<double, 2>, 4> st;   // texture coordinates, t = 0 the file's top row
};

// A quad of eye-space points at one depth, first turned by `degrees` about
// the view axis (as glRotatef about (0, 0, 1) before drawing), then projected
// through the show's frustum (left -1, right 1, bottom -1.5, top 1.5, near 1).
ScreenQuad frustum_quad(const std::array<std::array<double, 3>, 4>& eye,
                        const std::array<std::array<double, 2>, 4>& st, double degrees = 0);

// The texture coordinate the quad gives the centre of landscape pixel (x, y)
// of the 480 x 320 view, if the quad covers it.
std::optional<std::array<double, 2>> quad_texcoord(const ScreenQuad& quad, int x, int y);

// Bilinear sample with repeat, 0..255 per channel, straight RGBA.
std::array<double, 4> sample_bilinear(const Image& image, double s, double t);

// The show's shared tables.
inline constexpr std::array<std::array<double, 3>, 4> kFarQuad{
    {{-500, 750, -500}, {500, 750, -500}, {-500, -750, -500}, {500, -750, -500}}};
inline constexpr std::array<std::array<double, 2>, 4> kSquareTexCoords{
    {{0, 0.9375}, {0.625, 0.9375}, {0, 0}, {0.625, 0}}};

}  // namespace assetgen
