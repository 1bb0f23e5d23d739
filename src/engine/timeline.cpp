// The show's schedule: which scene owns each second, and the end.
#include <cstdlib>

#include "engine/demo.h"

void demo_playback(float t) {
  if (t < 53) scene_1(t);
  if (t >= 53 && t < 70) scene_2(t - 53);
  if (t >= 70 && t < 114.5f) scene_3(t - 70);
  if (t >= 114.5f && t < 130) scene_3_greets(t - 114.5f);
  if (t >= 130 && t < 180) scene_4(t - 130);
  if (t >= 180 && t < 185) scene_5(t - 180);
  if (t > 190) std::exit(0);
}
