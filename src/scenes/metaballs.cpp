#include "engine/demo.h"

void scene_2(float /*t*/) {}
