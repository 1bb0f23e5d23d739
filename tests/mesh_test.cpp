// The mesh loader's token rules, its quarter turn, the attribute table's
// quirks, the working copy, and drawing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "assets/mesh.h"
#include "platform/bundle.h"
#include "support/fixture_bundle.h"
#include "support/gl_fixture.h"

namespace {

const std::filesystem::path& dir() {
  static const auto d = fixture::make_temp_dir("mesh");
  return d;
}

Mesh load(const std::string& name, const std::string& text) {
  fixture::write_text(dir() / name, text);
  platform::setBundlePath(dir().string());
  Mesh m;
  ::testing::internal::CaptureStdout();
  m.Load(name);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), name);  // the name, no line break
  return m;
}

struct V {
  float x, y, z, nx, ny, nz, s, t, r;
};
V vertex(const Mesh& m, int i) {
  const float* p = m.vertices + i * 9;
  return {p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]};
}

const char* kTriangle =
    "v 1 2 3\nv 4 5 6\nv 7 8 9\n"
    "vt 0.1 0.2 0.3\nvt 0.4 0.5 0.6\nvt 0.7 0.8 0.9\n"
    "vn 1 0 0\nvn 0 1 0\nvn 0 0 1\n"
    "f 1/1/1 2/2/2 3/3/3\n";

TEST(MeshLoad, PositionsAndNormalsTurnAQuarterAboutY) {
  const Mesh m = load("tri.obj", kTriangle);
  ASSERT_EQ(m.vertexCount, 3);
  const V v0 = vertex(m, 0);
  EXPECT_EQ(v0.x, 3);  // (x, y, z) -> (z, y, -x)
  EXPECT_EQ(v0.y, 2);
  EXPECT_EQ(v0.z, -1);
  EXPECT_EQ(v0.nx, 0);
  EXPECT_EQ(v0.ny, 0);
  EXPECT_EQ(v0.nz, -1);
  EXPECT_FLOAT_EQ(v0.s, 0.1f);  // texture coordinates unchanged
  EXPECT_FLOAT_EQ(v0.t, 0.2f);
  EXPECT_FLOAT_EQ(v0.r, 0.3f);
  const V v2 = vertex(m, 2);
  EXPECT_EQ(v2.x, 9);
  EXPECT_EQ(v2.z, -7);
  EXPECT_EQ(v2.nx, 1);
  EXPECT_EQ(m.workVertices, nullptr);
}

TEST(MeshLoad, AFileWithoutFacesHasNoVertices) {
  const Mesh m = load("empty.obj", "v 1 2 3\nvt 0 0 0\n");
  EXPECT_EQ(m.vertexCount, 0);
  const Mesh nothing = load("nothing.obj", "");
  EXPECT_EQ(nothing.vertexCount, 0);
}

TEST(MeshLoad, CommentWordsAreSkippedUnlessTheyLookLikeKeywords) {
  // "vertices", "version", "vertex" (ve...) and "faces" are safe; "view"
  // reads as a position and "from" as a face.
  const Mesh safe = load("safe.obj",
                         "# 3 vertices version 2, faces: 1 vertex list\n"
                         "v 1 0 0\nv 0 1 0\nv 0 0 1\nvt 0 0 0\nvn 0 1 0\nf 1/1/1 2/1/1 3/1/1\n");
  EXPECT_EQ(safe.vertexCount, 3);
  EXPECT_EQ(vertex(safe, 0).z, -1);

  // "view" appends a record: the face's third position now finds (2, 2, 2)
  // where "v 0 0 1" would have been record 3.
  const Mesh view = load("view.obj", "v 1 0 0\nv 0 1 0\n# a view 2 2 2\nv 0 0 1\nvt 0 0 0\nvn 0 1 0\nf 1/1/1 2/1/1 3/1/1\n");
  EXPECT_EQ(view.vertexCount, 3);
  EXPECT_EQ(vertex(view, 2).x, 2);
  EXPECT_EQ(vertex(view, 2).y, 2);

  const Mesh from = load("from.obj", "v 1 0 0\nv 0 1 0\nv 0 0 1\nvt 0 0 0\nvn 0 1 0\n# made from 1/1/1 1/1/1 1/1/1\n");
  EXPECT_EQ(from.vertexCount, 3);
}

TEST(MeshLoad, AFourCornerFaceGivesItsFirstTriangle) {
  const Mesh m = load("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1 4/1/1\n");
  EXPECT_EQ(m.vertexCount, 3);
}

