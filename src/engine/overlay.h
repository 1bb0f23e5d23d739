#pragma once
// Full-screen overlays: a flat colour over the whole screen through the given
// blend function, with texturing and the depth test off for the draw and
// restored after it, blending left off. The colour stays as set.
#include "platform/gl.h"

void demo_overlay(GLenum source, GLenum destination, float r, float g, float b, float a);
