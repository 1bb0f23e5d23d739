#pragma once
// The metaball scene's threshold, on its own so it can be checked alone.
#include "platform/gl.h"

// Reduces `count` RGBA pixels in place to three colours: teal where red is
// below `threshold`, black where red equals green, white elsewhere. Blue and
// alpha are never read and always written.
void scene_2_threshold(GLubyte* pixels, int count, int threshold);
