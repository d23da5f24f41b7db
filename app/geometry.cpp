// The scene's geometry as the desktop's GL draws it: the slices in
// immediate mode, the axes as smooth lines.
#include "scene.h"
#include "state.h"

void drawAxisLines() {
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
}

void drawCloudSlices() { drawSlices(kSliceCount, kGridSize, kVolumeExtent); }
