// The window layer in a browser, over Emscripten's GLFW: the window is the
// page's canvas, and the frame loop gives the browser its turn after each
// buffer swap, when the frame is shown and input comes in.
#include "window.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "state.h"

// Set by the page (the module's closeRequested) to end the run as a closed
// window does, before it starts another.
extern "C" int quorvel_close_requested();
// Lets the next GL error check ask the browser's context again, and tells
// the page that a frame was shown.
extern "C" void quorvel_frame_shown();
// Hands the page a build's report, as JSON.
extern "C" void quorvel_build_reported(const char* report);

namespace {

const char* const kCanvas = "#canvas";
// The window's size in CSS pixels.
const int kWidth = 400;
const int kHeight = 300;

// The port has no sticky keys: an Escape pressed and released while the loop
// waits for its turn would be gone by the next poll, so the press is kept.
bool escapeSeen = false;

void noteEscape(GLFWwindow* /*window*/, int key, int /*scancode*/, int action, int /*mods*/) {
  if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS) escapeSeen = true;
}

// Backing-store pixels per window unit (CSS pixel): the device pixel ratio
// that openWindow gave the canvas.
double pixelsPerUnit() {
  int width = 0;
  int height = 0;
  int units = 0;
  getWindowSize(&width, &height);
  glfwGetWindowSize(window, &units, &height);
  return units > 0 ? static_cast<double>(width) / units : 1.0;
}

// The port gives the canvas one pixel per CSS pixel; the page keeps its CSS
// size, and on a HiDPI screen the backing store gets a pixel per device
// pixel, as the desktop draws to the framebuffer's size. The ratio changes
// when the page moves to another screen or is zoomed: the store follows at
// the next frame.
void followPixelRatio() {
  static double ratio = 0.0;
  double now = emscripten_get_device_pixel_ratio();
  if (now == ratio) return;
  ratio = now;
  emscripten_set_canvas_element_size(kCanvas, static_cast<int>(std::lround(kWidth * ratio)),
                                     static_cast<int>(std::lround(kHeight * ratio)));
}

// A hidden page shows no frames, and the browser runs its timers in bursts:
// the loop waits, a quarter of a second at a time, until the page is seen
// again. The wait is taken off the clock, so the next title tells the rate
// of frames drawn while seen.
bool pageHidden() {
  EmscriptenVisibilityChangeEvent visibility;
  return emscripten_get_visibility_status(&visibility) == EMSCRIPTEN_RESULT_SUCCESS && visibility.hidden;
}

void idleWhileHidden() {
  if (!pageHidden()) return;
  double clock = glfwGetTime();
  while (pageHidden()) emscripten_sleep(250);
  glfwSetTime(clock);
}

std::string json(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// The names that the page knows the steps by.
const char* failureName(glLoadFailure failure) {
  switch (failure) {
    case glLoadFailure::vertexFile:
      return "vertexFile";
    case glLoadFailure::fragmentFile:
      return "fragmentFile";
    case glLoadFailure::vertexCompile:
      return "vertexCompile";
    case glLoadFailure::fragmentCompile:
      return "fragmentCompile";
    case glLoadFailure::link:
      return "link";
    case glLoadFailure::none:
      break;
  }
  return "none";
}

}  // namespace

GLFWwindow* createWindow(int width, int height, const char* title) {
  glfwWindowHint(GLFW_RED_BITS, 8);
  glfwWindowHint(GLFW_GREEN_BITS, 8);
  glfwWindowHint(GLFW_BLUE_BITS, 8);
  // The page shows the canvas over itself: with an alpha channel the sky,
  // cleared to alpha 0, would let the page through.
  glfwWindowHint(GLFW_ALPHA_BITS, 0);
  glfwWindowHint(GLFW_DEPTH_BITS, 32);
  glfwWindowHint(GLFW_STENCIL_BITS, 0);
  return glfwCreateWindow(width, height, title, nullptr, nullptr);
}

bool openWindow() {
  window = createWindow(kWidth, kHeight, "Quorvel");
  if (!window) return false;
  glfwMakeContextCurrent(window);
  followPixelRatio();
  glfwSetKeyCallback(window, noteEscape);
  return true;
}

void swapBuffers() {
  glfwPollEvents();
  if (windowOpened()) glfwSwapBuffers(window);
  quorvel_frame_shown();
  emscripten_sleep(0);
  idleWhileHidden();
  followPixelRatio();
}

bool windowOpened() { return !glfwWindowShouldClose(window) && !quorvel_close_requested(); }

bool leftButtonDown() { return glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS; }

bool escapePressed() { return escapeSeen || glfwGetKey(window, GLFW_KEY_ESCAPE) != GLFW_RELEASE; }

// The page saves the canvas itself, with its "Save picture" button: a file
// in the module's memory would reach nobody.
void savePictureOnKey() {}

// The port measures the cursor in backing-store pixels; the desktop, and so
// the turn per pixel of a drag, in window units.
void getMousePos(int* x, int* y) {
  double cursorX = 0.0;
  double cursorY = 0.0;
  glfwGetCursorPos(window, &cursorX, &cursorY);
  double scale = pixelsPerUnit();
  *x = static_cast<int>(cursorX / scale);
  *y = static_cast<int>(cursorY / scale);
}

// The port's framebuffer size is the window's; the backing store is what is
// drawn to.
void getWindowSize(int* width, int* height) { emscripten_get_canvas_element_size(kCanvas, width, height); }

// The page marks the messages on their lines and sums the build up in a
// sentence, without reading the log.
void reportBuild(const BuildReport& report) {
  std::string messages;
  for (const CompilerMessage& message : report.messages) {
    if (!messages.empty()) messages += ',';
    messages += "{\"line\":" + std::to_string(message.line) + ",\"severity\":" + json(message.severity) +
                ",\"text\":" + json(message.text) + '}';
  }
  std::string missing;
  for (const std::string& name : report.missingUniforms) missing += (missing.empty() ? "" : ",") + json(name);
  std::string text = std::string("{\"edit\":") + (report.edit ? "true" : "false") + ",\"failure\":\"" +
                     failureName(report.failure) + "\",\"log\":" + json(report.log) + ",\"messages\":[" + messages +
                     "],\"missingUniforms\":[" + missing + "]}";
  quorvel_build_reported(text.c_str());
}
