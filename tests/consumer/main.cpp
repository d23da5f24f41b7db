// Links against the library and uses it without a GL: a manager may exist
// before any context does.
#include <glsl.h>

int main() {
  glShaderManager manager;
  bool quiet = manager.programs.empty() && !hasGLSL() && !manager.freeProgram(nullptr);
  return quiet ? 0 : 1;
}
