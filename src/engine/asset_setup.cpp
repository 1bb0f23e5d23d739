// The one-time set-up: the glow pass's render target, every image and mesh of
// the show in a fixed order, scene 1's procedural geometry, the baked glow of
// the rig's still frame, and scene 2's read-back buffer.
#include <cmath>
#include <cstdlib>

#include "engine/demo.h"
#include "engine/show_math.h"

Mesh drill_pipe_hi;
Mesh drill_pipe_lo;
Mesh drill_arm_connector;
Mesh drill_body;
Mesh hammer_left;
Mesh hammer_right;
Mesh drill_head;
Mesh wheel_small;
Mesh wheel_large;
Mesh murel;
Mesh cube;
Mesh treetrunk;
Mesh grass;

texture* scene1_bg;
texture* scene1_logo;
texture* black;
texture* bubble;
texture* splat;
texture* mureltextur;
texture* murelbg;
texture* greets;
texture* cubetexture;
texture* treetrunktexture;
texture* grasstexture;
texture* grasslightmap;
texture* credits;
texture* korvane_final;

GLuint framebuffer;
GLuint depthRenderbuffer;
GLuint glowTextures[6];

GLfloat circleVertice[1000];
GLfloat ribbonVertice[4500];
GLubyte ribbonColors[6000];
int scene_1_coords[3];

GLubyte* metamap;

namespace {

void set_vertex(GLfloat* table, int index, double x, double y, double z) {
  table[index * 3 + 0] = static_cast<GLfloat>(x);
  table[index * 3 + 1] = static_cast<GLfloat>(y);
  table[index * 3 + 2] = static_cast<GLfloat>(z);
}

void set_colour(int ribbon, int vertex, GLubyte r, GLubyte g, GLubyte b) {
  GLubyte* c = ribbonColors + ribbon * 2000 + vertex * 4;
  c[0] = r;
  c[1] = g;
  c[2] = b;
  c[3] = 255;
}

// A disc of radius 5 at z = -10 in 16 sectors, as one triangle strip of 49
// vertices that keeps coming back to the centre.
void build_disc() {
  float a = 0;
  for (int k = 0; k < 16; ++k) {
    const double next = static_cast<double>(a) + kPi / 8;
    set_vertex(circleVertice, 3 * k, 0, 0, -10);
    set_vertex(circleVertice, 3 * k + 1, 5 * dsin(a), 5 * dcos(a),
               -10);
    set_vertex(circleVertice, 3 * k + 2, 5 * dsin(next), 5 * dcos(next), -10);
    a = static_cast<float>(next);
  }
  set_vertex(circleVertice, 48, 0, 0, -10);
}

// Three ribbons of 500 vertices: one climbing the y axis, two sine waves
// running along +x and -x.
void build_ribbons() {
  GLfloat* r0 = ribbonVertice;
  GLfloat* r1 = ribbonVertice + 1500;
  GLfloat* r2 = ribbonVertice + 3000;
  for (int p = 0; p < 250; ++p) {
    const int i = 6 * p;
    set_vertex(r0, 2 * p, 0, i, 0);
    set_vertex(r0, 2 * p + 1, 10, i + 3, 0);
    set_vertex(r1, 2 * p, i, 100 * dsin(i / 50.0), 0);
    set_vertex(r1, 2 * p + 1, i + 13, 90 * dsin((i + 3) / 50.0), 0);
    set_vertex(r2, 2 * p, -i, 150 * dsin(i / 70.0), 0);
    set_vertex(r2, 2 * p + 1, 7 - i, 140 * dsin((i + 3) / 70.0), 0);
  }
}

// Colours for the first 188 pairs of each ribbon only; the rest stay zero
// (scene 1 never draws more than 300 vertices of a ribbon).
void build_ribbon_colours() {
  for (int p = 0; p < 188; ++p) {
    const int k = 8 * p;
    const float c1 = static_cast<float>(0.5 - 0.5 * dcos(k / 50.0));
    const float c2 = static_cast<float>(0.5 - 0.5 * dcos(k / 70.0));
    const auto g1 = static_cast<GLubyte>(190.0f + 65.0f * c1);
    const auto b1 = static_cast<GLubyte>(240.0f + 15.0f * c1);
    const auto g2 = static_cast<GLubyte>(60.0f + 195.0f * c2);
    const auto b2 = static_cast<GLubyte>(240.0f + 15.0f * c2);
    for (int v = 2 * p; v <= 2 * p + 1; ++v) {
      set_colour(0, v, 20, 220, 200);
      set_colour(1, v, 240, g1, b1);
      set_colour(2, v, 240, g2, b2);
    }
  }
}

}  // namespace

void demo_load() {
  // The glow pass's render target: a framebuffer with a depth buffer; each
  // pass attaches the glow level it draws into.
  glGenFramebuffersOES(1, &framebuffer);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, framebuffer);
  glGenRenderbuffersOES(1, &depthRenderbuffer);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, depthRenderbuffer);
  glRenderbufferStorageOES(GL_RENDERBUFFER_OES, GL_DEPTH_COMPONENT16_OES, 512, 512);
  glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_DEPTH_ATTACHMENT_OES, GL_RENDERBUFFER_OES, depthRenderbuffer);

  glGenTextures(6, glowTextures);
  for (int i = 0; i < 6; ++i) {
    const GLsizei side = 512 >> i;
    glBindTexture(GL_TEXTURE_2D, glowTextures[i]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  }

  scene1_bg = texture::LoadTexture("background_scene1.png");
  scene1_logo = texture::LoadTexture("logo.png");
  black = texture::LoadTexture("small_black.png");
  bubble = texture::LoadTexture("bubble.png");
  drill_pipe_hi.Load("pipe_hi.obj");
  drill_pipe_lo.Load("pipe_lo.obj");
  drill_arm_connector.Load("drill_arm_connector.obj");
  drill_body.Load("drill_body.obj");
  hammer_left.Load("hammer_left.obj");
  hammer_right.Load("hammer_right.obj");
  drill_head.Load("drill_head.obj");
  wheel_small.Load("wheel_small.obj");
  wheel_large.Load("wheel_large.obj");

  build_disc();
  build_ribbons();
  build_ribbon_colours();
  scene_1_coords[0] = -150;
  scene_1_coords[1] = -100;
  scene_1_coords[2] = -300;

  // Bake the rig's still frame, and its reductions, into all six glow levels.
  downsample(scene_1_render_drill, 0.0f, 0);

  splat = texture::LoadTexture("splat.png");
  if (!metamap) metamap = static_cast<GLubyte*>(std::malloc(262144));

  murel.Load("murel.obj");
  mureltextur = texture::LoadTexture("mureltextur.png");
  murelbg = texture::LoadTexture("murelbg.png");
  greets = texture::LoadTexture("greets.png");
  cube.Load("treetrunk_cube.obj");
  treetrunk.Load("treetrunk.obj");
  grass.Load("grass.obj");
  cubetexture = texture::LoadTexture("treetrunk_cube_textur.png");
  treetrunktexture = texture::LoadTexture("treetrunk_textur.png");
  grasstexture = texture::LoadTexture("grass.png");
  grasslightmap = texture::LoadTexture("grass1.png");
  credits = texture::LoadTexture("credits.png");
  korvane_final = texture::LoadTexture("korvane_final.png");
}
