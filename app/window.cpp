#include "window.h"

#include <iostream>

#include "state.h"

GLFWwindow* createWindow(int width, int height, const char* title) {
  // Only the bit depths are asked for, so the context is a compatibility one
  // in which the fixed-function calls of the scene still work.
  glfwWindowHint(GLFW_RED_BITS, 8);
  glfwWindowHint(GLFW_GREEN_BITS, 8);
  glfwWindowHint(GLFW_BLUE_BITS, 8);
  glfwWindowHint(GLFW_ALPHA_BITS, 8);
  glfwWindowHint(GLFW_DEPTH_BITS, 32);
  glfwWindowHint(GLFW_STENCIL_BITS, 0);
  return glfwCreateWindow(width, height, title, nullptr, nullptr);
}

bool openWindow() {
  window = createWindow(400, 300, "Quorvel");
  if (!window) return false;
  glfwMakeContextCurrent(window);
  return true;
}

void swapBuffers() {
  glfwPollEvents();
  if (!glfwWindowShouldClose(window)) glfwSwapBuffers(window);
}

bool windowOpened() { return !glfwWindowShouldClose(window); }

bool leftButtonDown() { return glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS; }

// Sticky keys make a press that was released before this poll still count.
bool escapePressed() { return glfwGetKey(window, GLFW_KEY_ESCAPE) != GLFW_RELEASE; }

void getMousePos(int* x, int* y) {
  double cursorX = 0.0;
  double cursorY = 0.0;
  glfwGetCursorPos(window, &cursorX, &cursorY);
  *x = static_cast<int>(cursorX);
  *y = static_cast<int>(cursorY);
}

void getWindowSize(int* width, int* height) { glfwGetFramebufferSize(window, width, height); }

// A failed start-up ends the run, and the log says why; a failed edit is
// said on the console, since the picture goes on as it was.
void reportBuild(const BuildReport& report) {
  if (!report.edit || report.failure == glLoadFailure::none) return;
  std::cerr << "quorvel: the edited shader pair is not loaded: " << failedStep(report.failure) << " (" << kLogFile
            << " says why); the last good pair still draws" << std::endl;
}
