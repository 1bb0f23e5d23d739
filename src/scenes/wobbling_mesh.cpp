// Seconds 70 to 114.5: the creature comes out of the dark, turns to face the
// viewer and drifts on, while two more copies sweep past and the background
// scrolls; then a quick fade to black.
#include "engine/demo.h"
#include "engine/show_math.h"

namespace {


// The background's window for this frame; GL reads it at the draw, and the
// pointer stays set after the frame.
GLfloat gBackgroundCoords[8];

}  // namespace

// The creature's wobble, shared with the greetings: refilled from the loaded
// shape every frame, so it never accumulates. y swells with a wave along x, z
// with a wave of its own.
void scene_3_wobble(float t) {
  murel.Restore();
  const float t2 = t + t;
  float* v = murel.workVertices;
  for (int i = 0; i < murel.workVertexCount; ++i, v += kMeshVertexFloats) {
    const float x = v[0];
    const float y = v[1];
    const float z = v[2];
    v[1] = static_cast<float>(y * (1 + 0.2 * dsin(static_cast<double>(x) / 26 + t2)));
    v[2] = static_cast<float>(z * (1 + 0.2 * dsin(t2 + static_cast<double>(z) / 26)));
  }
}

void scene_3(float t) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);

  // The creature approaches turned sideways, turns to face the viewer by
  // 15 s, then drifts closer.
  const bool fading = t >= 44 && t < 45;
  const double fade = dcos(2 * kPi * (45 - t)) + 0.5;
  if (t < 15) {
    glTranslatef(static_cast<float>(t * 3.3333333333333335), 0, -500);
    glTranslatef(0, 0, 20 * t);
    const float a = t <= 10 ? -90.0f : (15 - t) * (-18);
    glRotatef(a, 0, 1, 0);
    const double m = t / 15.0 + 0.2 * dsin(3 * t);
    glColor4f(static_cast<float>(m), static_cast<float>(m), static_cast<float>(m), 1);
  } else {
    glTranslatef(50, 0, (t - 15) * 3 - 200);
    glColor4f(1, 1, 1, 1);
  }
  if (fading) {
    const auto m = static_cast<float>(fade * 0.5);
    glColor4f(m, m, m, 1);
  }

  scene_3_wobble(t);
  mureltextur->BindTexture();
  murel.Draw();

  // Two darker copies sweep past, one low and one high.
  if (fading) {
    const auto k = static_cast<float>(fade * 0.35);
    glColor4f(k, k, k, 1);
  } else {
    glColor4f(0.7f, 0.7f, 0.7f, 1);
  }
  glLoadIdentity();
  glTranslatef(static_cast<float>((50 * t - 1400) + 30 * dsin(2 * t)), -400, -400);
  glRotatef(60, 1, 0, 0);
  murel.Draw();
  glLoadIdentity();
  glTranslatef(static_cast<float>((50 * t - 1700) + 30 * dsin(2 * t)), 500, -500);
  glRotatef(90, 1, 0, 0);
  murel.Draw();

  // The background, drawn last and furthest: the depth test keeps it behind.
  float g = 0;
  if (t > 13 && t < 15) g = static_cast<float>((t - 13) * 0.25);
  if (t >= 15) g = 0.5f;
  if (fading) g = static_cast<float>(fade * 0.25);
  glColor4f(g, g, g, 1);
  murelbg->BindTexture();
  glVertexPointer(3, GL_FLOAT, 0, bgVertices);
  const double w = t * 0.0078125;
  const auto left = static_cast<float>(w);
  const auto right = static_cast<float>(w + 0.625);
  const GLfloat coords[8] = {left, 0.9375f, right, 0.9375f, left, 0, right, 0};
  std::copy(coords, coords + 8, gBackgroundCoords);
  glTexCoordPointer(2, GL_FLOAT, 0, gBackgroundCoords);
  glLoadIdentity();
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}
