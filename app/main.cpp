// Quorvel: volumetric clouds drawn as a stack of shaded slices.
#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <iostream>

#include "controls.h"
#include "scene.h"
#include "state.h"
#include "textures.h"
#include "window.h"

namespace {

const char* const kLogFile = "logfile.txt";

// Set by SIGINT or SIGTERM.
volatile sig_atomic_t quitSignalled = 0;

void signalQuit(int /*signal*/) { quitSignalled = 1; }

// Ctrl+C and SIGTERM end the run at the end of the pass, as Escape does. A
// second one ends the process at once, as before: a frame that never ends (a
// shader caught in an endless loop) cannot be left any other way. A signal
// ignored from the start (nohup, a script's background job) stays ignored.
void catchQuitSignal(int number) {
  struct sigaction action = {};
  if (sigaction(number, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) return;
  action.sa_handler = signalQuit;
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(number, &action, nullptr);
}

// Opening a FIFO for writing waits for a reader, which may never come: it is
// a log that cannot be created, like a directory of that name.
bool isFifo(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISFIFO(info.st_mode);
}

// The GL state, the shader program and the noise textures; false when the
// program or a texture cannot be made.
bool prepareScene() {
  initGLState();
  initGLExtensions();
  cloudShader = shaderManager.loadFromFiles("Quorvel.vert", "Quorvel.frag");
  if (!cloudShader) return false;
  createPermTexture(&permTextureId);
  return createGradTexture(&gradTextureId);
}

// One frame; false once the user has asked to quit.
bool runFrame() {
  updateFrameRate();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setupCamera();
  drawScene();
  swapBuffers();
  // Input is read after the swap, so a drag shows from the next frame on.
  readMouse();
  return !escapePressed() && windowOpened() && !quitSignalled;
}

}  // namespace

int main() {
  // Initialization: everything written to the standard output stream goes to
  // the log. The console buffer must be back before the log file closes.
  std::ofstream log;
  if (!isFifo(kLogFile)) log.open(kLogFile);
  std::streambuf* consoleBuffer = std::cout.rdbuf(log.rdbuf());

  glfwInit();
  if (!openWindow()) {
    glfwTerminate();
    std::cout.rdbuf(consoleBuffer);
    log.close();
    return 1;
  }
  bool prepared = prepareScene();
  if (prepared) {
    glfwSwapInterval(0);
    glfwSetInputMode(window, GLFW_STICKY_KEYS, GLFW_TRUE);

    // Main loop
    catchQuitSignal(SIGINT);
    catchQuitSignal(SIGTERM);
    bool running = true;
    while (running) running = runFrame();
  }

  // De-initialization
  std::cout.rdbuf(consoleBuffer);
  glfwTerminate();
  log.close();
  return prepared ? 0 : 1;
}
