#include "expected_log.h"

#include "gl_context.h"
#include "glsl_support.h"
#include "process.h"

namespace {

std::string stageName(GLenum stage) { return stage == GL_VERTEX_SHADER ? "Vertex Shader" : "Fragment Shader"; }

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

std::string compilerSection(GLenum stage, const std::string& source) {
  useGLContext();
  return "***GLSL Compiler Log (" + stageName(stage) + "):\n" + compilerLog(stage, source.c_str()) + "\n";
}

std::string compilerErrorSection(GLenum stage, const std::string& source) {
  useGLContext();
  return "***COMPILER ERROR (" + stageName(stage) + "):\n" + compilerMessages(stage, source.c_str()) + "\n";
}

std::string linkerSection(const std::string& vertexSource, const std::string& fragmentSource) {
  useGLContext();
  return "***GLSL Linker Log:\n" + linkerLog(vertexSource.c_str(), fragmentSource.c_str()) + "\n";
}

std::string linkerErrorSection(const std::string& vertexSource, const std::string& fragmentSource) {
  useGLContext();
  return "**linker error**\n**LINKER ERROR\n" + linkerMessages(vertexSource.c_str(), fragmentSource.c_str()) + "\n";
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
