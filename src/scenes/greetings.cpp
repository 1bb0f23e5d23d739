// Seconds 114.5 to 130: four wobbling copies of the creature drift up a tilted
// line in front of the scene-3 background while the greetings pulse, two lines
// to a three-second block, each in its own half of the screen.
#include <algorithm>

#include "engine/demo.h"
#include "engine/show_math.h"

namespace {

// One line of greetings at depth 500.
const GLfloat greetVertices[12] = {0, 75, -500, 750, 75, -500, 0, -75, -500, 750, -75, -500};

// This frame's strips of the greetings texture; the second stays pointed to
// after the frame.
GLfloat gFirstLine[8];
GLfloat gSecondLine[8];

void set_strip(GLfloat* coords, int strip) {
  const float top = static_cast<float>(strip) / 10;
  const float bottom = static_cast<float>(strip + 1) / 10;
  const GLfloat c[8] = {1, bottom, 0, bottom, 1, top, 0, top};
  std::copy(c, c + 8, coords);
}

struct Copy {
  float x;
  float y;
  float z;
  float tilt;
};

void draw_copy(const Copy& c) {
  glLoadIdentity();
  glRotatef(30, 0, 0, 1);
  glTranslatef(c.x, c.y, c.z);
  glRotatef(c.tilt, 1, 0, 0);
  murel.Draw();
}

}  // namespace

void scene_3_greets(float t) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  scene_3_wobble(t);

  // The picture fades in over the first half second (black until 1/6 s).
  const bool fading_in = t < 0.5f;
  const auto f = static_cast<float>((0.5 - dcos(2 * t * kPi)) * 0.5);
  mureltextur->BindTexture();
  if (fading_in) {
    glColor4f(f, f, f, 1);
  } else {
    glColor4f(1, 1, 1, 1);
  }
  const double wave = 20 * dsin(2 * t);
  draw_copy({static_cast<float>((50 * t - 600) + 20 * dsin(2 * t + 40)), -100, -200, 30});
  draw_copy({static_cast<float>((50 * t - 600) + wave), 100, -250, 60});
  draw_copy({static_cast<float>((50 * t - 900) + wave), 150, -150, 90});
  glColor4f(0.2f, 0.2f, 0.2f, 1);  // the near copy is dark from the first frame
  draw_copy({static_cast<float>((60 * t - 970) + wave), 0, -50, 140});

  if (fading_in) {
    glColor4f(f, f, f, 1);
  } else {
    glColor4f(1, 1, 1, 1);
  }
  murelbg->BindTexture();
  glVertexPointer(3, GL_FLOAT, 0, bgVertices);
  glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
  glLoadIdentity();
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);

  // The greetings: block k shows strips 2k and 2k + 1, the first line pulsing
  // in the first half of the block, the second in the second half.
  greets->BindTexture();
  glLoadIdentity();
  glRotatef(90, 0, 0, 1);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  const int k = static_cast<int>(t / 3);
  const int p = 2 * k;
  const float u = t - static_cast<float>(3 * k);
  const float phase = 2 * u / 3;
  auto a = static_cast<float>(dsin(phase * kPi));
  auto b = static_cast<float>(dsin(phase * kPi + kPi));
  if (p > 9) {
    a = 0;
    b = 0;
  }
  glColor4f(a, a, a, 1);
  glVertexPointer(3, GL_FLOAT, 0, greetVertices);
  set_strip(gFirstLine, p);
  glTexCoordPointer(2, GL_FLOAT, 0, gFirstLine);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glColor4f(b, b, b, 1);
  glTranslatef(-750, 0, 0);
  set_strip(gSecondLine, p + 1);
  glTexCoordPointer(2, GL_FLOAT, 0, gSecondLine);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}
