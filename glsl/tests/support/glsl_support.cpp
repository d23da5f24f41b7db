#include "glsl_support.h"

#include <utility>

const char* const kGoodVertex =
    "#version 120\n"
    "void main() { gl_Position = ftransform(); }\n";
const char* const kGoodFragment =
    "#version 120\n"
    "uniform float brightness;\n"
    "void main() { gl_FragColor = vec4(brightness); }\n";
const char* const kBrokenVertex =
    "#version 120\n"
    "void main() { gl_Position = ftransform() }\n";
const char* const kUnresolvedVertex =
    "#version 120\n"
    "vec4 shift();\n"
    "void main() { gl_Position = ftransform() + shift(); }\n";

namespace {

GLuint compiledShader(GLenum stageType, const char* source) {
  GLuint shader = glCreateShader(stageType);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  return shader;
}

// The GL counts the terminating NUL in a log's length; the text ends before it.
std::string textBeforeNul(const std::string& buffer) { return buffer.substr(0, buffer.find('\0')); }

std::string orStandIn(const std::string& log, const char* standIn) { return log.empty() ? standIn : log; }

}  // namespace

std::string compilerMessages(GLenum stageType, const char* source) {
  GLuint shader = compiledShader(stageType, source);
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<size_t>(length), '\0');
  if (length > 0) glGetShaderInfoLog(shader, length, nullptr, log.data());
  glDeleteShader(shader);
  return textBeforeNul(log);
}

std::string linkerMessages(const char* vertexSource, const char* fragmentSource) {
  GLuint program = glCreateProgram();
  const std::pair<GLenum, const char*> stages[] = {{GL_VERTEX_SHADER, vertexSource},
                                                   {GL_FRAGMENT_SHADER, fragmentSource}};
  for (const auto& [stageType, source] : stages) {
    if (!source) continue;
    GLuint shader = compiledShader(stageType, source);
    glAttachShader(program, shader);
    glDeleteShader(shader);
  }
  glLinkProgram(program);
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<size_t>(length), '\0');
  if (length > 0) glGetProgramInfoLog(program, length, nullptr, log.data());
  glDeleteProgram(program);
  return textBeforeNul(log);
}

std::string compilerLog(GLenum stageType, const char* source) {
  return orStandIn(compilerMessages(stageType, source), glslErrorTexts[6]);
}

std::string linkerLog(const char* vertexSource, const char* fragmentSource) {
  return orStandIn(linkerMessages(vertexSource, fragmentSource), glslErrorTexts[5]);
}

std::vector<GLuint> attachedShaders(GLuint program) {
  GLuint names[8] = {};
  GLsizei count = 0;
  glGetAttachedShaders(program, 8, &count, names);
  return std::vector<GLuint>(names, names + count);
}

GLuint currentProgram() {
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  return static_cast<GLuint>(program);
}

void clearGLErrors() {
  while (glGetError() != GL_NO_ERROR) {
  }
}
