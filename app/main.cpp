// Quorvel: volumetric clouds drawn as a stack of shaded slices.
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "controls.h"
#include "scene.h"
#include "shader_reload.h"
#include "state.h"
#include "textures.h"
#include "window.h"

namespace {

// Ctrl+C, kill and a closed terminal ask the run to end; Windows has no
// terminal to close.
const int kQuitSignals[] = {
#ifdef SIGHUP
    SIGHUP,
#endif
    SIGINT, SIGTERM};

// Set by the first quit signal.
volatile sig_atomic_t quitSignalled = 0;

// The first quit signal ends the run at the end of a frame, as Escape does,
// so the log is whole; during start-up that is the first frame. A second
// one, of any kind, ends the process at once, as the signal does by default:
// a frame that never ends (a shader caught in an endless loop) cannot be left
// any other way.
void signalQuit(int number) {
  if (!quitSignalled) {
    quitSignalled = 1;
    return;
  }
  signal(number, SIG_DFL);
  raise(number);
}

#ifdef _WIN32
// The C runtime on Windows has signal() only. Its handlers are one-shot (the
// runtime puts the default back before calling one), so a second signal of
// the same kind ends the process by itself; signal() also tells what it
// replaced, so an ignored signal gets its SIG_IGN back at once.
void catchQuitSignals() {
  for (int number : kQuitSignals) {
    if (signal(number, signalQuit) == SIG_IGN) signal(number, SIG_IGN);
  }
}
#else
// A signal ignored from the start (nohup, a script's background job) stays
// ignored. The handler blocks the other quit signals, so a second signal
// always finds the first one noted.
void catchQuitSignals() {
  struct sigaction action = {};
  action.sa_handler = signalQuit;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int number : kQuitSignals) sigaddset(&action.sa_mask, number);
  for (int number : kQuitSignals) {
    struct sigaction current = {};
    if (sigaction(number, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) sigaction(number, &action, nullptr);
  }
}
#endif

// Opening a FIFO for writing waits for a reader, which may never come: it is
// a log that cannot be created, like a directory of that name.
bool isFifo(const char* path) {
  std::error_code error;
  return std::filesystem::is_fifo(path, error);
}

// When GLFW cannot start (no X server), opening the window fails next only
// for want of it: its first failure is the one that says why.
std::string windowFailure;

void noteWindowFailure(int /*code*/, const char* description) {
  if (windowFailure.empty() && description) windowFailure = description;
}

// Writing the log can fail once it is open (a full disk): the stream then
// drops every later line and the run goes on as without a log. Said once on
// the console, with the reason that trying the write again gives.
void reportLostLog(std::ofstream& log) {
  static bool reported = false;
  if (reported || !log.is_open() || !std::cout.bad()) return;
  reported = true;
  errno = 0;
  log.flush();
  std::cerr << "quorvel: cannot write " << kLogFile << ": " << (errno != 0 ? std::strerror(errno) : "the write failed")
            << std::endl;
}

// The GL state, the shader program and the noise textures; false when the
// program or a texture cannot be made. A failed build says why itself.
bool prepareScene() {
  initGLState();
  initGLExtensions();
  if (!loadCloudShader()) return false;
  createPermTexture(&permTextureId);
  if (createGradTexture(&gradTextureId)) return true;
  std::cerr << "quorvel: this GL cannot switch texture units, and the clouds need two" << std::endl;
  return false;
}

// One frame; false once the user has asked to quit.
bool runFrame() {
  updateFrameRate();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setupCamera();
  drawScene();
  savePictureOnKey();
  swapBuffers();
  // Input is read after the swap, so a drag shows from the next frame on;
  // so does an edited shader pair.
  readMouse();
  reloadEditedShaders();
  return !escapePressed() && windowOpened() && !quitSignalled;
}

}  // namespace

int main() {
  // Initialization: everything written to the standard output stream goes to
  // the log. The console buffer must be back before the log file closes.
  std::ofstream log;
  if (!isFifo(kLogFile)) log.open(kLogFile);
  std::streambuf* consoleBuffer = std::cout.rdbuf(log.rdbuf());
  catchQuitSignals();

  glfwSetErrorCallback(noteWindowFailure);
  glfwInit();
  if (!openWindow()) {
    std::cerr << "quorvel: cannot open a window: " << (windowFailure.empty() ? "no reason given" : windowFailure)
              << std::endl;
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
    bool running = true;
    while (running) {
      running = runFrame();
      reportLostLog(log);
    }
  }

  // De-initialization: the stream's state goes with its buffer.
  reportLostLog(log);
  std::cout.rdbuf(consoleBuffer);
  glfwTerminate();
  log.close();
  return prepared ? 0 : 1;
}
