// The mesh's working copy and drawing in a real context. (The loader's
// reading rules are replayed against the C library's in fuzz_regression_test.)
#include <gtest/gtest.h>

#include <cstring>

#include "assets/mesh.h"
#include "platform/bundle.h"
#include "support/fixture_bundle.h"
#include "support/gl_fixture.h"

namespace {

class MeshDraw : public fixture::GLTest {};

TEST_F(MeshDraw, DrawsTheWorkingCopyRefilledInPlaceAndLeavesAllThreeArraysEnabled) {
  // A triangle covering the viewport's lower-left half under identity matrices.
  const auto dir = fixture::make_temp_dir("mesh");
  fixture::write_text(dir / "screen.obj", "v 1 -1 -1\nv 1 -1 1\nv 1 1 -1\nvt 0 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n");
  platform::setBundlePath(dir.string());
  Mesh m;
  ::testing::internal::CaptureStdout();
  m.Load("screen.obj");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "screen.obj");  // the name, no line break
  EXPECT_EQ(m.workVertices, nullptr);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  m.Draw();
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
  present();
  EXPECT_EQ(pixel(10, 470), fixture::rgba(255, 255, 255));
  EXPECT_EQ(pixel(310, 10), fixture::rgba(0, 0, 0));

  // The working copy, moved off screen, is what draws; restoring refills the
  // same block from the loaded shape.
  m.Restore();
  ASSERT_NE(m.workVertices, nullptr);
  ASSERT_EQ(m.workVertexCount, 3);
  float* const copy = m.workVertices;
  for (int i = 0; i < 3; ++i) m.workVertices[i * 9] += 10;
  glClear(GL_COLOR_BUFFER_BIT);
  m.Draw();
  present();
  EXPECT_EQ(pixel(10, 470), fixture::rgba(0, 0, 0));
  m.Restore();
  EXPECT_EQ(m.workVertices, copy);
  EXPECT_EQ(0, std::memcmp(m.workVertices, m.vertices, 3 * 9 * sizeof(float)));
}

}  // namespace
