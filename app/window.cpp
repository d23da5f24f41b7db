#include "window.h"

// Any of the C library's headers tells whether it is glibc.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "picture.h"
#include "state.h"

namespace {

// The GL driver allocates and frees megabytes every frame. glibc gives freed
// memory back to the system once the top of its heap holds more than a
// threshold, and serves large blocks from mappings of their own; both
// thresholds start low and rise only as large blocks come and go, so for the
// first 20 s or so of a run every frame faulted its memory in again, at a
// third of the frame's CPU time or more. Fixed from the start at the most
// that glibc's own adjustment would reach, the memory stays for the next
// frame, for a megabyte or two of resident memory. Every window's context
// allocates so: whatever opens one (the program, the benchmarks, the tests)
// runs with it.
void keepFreedMemory() {
#ifdef __GLIBC__
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

// As in many games and screenshot tools.
const int kPictureKey = GLFW_KEY_F12;

// Presses of the picture key whose pictures are still to be saved. Each
// press counts once: a held key's repeats take no more pictures.
int picturePresses = 0;

void notePictureKey(GLFWwindow* /*window*/, int key, int /*scancode*/, int action, int /*mods*/) {
  if (key == kPictureKey && action == GLFW_PRESS) ++picturePresses;
}

}  // namespace

GLFWwindow* createWindow(int width, int height, const char* title) {
  keepFreedMemory();
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
  glfwSetKeyCallback(window, notePictureKey);
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

void savePictureOnKey() {
  if (picturePresses == 0) return;
  --picturePresses;
  savePicture();
}

void getMousePos(int* x, int* y) {
  double cursorX = 0.0;
  double cursorY = 0.0;
  glfwGetCursorPos(window, &cursorX, &cursorY);
  *x = static_cast<int>(cursorX);
  *y = static_cast<int>(cursorY);
}

void getWindowSize(int* width, int* height) { glfwGetFramebufferSize(window, width, height); }

namespace {

// The log is named only where it is: one that could not be made, or that
// was deleted while the program runs, would send the user nowhere.
std::string logSaysWhy() {
  std::error_code error;
  return std::filesystem::is_regular_file(kLogFile, error) ? std::string(" (") + kLogFile + " says why)" : "";
}

// The compiler's messages where editors, IDEs and terminals jump to them,
// FILE:LINE: SEVERITY: TEXT; the linker's as the GL gives them.
void writeMessages(const BuildReport& report) {
  const char* file = failedFile(report.failure);
  for (const CompilerMessage& message : report.messages) {
    std::cerr << file << ':';
    if (message.line > 0) std::cerr << message.line << ':';
    std::cerr << ' ' << message.severity << ": " << message.text << '\n';
  }
  if (report.failure == glLoadFailure::link) std::cerr << report.log << (report.log.empty() ? "" : "\n");
}

}  // namespace

// What a pair's author must know at once, on the console: a build that
// failed and why, and the uniforms that the scene sets and a built program
// lacks, each set of which writes a line to the log.
void reportBuild(const BuildReport& report) {
  if (report.failure != glLoadFailure::none) {
    std::cerr << "quorvel: the " << (report.edit ? "edited " : "")
              << "shader pair is not loaded: " << failedStep(report.failure) << logSaysWhy()
              << (report.edit ? "; the last good pair still draws" : "") << '\n';
    writeMessages(report);
  }
  if (!report.missingUniforms.empty()) {
    std::cerr << "quorvel: the shader pair lacks the uniform" << (report.missingUniforms.size() > 1 ? "s" : "");
    for (size_t i = 0; i < report.missingUniforms.size(); ++i) {
      std::cerr << (i == 0 ? " " : ", ") << report.missingUniforms[i];
    }
    std::cerr << ", which the scene sets: each set writes a line to " << kLogFile << '\n';
  }
  std::cerr.flush();
}
