// The drill rig: the backdrop and nine meshes posed by the drill time. This is
// the only place that sets the projection; it stays in force for the rest of
// the show.
#include "scenes/drill_rig.h"

#include <cmath>

#include "engine/demo.h"
#include "engine/show_math.h"

namespace {


// Every mesh starts from the rig's common placement: a quarter turn and the
// rig's offset.
void place_rig(const int* c) {
  glLoadIdentity();
  glRotatef(-90, 0, 0, 1);
  glTranslatef(static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]));
}

}  // namespace

DrillPose scene_1_drill_pose(float x) {
  // 2x, 3x, 4x and 360x in float; the rest in double, narrowed at the end.
  const float x2 = 2 * x;
  const float x3 = 3 * x;
  const float x4 = 4 * x;
  DrillPose pose{};
  pose.hammer = 360 * x;
  pose.connector = static_cast<float>(15 * dcos(x2 * kPi) - 15);
  pose.connectorShiftX = static_cast<float>(-5 * dcos(x4 * kPi));
  pose.connectorShiftY = static_cast<float>(40 * dsin(x2 * kPi));
  pose.head = static_cast<float>(20 * dsin(-x2 * kPi));
  pose.smallWheel = static_cast<float>(545.454 * static_cast<double>(x));
  pose.upperPipeShift = static_cast<float>(-10 * dsin(x3) - 5);
  return pose;
}

void scene_1_render_drill(float x) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustumf(-1, 1, -1.5f, 1.5f, 1, 1000);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  // The backdrop moves with the rig's shake.
  const int* c = scene_1_coords;
  glTranslatef(static_cast<float>(-c[1] - 100), static_cast<float>(-c[0] - 150), static_cast<float>(c[2] + 300));
  glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, bgVertices);
  glEnableClientState(GL_VERTEX_ARRAY);
  scene1_bg->BindTexture();
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);

  // The backdrop has covered the colour buffer; only depth is cleared.
  glClearColor(0.8f, 0.8f, 0.8f, 1);
  glEnable(GL_DEPTH_TEST);
  glClear(GL_DEPTH_BUFFER_BIT);

  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  black->BindTexture();

  const DrillPose pose = scene_1_drill_pose(x);

  place_rig(c);
  drill_body.Draw();

  place_rig(c);
  glTranslatef(0, 30, 0);
  glRotatef(pose.hammer, 0, 0, 1);
  glTranslatef(0, -30, 0);
  hammer_left.Draw();
  hammer_right.Draw();

  place_rig(c);
  glTranslatef(5, 165, 0);
  glRotatef(pose.connector, 0, 0, 1);
  glTranslatef(-5, -165, 0);
  glTranslatef(pose.connectorShiftX, pose.connectorShiftY, 0);
  drill_arm_connector.Draw();

  place_rig(c);
  glTranslatef(130, 165, 0);
  glRotatef(pose.head, 0, 0, 1);
  glTranslatef(-130, -165, 0);
  drill_head.Draw();

  place_rig(c);
  glTranslatef(10, 35, 0);
  glRotatef(pose.hammer, 0, 0, 1);
  wheel_large.Draw();

  place_rig(c);
  glTranslatef(-134, -4.5f, 0);
  glRotatef(pose.smallWheel, 0, 0, 1);
  wheel_small.Draw();

  place_rig(c);
  drill_pipe_lo.Draw();

  // The upper pipe continues from the lower pipe's placement.
  glTranslatef(0, pose.upperPipeShift, 0);
  drill_pipe_hi.Draw();
}
