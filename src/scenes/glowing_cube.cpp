// Seconds 130 to 180, the glowing cube: a flickering cube in the dark lights
// a tree trunk and a patch of grass; a camera cut behind a fade to black,
// three pages of credits, and a last swell of the flicker. The cube's glow is
// the glow pass run over the cube alone at the end of each frame, laid over
// the next frame.
#include "scenes/glowing_cube.h"

#include <algorithm>

#include "engine/demo.h"
#include "engine/overlay.h"
#include "engine/show_math.h"

namespace {

// The credits band along one long edge of the portrait screen.
const GLfloat greetVertices[12] = {-700, -200, -500, 700, -200, -500, -700, -500, -500, 700, -500, -500};

// This frame's credits page.
GLfloat gCreditsCoords[8];

}  // namespace

// A fixed view until 11 s; then the world tumbles about its x axis at 50
// degrees a second while the camera closes in.
void scene_4_camera(float time) {
  glLoadIdentity();
  if (time < 11) {
    glTranslatef(-30, 0, -50);
  } else {
    glTranslatef(-30, 0, time - 70);
    glRotatef(50 * time, 1, 0, 0);
  }
}

// The cube alone at full brightness, for the glow pass: the flicker and the
// fades act only on the composite.
void scene_4_render_glowcube(float time) {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  scene_4_camera(time);
  glColor4f(1, 1, 1, 1);
  cubetexture->BindTexture();
  cube.Draw();
  glColor4f(1, 1, 1, 1);
}

// Glow levels 4 and 5 stretched over the screen and added to it: the tight,
// bright halo and the wide, soft one at half the brightness.
void scene_4_drawglow(float /*time*/, float brightness) {
  glLoadIdentity();
  glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
  glVertexPointer(3, GL_FLOAT, 0, bgVertices);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glColor4f(brightness, brightness, brightness, 1);
  glBindTexture(GL_TEXTURE_2D, glowTextures[4]);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  const float half = brightness / 2;
  glColor4f(half, half, half, 1);
  glBindTexture(GL_TEXTURE_2D, glowTextures[5]);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}

// The flicker is one sine sampled at frame times: 124542 t advances by
// thousands of radians from frame to frame, so it jumps irregularly between 0
// and 0.4 with no random generator.
float scene_4_brightness(float t) {
  const auto f = static_cast<float>(0.2 + 0.2 * dsin(124542 * t));
  if (t < 2) return static_cast<float>(f * (t * 0.5));
  if (t <= 8) return f;
  if (t < 42) return 0.4f;
  if (t < 47) return static_cast<float>(f * ((t - 41) * 0.5));
  // The last swell dies away: from where the swell ends (three times the
  // flicker at 47 s) down to nothing at 50 s, with frames blacked out where a
  // second, faster sine peaks.
  if (dsin(5634743 * t) > 0.8) return 0;
  return f * (50 - t);
}

void scene_4(float time) {
  const float t = std::min(time, 50.0f);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  const float v = scene_4_brightness(t);

  // The glow rendered at the end of the previous frame, then the cube.
  scene_4_drawglow(t, v);
  scene_4_camera(t);
  glColor4f(v, v, v, 1);
  cubetexture->BindTexture();
  cube.Draw();

  if (t > 8) {
    scene_4_camera(t);
    glColor4f(0.6f, 0.6f, 0.6f, 1);
    treetrunktexture->BindTexture();
    treetrunk.Draw();
    glColor4f(0.4f, 0.4f, 0.4f, 1);
    grasstexture->BindTexture();
    grass.Draw();
    // The cube's light added onto the grass at the same depths.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    const float light = v / 3;
    glColor4f(light, light, light, 1);
    grasslightmap->BindTexture();
    glDepthFunc(GL_LEQUAL);
    grass.Draw();
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
  }

  if (t >= 8 && t < 9) demo_overlay(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, 1, 1, 1, 9 - t);
  if (t >= 10 && t < 11) demo_overlay(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, 0, 0, 0, t - 10);
  if (t >= 11 && t < 12) demo_overlay(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, 0, 0, 0, 12 - t);

  if (t >= 12) {
    // Three pages of credits, four seconds each, each lit for its first two.
    credits->BindTexture();
    glLoadIdentity();
    glRotatef(90, 0, 0, 1);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    const int k = static_cast<int>((t - 12) * 0.25f);
    const float phase = (t - static_cast<float>(4 * k)) * 0.25f * 2;
    const float q = k > 2 ? 0 : static_cast<float>(dsin(kPi * phase));
    glColor4f(q, q, q, 1);
    const float top = static_cast<float>(k) / 5;
    const float bottom = static_cast<float>(k + 1) / 5;
    const GLfloat coords[8] = {1, bottom, 0, bottom, 1, top, 0, top};
    std::copy(coords, coords + 8, gCreditsCoords);
    glVertexPointer(3, GL_FLOAT, 0, greetVertices);
    glTexCoordPointer(2, GL_FLOAT, 0, gCreditsCoords);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    // Blending and the depth test stay as they are: the glow pass below runs
    // with additive blending on.
  }

  downsample(scene_4_render_glowcube, t, 4);
}
