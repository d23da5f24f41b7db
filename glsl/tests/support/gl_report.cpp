// Prints what the library writes at start-up on the GL it is given, so that
// tests can run it under Mesa's switches for other GLs. With the argument
// "probe-first" the shading-language probe comes before the loader's start.
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstring>

#include "glsl.h"
#include "hidden_context.h"

int main(int argc, char** argv) {
  if (!openHiddenContext()) return 1;
  bool probeFirst = argc > 1 && std::strcmp(argv[1], "probe-first") == 0;
  if (probeFirst) probeGLSL();
  initGLExtensions();
  glfwTerminate();
  return 0;
}
