#pragma once
// The drill rig's pose for a drill time: every angle and offset the rig's
// moving parts take, before they reach GL.

struct DrillPose {
  float hammer;            // degrees, hammers and large wheel, about (0, 30) / the wheel's centre
  float connector;         // degrees about (5, 165)
  float connectorShiftX;   // along the connector's own axes after its swing
  float connectorShiftY;
  float head;              // degrees about (130, 165)
  float smallWheel;        // degrees about the small wheel's centre
  float upperPipeShift;    // along y
};

DrillPose scene_1_drill_pose(float x);
