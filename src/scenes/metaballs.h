#pragma once
// The metaball scene's threshold, on its own so it can be checked alone.
#include "platform/gl.h"

// The scene's passes, in the order scene_2 runs them: the blobs summed into
// the 128 x 128 corner, read back into metamap; the threshold; the picture
// uploaded and shown over the whole screen.
void scene_2_blobs(float t);
void scene_2_read_back();
int scene_2_threshold_at(float t);
void scene_2_show();

// Reduces `count` RGBA pixels in place to three colours: teal where red is
// below `threshold`, black where red equals green, white elsewhere. Blue and
// alpha are never read and always written.
void scene_2_threshold(GLubyte* pixels, int count, int threshold);
