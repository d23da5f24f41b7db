#include "scene.h"

// GLEW must precede the GLU header, which brings in the plain GL one.
#include <GL/glew.h>
#include <GL/glu.h>

#include <vector>

#include "state.h"
#include "window.h"

void initGLState() {
  glEnable(GL_TEXTURE_1D);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(skyColour[0], skyColour[1], skyColour[2], 0.0f);
}

void setupCamera() {
  int width = 0;
  int height = 0;
  getWindowSize(&width, &height);
  // A minimised window reports no height; keep the aspect ratio finite.
  if (height < 1) height = 1;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(width) / height, 1.0, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0, 0, 3, 0, 0, 0, 0, 1, 0);
}

namespace {

void drawAxes() {
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_TEXTURE_2D);
  glPushMatrix();
  glRotatef(angleX, 1, 0, 0);
  glRotatef(angleY, 0, 1, 0);
  drawAxisLines();
  glPopMatrix();
  glEnable(GL_TEXTURE_1D);
  glEnable(GL_TEXTURE_2D);
}

void setCloudUniforms() {
  const float* m = rotationMatrix;
  cloudShader->setUniform1i(kUseNoise, dragging ? 0 : 1);
  cloudShader->setUniform1i(kPermTexture, 0);
  cloudShader->setUniform1i(kGradTexture, 1);
  cloudShader->setUniform4f(kRotCol0, m[0], m[1], m[2], m[3]);
  cloudShader->setUniform4f(kRotCol1, m[4], m[5], m[6], m[7]);
  cloudShader->setUniform4f(kRotCol2, m[8], m[9], m[10], m[11]);
  cloudShader->setUniform4f(kRotCol3, m[12], m[13], m[14], m[15]);
  cloudShader->setUniform3f(kLightPos, lightPosition[0], lightPosition[1], lightPosition[2]);
}

}  // namespace

void drawScene() {
  if (dragging) drawAxes();
  cloudShader->bind();
  setCloudUniforms();
  drawCloudSlices();
  cloudShader->unbind();
}

void drawSlices(int sliceCount, int gridSize, float extent) {
  // Every coordinate is start + index * step, so no rounding error piles up
  // across the stack or the grid.
  float start = extent * -0.5f;
  float sliceStep = extent / static_cast<float>(sliceCount - 1);
  float cellStep = extent / static_cast<float>(gridSize - 1);
  for (int slice = 0; slice < sliceCount; ++slice) {
    float z = start + static_cast<float>(slice) * sliceStep;
    glPushMatrix();
    glTranslatef(0, 0, z);
    cloudShader->setUniform1f(kZPosition, z);
    for (int row = 0; row + 1 < gridSize; ++row) {
      float yLow = start + static_cast<float>(row) * cellStep;
      float yHigh = start + static_cast<float>(row + 1) * cellStep;
      // Upper vertex first: each quad runs counter-clockwise seen from +z.
      glBegin(GL_QUAD_STRIP);
      for (int column = 0; column < gridSize; ++column) {
        float x = start + static_cast<float>(column) * cellStep;
        glVertex3f(x, yHigh, 0);
        glVertex3f(x, yLow, 0);
      }
      glEnd();
    }
    glPopMatrix();
  }
}

namespace {

// A slice's grid on the card: its vertices in the order that drawSlices sends
// them, strip by strip, and the triangles of each strip's quads.
struct SliceGrid {
  int gridSize = 0;
  float extent = 0.0f;
  GLuint vertexBuffer = 0;
  GLuint indexBuffer = 0;
  GLsizei indexCount = 0;
};

std::vector<GLfloat> gridVertices(int gridSize, float extent) {
  float start = extent * -0.5f;
  float cellStep = extent / static_cast<float>(gridSize - 1);
  std::vector<GLfloat> vertices;
  for (int row = 0; row + 1 < gridSize; ++row) {
    float yLow = start + static_cast<float>(row) * cellStep;
    float yHigh = start + static_cast<float>(row + 1) * cellStep;
    for (int column = 0; column < gridSize; ++column) {
      float x = start + static_cast<float>(column) * cellStep;
      vertices.insert(vertices.end(), {x, yHigh, 0.0f, x, yLow, 0.0f});
    }
  }
  return vertices;
}

// Quad k of a strip has the upper corners u0 = 2k and u1 = 2k + 2, the lower
// ones l0 = 2k + 1 and l1 = 2k + 3. These are the triangles, corners in the
// same order, that Mesa makes of a quad strip, so the pictures agree to the
// level; the other diagonal moves the shipped cloud by up to 199 levels,
// where its light bends across a quad. Both run counter-clockwise from +z.
std::vector<GLushort> gridTriangles(int gridSize) {
  std::vector<GLushort> indices;
  for (int row = 0; row + 1 < gridSize; ++row) {
    int strip = row * gridSize * 2;
    for (int column = 0; column + 1 < gridSize; ++column) {
      auto u0 = static_cast<GLushort>(strip + 2 * column);
      auto l0 = static_cast<GLushort>(u0 + 1);
      auto u1 = static_cast<GLushort>(u0 + 2);
      auto l1 = static_cast<GLushort>(u0 + 3);
      indices.insert(indices.end(), {u1, u0, l1, u0, l0, l1});
    }
  }
  return indices;
}

void uploadGrid(SliceGrid* grid, int gridSize, float extent) {
  std::vector<GLfloat> vertices = gridVertices(gridSize, extent);
  std::vector<GLushort> indices = gridTriangles(gridSize);
  if (!grid->vertexBuffer) glGenBuffers(1, &grid->vertexBuffer);
  if (!grid->indexBuffer) glGenBuffers(1, &grid->indexBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, grid->vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(GLfloat)), vertices.data(),
               GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, grid->indexBuffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLushort)), indices.data(),
               GL_STATIC_DRAW);
  grid->gridSize = gridSize;
  grid->extent = extent;
  grid->indexCount = static_cast<GLsizei>(indices.size());
}

}  // namespace

void drawSliceBuffers(int sliceCount, int gridSize, float extent) {
  static SliceGrid grid;
  if (grid.gridSize != gridSize || grid.extent != extent) uploadGrid(&grid, gridSize, extent);
  glBindBuffer(GL_ARRAY_BUFFER, grid.vertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, grid.indexBuffer);
  // The stride is given outright: the emulation takes 0 for data to repack.
  glVertexPointer(3, GL_FLOAT, 3 * sizeof(GLfloat), nullptr);
  glEnableClientState(GL_VERTEX_ARRAY);
  float start = extent * -0.5f;
  float sliceStep = extent / static_cast<float>(sliceCount - 1);
  for (int slice = 0; slice < sliceCount; ++slice) {
    float z = start + static_cast<float>(slice) * sliceStep;
    glPushMatrix();
    glTranslatef(0, 0, z);
    cloudShader->setUniform1f(kZPosition, z);
    glDrawElements(GL_TRIANGLES, grid.indexCount, GL_UNSIGNED_SHORT, nullptr);
    glPopMatrix();
  }
  // Left as immediate mode expects the GL: no array enabled, no buffer bound.
  glDisableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}
