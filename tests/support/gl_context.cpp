#include "gl_context.h"

#include <cstdlib>
#include <iostream>

#include "window.h"

bool openHiddenContext() {
  if (!glfwInit()) return false;
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  window = createWindow(400, 300, "Quorvel test");
  if (!window) return false;
  glfwMakeContextCurrent(window);
  return true;
}

std::string useGLContext() {
  if (window) return "";
  if (!openHiddenContext()) {
    std::cerr << "no GL window: the GL tests need a display (run them through scripts/test)\n";
    std::abort();
  }
  LogCapture capture;
  initGLExtensions();
  return capture.text();
}
