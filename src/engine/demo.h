#pragma once
// The show: the timeline, the asset set-up, the loading screen, the glow pass
// and the scenes, written as plain functions over the globals declared here.
// Every global is created once by demo_load and lives until the process ends.
#include "assets/mesh.h"
#include "assets/texture.h"
#include "platform/gl.h"

// The timeline: draws the moment t (demo seconds) with the scene that owns
// it, and ends the process with status 0 in the first frame after 190 s.
void demo_playback(float t);

// The one-time set-up of every asset and render target.
void demo_load();

// Draws the loading screen and waits for GL to finish it.
void demo_show_loading();

// The glow pass: renders draw(time) into glow level `level` and reduced copies
// of it into every smaller level.
void downsample(void (*draw)(float), float time, int level);

// The scenes; each takes its scene time in seconds.
void scene_1(float t);
void scene_2(float t);
void scene_3(float time);
void scene_3_greets(float time);
void scene_4(float time);
void scene_5(float t);

// Scene helpers used across files.
void scene_1_render_drill(float x);
void scene_3_wobble(float t);
void scene_4_camera(float time);
void scene_4_render_glowcube(float time);
void scene_4_drawglow(float time, float brightness);

// Shared screen tables: a quad filling the viewport under identity matrices,
// the window of a 320 x 480 picture inside a 512 x 512 texture, and the
// lower-left quarter of that window.
extern const GLfloat squareVertices[8];
extern const GLfloat squareTextureCoords[8];
extern const GLfloat zoomTextureCoords[8];

// The on-screen framebuffer's size in pixels: the phone's 320 x 480, or a
// whole multiple of it at a higher render scale. The view sets it whenever it
// lays itself out.
extern GLint screenWidth;
extern GLint screenHeight;

// The far screen quad at depth 500, which fills the viewport under the show's
// projection: backdrops, fades and glow composites.
extern const GLfloat bgVertices[12];

// Meshes.
extern Mesh drill_pipe_hi;
extern Mesh drill_pipe_lo;
extern Mesh drill_arm_connector;
extern Mesh drill_body;
extern Mesh hammer_left;
extern Mesh hammer_right;
extern Mesh drill_head;
extern Mesh wheel_small;
extern Mesh wheel_large;
extern Mesh murel;
extern Mesh cube;
extern Mesh treetrunk;
extern Mesh grass;

// Textures.
extern texture* scene1_bg;
extern texture* scene1_logo;
extern texture* black;
extern texture* bubble;
extern texture* splat;
extern texture* mureltextur;
extern texture* murelbg;
extern texture* greets;
extern texture* cubetexture;
extern texture* treetrunktexture;
extern texture* grasstexture;
extern texture* grasslightmap;
extern texture* credits;
extern texture* korvane_final;

// The offscreen render target of the glow pass and its six levels.
extern GLuint framebuffer;
extern GLuint depthRenderbuffer;
extern GLuint glowTextures[6];

// Scene 1's procedural geometry and the rig's offset.
extern GLfloat circleVertice[1000];
extern GLfloat ribbonVertice[4500];
extern GLubyte ribbonColors[6000];
extern int scene_1_coords[3];

// Scene 2's read-back buffer (262144 bytes).
extern GLubyte* metamap;
