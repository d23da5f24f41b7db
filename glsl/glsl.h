// A small layer over the GL shading-language entry points: capability checks
// and GL error reports, shader stage objects, linked program objects with
// uniform access by name, and a manager that builds and keeps programs.
//
// Everything is written to the standard output stream; every call belongs to
// the thread that owns the current GL context. Failures are reported through
// results and log lines, never through exceptions.
#ifndef GLSL_H
#define GLSL_H

#include <GL/glew.h>

#include <cstdint>
#include <string>
#include <vector>

// The GL extension loader has been initialised.
extern bool extensionsReady;
// The shading language may be used; gates every GL operation of the library.
extern bool glslAvailable;

// Fixed texts handed out by the log queries when there is no GL log to give.
extern const char* const glslErrorTexts[8];

// Initialises the extension loader once, writes the GL implementation report
// and probes for the shading language.
bool initGLExtensions();
// Decides whether the shading language is available, writing what it finds.
bool probeGLSL();
bool hasGLSL();
bool hasGL2();
// Drains the GL error queue into the log; true when an error was written.
bool reportGLErrors(const char* file, int line);

// One shader stage: its source text, GL shader object and compiler log.
class glShaderObject {
public:
  glShaderObject();
  virtual ~glShaderObject();

  // 0 on success, -1 the file cannot be opened (missing or not a regular
  // file), -2 the file is empty, -3 no buffer for its text.
  int loadFromFile(const char* path);
  // Points at text that the caller keeps alive; the text is not copied.
  void setSource(const char* text);
  bool compile();
  // The GL compiler log, or one of glslErrorTexts when there is none.
  const char* getCompilerLog();
  // -1 without a GL call while the shading language is unavailable.
  GLint getAttribLocation(const char* name);

  int32_t stage;
  GLhandleARB handle;
  const char* source;
  char* compiler_log;
  bool compiled;
  bool owns_source;
};

class aVertexShader : public glShaderObject {
public:
  aVertexShader();
};

class aFragmentShader : public glShaderObject {
public:
  aFragmentShader();
};

// One GL program object built from stage objects.
class glShader {
public:
  glShader();
  virtual ~glShader();

  void addObject(glShaderObject* object);
  bool link();
  // The GL linker log, or one of glslErrorTexts when there is none.
  const char* getLinkerLog();
  void bind();
  void unbind();

  // -1 when the name is not found (a null name never is), or without a GL
  // call while the shading language is unavailable.
  GLint getUniformLocation(const char* name);
  // Whether the linked program holds an active uniform of that name, asked
  // without a log line: for a caller that tells its user once, at a load,
  // what each set would report.
  bool hasUniform(const char* name);

  bool setUniform1f(const char* name, GLfloat x);
  bool setUniform2f(const char* name, GLfloat x, GLfloat y);
  bool setUniform3f(const char* name, GLfloat x, GLfloat y, GLfloat z);
  bool setUniform4f(const char* name, GLfloat x, GLfloat y, GLfloat z, GLfloat w);
  bool setUniform1i(const char* name, GLint x);
  bool setUniform2i(const char* name, GLint x, GLint y);
  bool setUniform3i(const char* name, GLint x, GLint y, GLint z);
  bool setUniform4i(const char* name, GLint x, GLint y, GLint z, GLint w);
  bool setUniform1fv(const char* name, GLsizei count, const GLfloat* values);
  bool setUniform2fv(const char* name, GLsizei count, const GLfloat* values);
  bool setUniform3fv(const char* name, GLsizei count, const GLfloat* values);
  bool setUniform4fv(const char* name, GLsizei count, const GLfloat* values);
  bool setUniform1iv(const char* name, GLsizei count, const GLint* values);
  bool setUniform2iv(const char* name, GLsizei count, const GLint* values);
  bool setUniform3iv(const char* name, GLsizei count, const GLint* values);
  bool setUniform4iv(const char* name, GLsizei count, const GLint* values);
  bool setUniformMatrix2fv(const char* name, GLsizei count, bool transpose, const GLfloat* values);
  bool setUniformMatrix3fv(const char* name, GLsizei count, bool transpose, const GLfloat* values);
  bool setUniformMatrix4fv(const char* name, GLsizei count, bool transpose, const GLfloat* values);

  void getUniformfv(const char* name, GLfloat* values);
  void getUniformiv(const char* name, GLint* values);

  bool setVertexAttrib1f(GLuint index, GLfloat x);
  bool setVertexAttrib2f(GLuint index, GLfloat x, GLfloat y);
  bool setVertexAttrib3f(GLuint index, GLfloat x, GLfloat y, GLfloat z);
  bool setVertexAttrib4f(GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w);

  GLuint handle;
  char* link_log;
  bool linked;
  std::vector<glShaderObject*> objects;
  bool owns_objects;
  bool enabled;
};

// The step at which a load gave up: a file that cannot be read, a stage that
// does not compile, a pair that does not link.
enum class glLoadFailure { none, vertexFile, fragmentFile, vertexCompile, fragmentCompile, link };

// Builds programs from a vertex and a fragment shader and keeps them.
class glShaderManager {
public:
  glShaderManager();
  virtual ~glShaderManager();

  // Either path or source may be null for an absent stage. The result is
  // owned by the manager; null when the program could not be built.
  glShader* loadFromFiles(const char* vertexPath, const char* fragmentPath);
  // The texts are not copied: they must outlive the program.
  glShader* loadFromMemory(const char* vertexSource, const char* fragmentSource);
  // Destroys a program that this manager built; false when it is not ours.
  bool freeProgram(glShader* program);

  std::vector<glShader*> programs;
  // Why the last load returned null; none after one that built its program.
  glLoadFailure last_failure = glLoadFailure::none;
  // The GL's messages for the step that stopped the last load: the compiler's
  // for a stage that did not compile, the linker's for a failed link; empty
  // otherwise.
  std::string last_log;
};

#endif
