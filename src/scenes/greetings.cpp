#include "engine/demo.h"

void scene_3_greets(float /*time*/) {}
