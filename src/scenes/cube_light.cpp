#include "engine/demo.h"

void scene_4(float /*time*/) {}
