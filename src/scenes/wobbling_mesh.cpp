#include "engine/demo.h"

void scene_3(float /*time*/) {}
