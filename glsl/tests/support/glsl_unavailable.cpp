// Runs the shader library on the GL it is given and prints what it writes and
// returns, so that tests can watch it on a GL without the shading language
// (Mesa's switches only take effect in a fresh process) or without one of its
// functions (GLSL_HIDDEN_GL_FUNCTION, hidden_gl_function.c). The first line says
// whether the probe found the shading language; the start-up report itself
// is left out. Scenarios: "stage FILE", "program", "files VERT FRAG",
// "fragment-only".
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <iostream>
#include <sstream>
#include <string>

#include "glsl.h"
#include "hidden_context.h"

namespace {

const char* const kFragment = "#version 120\nvoid main() { gl_FragColor = vec4(1.0); }\n";

void startQuietly() {
  std::ostringstream discarded;
  std::streambuf* saved = std::cout.rdbuf(discarded.rdbuf());
  initGLExtensions();
  std::cout.rdbuf(saved);
  std::cout << std::boolalpha << "glsl: " << (hasGLSL() ? "available" : "unavailable") << "\n";
}

void stage(const char* path) {
  glShaderObject* vertex = new aVertexShader;
  std::cout << "handle: " << vertex->handle << "\n";
  std::cout << "load: " << vertex->loadFromFile(path) << "\n";
  std::cout << "compile: " << vertex->compile() << "\n";
  std::cout << "log: " << vertex->getCompilerLog() << "\n";
  delete vertex;
}

void program() {
  glShader* program = new glShader;
  aFragmentShader fragment;
  fragment.setSource(kFragment);
  program->addObject(&fragment);
  std::cout << "objects: " << program->objects.size() << "\n";
  std::cout << "link: " << program->link() << "\n";
  std::cout << "log: " << program->getLinkerLog() << "\n";
  program->bind();
  program->unbind();
  GLfloat matrix[16] = {};
  std::cout << "setters: " << program->setUniform1f("brightness", 1) << " " << program->setUniform4i("a", 1, 2, 3, 4)
            << " " << program->setUniform3fv("b", 1, matrix) << " "
            << program->setUniformMatrix4fv("c", 1, false, matrix) << "\n";
  std::cout << "attribute: " << program->setVertexAttrib4f(1, 1, 2, 3, 4) << "\n";
  std::cout << "locations: " << program->getUniformLocation("brightness") << " "
            << fragment.getAttribLocation("position") << "\n";
  GLfloat value = 42;
  program->getUniformfv("brightness", &value);
  std::cout << "read back: " << value << "\n";
  delete program;
}

void result(const glShaderManager& manager, const glShader* program) {
  std::cout << "result: " << (program ? "program" : "null") << "\nprograms: " << manager.programs.size() << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (!openHiddenContext() || argc < 2) return 1;
  startQuietly();

  const std::string scenario = argv[1];
  glShaderManager manager;
  if (scenario == "stage" && argc == 3) {
    stage(argv[2]);
  } else if (scenario == "program") {
    program();
  } else if (scenario == "files" && argc == 4) {
    result(manager, manager.loadFromFiles(argv[2], argv[3]));
  } else if (scenario == "fragment-only") {
    result(manager, manager.loadFromMemory(nullptr, kFragment));
  } else {
    return 2;
  }
  glfwTerminate();
  return 0;
}