TEST(MeshLoad, OutOfRangeAndZeroIndicesLeaveZeros) {
  const Mesh m = load("range.obj", "v 1 2 3\nvt 0.5 0.5 0.5\nvn 1 0 0\nf 0/1/1 1/0/1 1/1/9\n");
  ASSERT_EQ(m.vertexCount, 3);
  const V a = vertex(m, 0);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.z, 0);
  EXPECT_FLOAT_EQ(a.s, 0.5f);
  const V b = vertex(m, 1);
  EXPECT_EQ(b.x, 3);
  EXPECT_EQ(b.s, 0);
  const V c = vertex(m, 2);
  EXPECT_EQ(c.nx, 0);
  EXPECT_EQ(c.ny, 0);
  EXPECT_EQ(c.nz, 0);
  // An unreadable number leaves its value zero too.
  const Mesh bad = load("bad.obj", "v 1 x 3\nvt 0 0 0\nvn 0 1 0\nf 1/1/1 1/1/1 1/1/1\n");
  EXPECT_EQ(vertex(bad, 0).x, 0);
  EXPECT_EQ(vertex(bad, 0).z, -1);
}

TEST(MeshLoad, IndicesBeyondAnIntAreOutOfRangeNotWrappedOrOverflowed) {
  const Mesh m = load("wide.obj",
                      "v 1 2 3\nvt 0.5 0.5 0.5\nvn 1 0 0\n"
                      "f -2147483648/1/1 2147483648/1/1 4294967297/4294967297/4294967297\n");
  ASSERT_EQ(m.vertexCount, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(vertex(m, i).z, 0) << i;  // no position written
  EXPECT_FLOAT_EQ(vertex(m, 0).s, 0.5f);
  EXPECT_EQ(vertex(m, 2).s, 0);
}

TEST(MeshLoad, PositionsAfterTextureCoordinatesLandInLaterRecords) {
  // Two texture coordinates make the table two records long before the
  // positions arrive; the positions then fill records 3 and 4.
  const Mesh m = load("late.obj", "vt 0 0 0\nvt 1 1 1\nv 5 6 7\nv 8 9 10\nvn 0 1 0\nf 1/1/1 3/1/1 4/1/1\n");
  ASSERT_EQ(m.vertexCount, 3);
  EXPECT_EQ(vertex(m, 0).x, 0);  // record 1 holds no position
  EXPECT_EQ(vertex(m, 1).x, 7);
  EXPECT_EQ(vertex(m, 2).x, 10);
}

TEST(MeshLoad, LongWordsAreReadInBoundedPieces) {
  // A 300-character word: the piece after the first 255 characters starts
  // with "v", so it is read as a position keyword.
  const std::string word = std::string(255, 'x') + "v" + std::string(44, 'y');
  const Mesh m = load("long.obj", word + " 1 2 3\nvt 0 0 0\nvn 0 1 0\nf 1/1/1 1/1/1 1/1/1\n");
  ASSERT_EQ(m.vertexCount, 3);
  EXPECT_EQ(vertex(m, 0).x, 3);
}

TEST(MeshLoadDeathTest, AFileThatCannotBeOpenedEndsTheProcess) {
  platform::setBundlePath(dir().string());
  EXPECT_EXIT(
      {
        Mesh m;
        m.Load("no_such_mesh.obj");
      },
      ::testing::ExitedWithCode(255), "^Unable to load: no_such_mesh.obj\n$");
}

class MeshDraw : public fixture::GLTest {};

TEST_F(MeshDraw, WorkingCopyIsDrawnAndRestored) {
  Mesh m = load("copy.obj", kTriangle);
  m.Restore();
  ASSERT_NE(m.workVertices, nullptr);
  EXPECT_EQ(m.workVertexCount, 3);
  EXPECT_EQ(0, std::memcmp(m.workVertices, m.vertices, 3 * 9 * sizeof(float)));
  float* const copy = m.workVertices;
  m.workVertices[0] = 100;
  m.Restore();
  EXPECT_EQ(m.workVertices, copy);  // the same block, refilled
  EXPECT_EQ(m.workVertices[0], m.vertices[0]);
  EXPECT_EQ(m.vertices[0], 3);
}

TEST_F(MeshDraw, DrawsTheWorkingCopyAndLeavesAllThreeArraysEnabled) {
  // A triangle covering the viewport's lower-left half under identity matrices.
  Mesh m = load("screen.obj",
                "v 1 -1 -1\nv 1 -1 1\nv 1 1 -1\nvt 0 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n");
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

  // Move the working copy off screen: the draw follows it.
  m.Restore();
  for (int i = 0; i < 3; ++i) m.workVertices[i * 9] += 10;
  glClear(GL_COLOR_BUFFER_BIT);
  m.Draw();
  present();
  EXPECT_EQ(pixel(10, 470), fixture::rgba(0, 0, 0));
}

}  // namespace
