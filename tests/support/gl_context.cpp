#include "gl_context.h"

#include <cstdlib>

std::string useGLContext() {
  if (window) return "";
  if (!glfwInit()) {
    std::cerr << "no GLFW: the GL tests need a display (run them through scripts/test)\n";
    std::abort();
  }
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  glfwWindowHint(GLFW_DEPTH_BITS, 32);
  window = glfwCreateWindow(400, 300, "Quorvel test", nullptr, nullptr);
  if (!window) {
    std::cerr << "no GL window could be made\n";
    std::abort();
  }
  glfwMakeContextCurrent(window);
  CoutCapture capture;
  initGLExtensions();
  return capture.str();
}
