#include "expected_log.h"

#include <vector>

#include "gl_context.h"
#include "process.h"

namespace {

GLuint compiledShader(GLenum stage, const std::string& source) {
  useGLContext();
  GLuint shader = glCreateShader(stage);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  return shader;
}

std::string shaderLog(GLuint shader) {
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::vector<char> log(static_cast<size_t>(length) + 1, '\0');
  glGetShaderInfoLog(shader, length, nullptr, log.data());
  return log.data();
}

std::string stageName(GLenum stage) { return stage == GL_VERTEX_SHADER ? "Vertex Shader" : "Fragment Shader"; }

// The library writes a fixed text where the GL has no log to give.
std::string orStandIn(const std::string& log, const char* standIn) { return log.empty() ? standIn : log; }

}  // namespace

std::string startupReport(const std::map<std::string, std::string>& env) {
  static std::map<std::map<std::string, std::string>, std::string> reports;
  auto known = reports.find(env);
  if (known != reports.end()) return known->second;
  ProcessOptions options;
  options.setEnv = env;
  std::string report = runProcess({GL_REPORT_BINARY}, options).output;
  reports[env] = report;
  return report;
}

std::string compilerMessages(GLenum stage, const std::string& source) {
  GLuint shader = compiledShader(stage, source);
  std::string log = shaderLog(shader);
  glDeleteShader(shader);
  return log;
}

std::string linkerMessages(const std::string& vertexSource, const std::string& fragmentSource) {
  GLuint vertex = compiledShader(GL_VERTEX_SHADER, vertexSource);
  GLuint fragment = compiledShader(GL_FRAGMENT_SHADER, fragmentSource);
  GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  std::vector<char> log(static_cast<size_t>(length) + 1, '\0');
  glGetProgramInfoLog(program, length, nullptr, log.data());
  glDeleteProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  return log.data();
}

std::string compilerSection(GLenum stage, const std::string& source) {
  return "***GLSL Compiler Log (" + stageName(stage) + "):\n" +
         orStandIn(compilerMessages(stage, source), "[e06] Compiler log is not available!") + "\n";
}

std::string compilerErrorSection(GLenum stage, const std::string& source) {
  return "***COMPILER ERROR (" + stageName(stage) + "):\n" + compilerMessages(stage, source) + "\n";
}

std::string linkerSection(const std::string& vertexSource, const std::string& fragmentSource) {
  return "***GLSL Linker Log:\n" +
         orStandIn(linkerMessages(vertexSource, fragmentSource), "[e05] Linker log is not available!") + "\n";
}

std::string linkerErrorSection(const std::string& vertexSource, const std::string& fragmentSource) {
  return "**linker error**\n**LINKER ERROR\n" + linkerMessages(vertexSource, fragmentSource) + "\n";
}

std::string buildSections(const std::string& vertexSource, const std::string& fragmentSource) {
  return compilerSection(GL_VERTEX_SHADER, vertexSource) + compilerSection(GL_FRAGMENT_SHADER, fragmentSource) +
         linkerSection(vertexSource, fragmentSource);
}

std::string shippedShader(const char* name) { return readFile(std::string(QUORVEL_SHADER_DIR) + "/" + name); }

std::string buriedInLineComments(const std::string& shader, size_t bytes) {
  std::string line = "// clouds drift over the hills while the light falls through the slices\n";
  std::string half;
  while (half.size() < bytes / 2) half += line;
  return half + shader + half;
}

std::string normalLog() {
  return startupReport() + buildSections(shippedShader("Quorvel.vert"), shippedShader("Quorvel.frag"));
}
