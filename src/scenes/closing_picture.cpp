#include "engine/demo.h"

void scene_5(float /*t*/) {}
