#include "scene.h"

// GLEW must precede the GLU header, which brings in the plain GL one.
#include <GL/glew.h>
#include <GL/glu.h>

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
  glClearColor(0.2f, 0.2f, 0.8f, 0.0f);
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
  glBegin(GL_LINES);
  glColor3f(0, 1, 0);
  glVertex3f(0, 100, 0);
  glVertex3f(0, -100, 0);
  glColor3f(1, 0, 0);
  glVertex3f(-100, 0, 0);
  glVertex3f(100, 0, 0);
  glColor3f(0, 0, 1);
  glVertex3f(0, 0, -100);
  glVertex3f(0, 0, 100);
  glEnd();
  glPopMatrix();
  glEnable(GL_TEXTURE_1D);
  glEnable(GL_TEXTURE_2D);
}

void setCloudUniforms() {
  const float* m = rotationMatrix;
  cloudShader->setUniform1i("useNoise", dragging ? 0 : 1);
  cloudShader->setUniform1i("permTexture", 0);
  cloudShader->setUniform1i("gradTexture", 1);
  cloudShader->setUniform4f("rotCol0", m[0], m[1], m[2], m[3]);
  cloudShader->setUniform4f("rotCol1", m[4], m[5], m[6], m[7]);
  cloudShader->setUniform4f("rotCol2", m[8], m[9], m[10], m[11]);
  cloudShader->setUniform4f("rotCol3", m[12], m[13], m[14], m[15]);
  cloudShader->setUniform3f("lightPos", -1.0f, 1.0f, -1.0f);
}

}  // namespace

void drawScene() {
  if (dragging) drawAxes();
  cloudShader->bind();
  setCloudUniforms();
  drawSlices(32, 32, 3.0f);
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
    cloudShader->setUniform1f("zPosition", z);
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
