// The window layer in a browser, over Emscripten's GLFW: the window is the
// page's canvas, and the frame loop gives the browser its turn after each
// buffer swap, when the frame is shown and input comes in.
#include "window.h"

#include <emscripten.h>
#include <emscripten/html5.h>
#include <emscripten/val.h>

#include <cmath>
#include <string>

#include "state.h"
#include "web/page_settings.h"

// Set by the page (the module's closeRequested) to end the run as a closed
// window does, before it starts another.
extern "C" int quorvel_close_requested();
// Lets the next GL error check ask the browser's context again, and tells
// the page that a frame was shown.
extern "C" void quorvel_frame_shown();
// The lines that the GL emulation put ahead of the last source of a stage
// type (GL_VERTEX_SHADER, GL_FRAGMENT_SHADER) that it was given.
extern "C" int quorvel_lines_ahead(GLenum stageType);

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

using emscripten::val;

val orNull(const char* text) { return text ? val(text) : val::null(); }

// A failed compile's messages on the editor's lines: the emulation's own
// lines, ahead of the stage's, are taken off.
val editorMessages(const BuildReport& report) {
  int ahead = 0;
  if (report.failure == glLoadFailure::vertexCompile) ahead = quorvel_lines_ahead(GL_VERTEX_SHADER);
  if (report.failure == glLoadFailure::fragmentCompile) ahead = quorvel_lines_ahead(GL_FRAGMENT_SHADER);
  val messages = val::array();
  for (const CompilerMessage& message : onAuthorsLines(report.messages, ahead)) {
    val shown = val::object();
    shown.set("line", message.line > 0 ? val(message.line) : val::null());
    shown.set("severity", message.severity);
    shown.set("text", message.text);
    messages.call<void>("push", shown);
  }
  return messages;
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

// The page marks the messages on their lines in the failed stage's editor
// and sums the build up in a sentence, without reading the log: { edit,
// failure, stage (the file, or null), log, messages: [{ line (or null),
// severity, text }], missingUniforms }.
void reportBuild(const BuildReport& report) {
  notePairBuilt();
  val onBuild = val::module_property("onBuild");
  if (onBuild.isUndefined()) return;
  val shown = val::object();
  shown.set("edit", report.edit);
  shown.set("failure", failureName(report.failure));
  shown.set("stage", orNull(failedFile(report.failure)));
  shown.set("log", report.log);
  shown.set("messages", editorMessages(report));
  shown.set("missingUniforms", val::array(report.missingUniforms));
  onBuild(shown);
}
