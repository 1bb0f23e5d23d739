#include "engine/demo.h"

void scene_1(float /*t*/) {}
