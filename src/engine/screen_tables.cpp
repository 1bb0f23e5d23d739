// Screen tables shared by the loading screen, the glow pass and the scenes.
// Four points each, in triangle-strip order, two floats a point.
#include "engine/demo.h"

// A quad that fills the viewport under identity matrices.
const GLfloat squareVertices[8] = {-1, -1, 1, -1, -1, 1, 1, 1};

// The window of a 320 x 480 picture held in a 512 x 512 texture
// (480 / 512 = 0.9375, 320 / 512 = 0.625), at any glow level as well.
const GLfloat squareTextureCoords[8] = {0, 0.9375f, 0.625f, 0.9375f, 0, 0, 0.625f, 0};

// The lower-left quarter of that window.
const GLfloat zoomTextureCoords[8] = {0, 0.46875f, 0.3125f, 0.46875f, 0, 0, 0.3125f, 0};

GLint screenWidth = 320;
GLint screenHeight = 480;

// The far screen quad: at depth 500, under the show's projection and an
// identity model-view, it fills the viewport exactly. Upper-left,
// upper-right, lower-left, lower-right.
const GLfloat bgVertices[12] = {-500, 750, -500, 500, 750, -500, -500, -750, -500, 500, -750, -500};
