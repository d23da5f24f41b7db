// A turning triangle drawn through a program that the shader library builds
// from two sources in memory, with its angle set as a uniform every frame.
// The library writes its log to std::cout, which goes to triangle.log here.
//
// Usage: triangle [FRAMES]   stops after FRAMES frames; without, at Escape or
//                            when the window is closed.
#include <GL/glew.h>     // GL entry points; before GLFW's header, which would include gl.h
#include <GLFW/glfw3.h>  // window, context and input
#include <glsl.h>        // the shader library

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

const char* const kLogPath = "triangle.log";
const char* const kUsage = "usage: triangle [FRAMES]   FRAMES: how many frames to draw, a positive whole number";

const char* const kVertexShader = R"(#version 110
uniform float angle;
void main() {
  float c = cos(angle);
  float s = sin(angle);
  gl_Position = vec4(mat2(c, s, -s, c) * gl_Vertex.xy, 0.0, 1.0);
}
)";

const char* const kFragmentShader = R"(#version 110
void main() {
  gl_FragColor = vec4(1.0, 0.6, 0.1, 1.0);
}
)";

const GLfloat kVertices[] = {-0.6f, -0.4f, 0.6f, -0.4f, 0.0f, 0.6f};

// The frames asked for on the command line: 0 when none are (run until
// Escape), -1 for anything but one positive decimal number.
long framesAsked(int argc, char** argv) {
  if (argc == 1) return 0;
  const char* text = argv[1];
  if (argc > 2 || !std::isdigit(static_cast<unsigned char>(text[0]))) return -1;
  char* end = nullptr;
  errno = 0;
  long frames = std::strtol(text, &end, 10);
  return *end == '\0' && errno == 0 && frames > 0 ? frames : -1;
}

// A FIFO would hold the open until a reader comes, so it counts as a log
// that cannot be written.
bool openLog(std::ofstream& log) {
  std::error_code ignored;
  if (!std::filesystem::is_fifo(kLogPath, ignored)) log.open(kLogPath);
  return log.is_open();
}

// Why writing the log failed (a full disk): trying the write again tells.
const char* logFailure(std::ofstream& log) {
  errno = 0;
  log.flush();
  return errno != 0 ? std::strerror(errno) : "the write failed";
}

// GLFW's own words for its last failure.
const char* windowFailure() {
  const char* description = nullptr;
  glfwGetError(&description);
  return description ? description : "no reason given";
}

}  // namespace

int main(int argc, char** argv) {
  // Initialization
  long maxFrames = framesAsked(argc, argv);
  if (maxFrames < 0) {
    std::cerr << kUsage << "\n";
    return 2;
  }
  std::ofstream log;
  bool logged = openLog(log);
  if (!logged) std::cerr << "triangle: cannot write " << kLogPath << "; running without the shader library's log\n";
  std::streambuf* console = std::cout.rdbuf(log.rdbuf());

  glShaderManager shaders;
  glShader* program = nullptr;
  GLFWwindow* window = glfwInit() ? glfwCreateWindow(640, 480, "Shader library triangle", nullptr, nullptr) : nullptr;
  if (window) {
    glfwMakeContextCurrent(window);
    initGLExtensions();
    program = shaders.loadFromMemory(kVertexShader, kFragmentShader);
  } else {
    std::cerr << "triangle: cannot open a window: " << windowFailure() << "\n";
  }

  // Main loop
  for (long frame = 0; program && !glfwWindowShouldClose(window) && (maxFrames == 0 || frame < maxFrames); ++frame) {
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT);

    program->bind();
    program->setUniform1f("angle", static_cast<GLfloat>(glfwGetTime()));
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, kVertices);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glDisableClientState(GL_VERTEX_ARRAY);
    program->unbind();

    glfwSwapBuffers(window);
    glfwPollEvents();
    if (glfwGetKey(window, GLFW_KEY_ESCAPE) == GLFW_PRESS) glfwSetWindowShouldClose(window, GLFW_TRUE);
  }

  // De-initialization: the program goes while its GL context still exists
  int status = program ? EXIT_SUCCESS : EXIT_FAILURE;
  shaders.freeProgram(program);
  glfwTerminate();
  // A failed write shows in the stream's state, which goes with its buffer.
  bool logWritten = logged && !std::cout.bad();
  std::cout.rdbuf(console);
  if (logged && !logWritten) std::cerr << "triangle: cannot write " << kLogPath << ": " << logFailure(log) << "\n";
  if (window && logWritten) std::cout << "The shader library's log is in " << kLogPath << "\n";
  return status;
}
