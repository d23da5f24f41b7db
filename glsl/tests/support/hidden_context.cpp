#include "hidden_context.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdlib>
#include <iostream>

#include "glsl.h"
#include "log_capture.h"

GLFWwindow* openHiddenContext(WindowMaker make) {
  if (!glfwInit()) return nullptr;
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  GLFWwindow* window = make ? make(400, 300, "GL test") : glfwCreateWindow(400, 300, "GL test", nullptr, nullptr);
  if (window) glfwMakeContextCurrent(window);
  return window;
}

GLFWwindow* useHiddenContext(WindowMaker make) {
  static GLFWwindow* shared = nullptr;
  if (shared) return shared;
  shared = openHiddenContext(make);
  if (!shared) {
    std::cerr << "no GL window: the GL tests need a display (xvfb-run gives one)\n";
    std::abort();
  }
  LogCapture capture;
  initGLExtensions();
  return shared;
}
