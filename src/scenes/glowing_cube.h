#pragma once
// The glowing cube (scene 4): the cube's brightness for a scene time,
// flicker included.
float scene_4_brightness(float t);
