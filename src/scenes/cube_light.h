#pragma once
// Scene 4's cube brightness for a scene time, flicker included.
float scene_4_brightness(float t);
