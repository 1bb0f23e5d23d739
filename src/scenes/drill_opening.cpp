// The opening, seconds 0 to 53: a glowing, blurred close-up of the rig's still
// frame with faint discs drifting across it, resolving into the sharp frame;
// at 15 s the live rig takes over, then the logo, the shake, the ribbons
// growing out of one point, and a teal panel sweeping in for the next scene.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/demo.h"
#include "engine/show_math.h"

namespace {


// Fifty faint discs drifting slowly left and up over the intro, drawn with
// the additive blend of the glow levels.
void scene_1_discs(float t, float w) {
  glDisable(GL_TEXTURE_2D);
  // The discs read positions only: 49 vertices is more than the bound
  // texture-coordinate table holds, and the normals may belong to a smaller mesh.
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  const float h = static_cast<float>(0.1 * w);
  glColor4f(static_cast<float>(0.7 * h), static_cast<float>(0.9 * h), static_cast<float>(0.6 * h), 1);
  glVertexPointer(3, GL_FLOAT, 0, circleVertice);
  for (int i = 0; i < 50; ++i) {
    const auto x = static_cast<float>((20 - t) + 90 * dsin(20 * i * i * i));
    const auto y = static_cast<float>((t - 5) + 90 * dsin(30 * i * i));
    auto z = static_cast<float>(30 * dsin(40 * i) - 30);
    if (t > 11.5f) z -= 60;
    glTranslatef(x, y, z);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 49);
    glTranslatef(-x, -y, -z);
  }
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnable(GL_TEXTURE_2D);
}

// The still frame from the six glow levels, sharp and blurred added together.
void scene_1_intro(float t) {
  glLoadIdentity();
  glTexCoordPointer(2, GL_FLOAT, 0, t < 11.5f ? zoomTextureCoords : squareTextureCoords);
  glDisable(GL_DEPTH_TEST);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);

  float base;
  if (t < 13) {
    base = static_cast<float>(0.75 + 0.25 * dcos(t) * dcos(2 * t));
  } else if (t < 14) {
    base = 14 - t;
  } else {
    base = 0;
  }

  for (int j = 5; j >= 0; --j) {
    glVertexPointer(3, GL_FLOAT, 0, bgVertices);
    float w = j >= 1 ? static_cast<float>(j * j * j) * base / 224 : 1 - base;
    if (t < 1) w = w * t;
    if (t > 10 && t < 13) w = static_cast<float>(w * (0.5 + 0.5 * dcos(2 * kPi * (t - 10) / 3)));
    const auto f = static_cast<float>(dcos(5 * t) - 0.6 + dcos(50 * t));
    if (f > 1) w = w * f;
    glColor4f(w, w, w, 1);
    glBindTexture(GL_TEXTURE_2D, glowTextures[j]);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    if (j == 5) scene_1_discs(t, w);
  }
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
}

// Three ribbons growing 32 vertices a second out of one point, opaque and
// depth-tested against the rig.
void scene_1_ribbons(float t) {
  const int* c = scene_1_coords;
  glLoadIdentity();
  glRotatef(-90, 0, 0, 1);
  glTranslatef(static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]));
  glTranslatef(230, 0, 170);
  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_NORMAL_ARRAY);  // up to 300 vertices: more than some meshes hold
  const int n = std::min(static_cast<int>(32 * (t - 39)), 300);
  for (int k = 0; k < 3; ++k) {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, ribbonColors + 2000 * k);
    glVertexPointer(3, GL_FLOAT, 0, ribbonVertice + 1500 * k);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, n);
    glDisableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);  // the colour array leaves the current colour undefined
}

// The logo: two quick blinks, then a fade in and out.
void scene_1_logo(float t) {
  glLoadIdentity();
  scene1_logo->BindTexture();
  glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
  glVertexPointer(3, GL_FLOAT, 0, bgVertices);
  if (t < 21) {
    glColor4f(1, 1, 1, static_cast<float>(0.5 - 0.5 * dcos(4 * kPi * (t - 20))));
  } else if (t > 21) {
    glColor4f(1, 1, 1, static_cast<float>(0.5 - 0.5 * dcos(kPi * (t - 21) / 2)));
  }
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_DEPTH_TEST);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glEnable(GL_DEPTH_TEST);
  glColor4f(1, 1, 1, 1);
  glDisable(GL_BLEND);
}

// The rig's offset for the next frame: a random shake by whole units that
// swells from 28 s to 36 s and snaps back at 40 s.
void scene_1_shake(float t) {
  if (t > 28 && t < 40) {
    const int amplitude = static_cast<int>(15 * (0.5 - 0.5 * dcos(kPi * (t - 28) / 8)));
    const int m = std::max(amplitude, 1);
    const int h = (m - 1) / 2;
    scene_1_coords[0] = h - std::rand() % m - 150;
    scene_1_coords[1] = h - std::rand() % m - 100;
    scene_1_coords[2] = -300;
  } else {
    scene_1_coords[0] = -150;
    scene_1_coords[1] = -100;
    scene_1_coords[2] = -300;
  }
}

// A teal panel whose left edge sweeps from the right edge of the screen to
// the left in the last second.
void scene_1_wipe(float t) {
  const float left = 500 - 1000 * (t - 52);
  const GLfloat panel[12] = {left, 750, -500, 500, 750, -500, left, -750, -500, 500, -750, -500};
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glColor4f(20 / 255.0f, 220 / 255.0f, 203 / 255.0f, 1);
  glVertexPointer(3, GL_FLOAT, 0, panel);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glColor4f(1, 1, 1, 1);
}

}  // namespace

void scene_1(float t) {
  if (t < 15) scene_1_intro(t);
  if (t > 15) scene_1_render_drill(0.5f * t - 7.5f);
  if (t > 39) scene_1_ribbons(t);
  if (t > 20 && t < 25) scene_1_logo(t);
  scene_1_shake(t);
  if (t > 52) scene_1_wipe(t);
}
