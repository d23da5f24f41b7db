// Shaders and GL queries shared by the shader library's tests. The queries go
// straight to the GL, so what the library reports can be checked against what
// the GL itself says.
#ifndef GLSL_TEST_GLSL_SUPPORT_H
#define GLSL_TEST_GLSL_SUPPORT_H

#include <GL/glew.h>

#include <string>
#include <vector>

#include "glsl.h"
#include "log_capture.h"

extern const char* const kGoodVertex;
extern const char* const kGoodFragment;
// A missing semicolon.
extern const char* const kBrokenVertex;
// Compiles, but calls a function that no stage defines.
extern const char* const kUnresolvedVertex;

// The compiler's messages for a source, as the GL gives them to anyone.
// Sources reach the GL as C strings, so up to their first NUL.
std::string compilerMessages(GLenum stageType, const char* source);
// The linker's messages for a program of the given stages; null leaves a
// stage out.
std::string linkerMessages(const char* vertexSource, const char* fragmentSource);
// What the library hands out and writes for those logs: the GL's text, or
// the library's stand-in when the GL has none.
std::string compilerLog(GLenum stageType, const char* source);
std::string linkerLog(const char* vertexSource, const char* fragmentSource);

// A vertex stage that tells when its destructor has run.
class TrackedVertex : public aVertexShader {
public:
  explicit TrackedVertex(bool& destroyed) : destroyed_(destroyed) { destroyed_ = false; }
  ~TrackedVertex() override { destroyed_ = true; }

private:
  bool& destroyed_;
};

std::vector<GLuint> attachedShaders(GLuint program);
GLuint currentProgram();
// Leaves no GL error pending for the next check.
void clearGLErrors();

#endif
