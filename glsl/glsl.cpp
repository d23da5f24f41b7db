#include "glsl.h"

#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

// Every GL error report names this file and the line of the check.
#define CHECK_GL_ERRORS() reportGLErrors("glsl", __LINE__)

bool extensionsReady = false;
bool glslAvailable = false;

const char* const glslErrorTexts[8] = {
    "[e00] GLSL is not available!",
    "[e01] Not a valid program object!",
    "[e02] Not a valid object!",
    "[e03] Out of memory!",
    "[e04] Unknown compiler error!",
    "[e05] Linker log is not available!",
    "[e06] Compiler log is not available!",
    "[Empty]",
};

namespace {

enum ErrorText {
  kNoGLSL = 0,
  kNoShaderHandle = 1,
  kNoProgramHandle = 2,
  kOutOfMemory = 3,
  kNoLinkerLog = 5,
  kNoCompilerLog = 6
};

// Streaming a null character pointer would put the log stream in a failed
// state and silence everything after it.
const char* orEmpty(const GLubyte* text) { return text ? reinterpret_cast<const char*>(text) : ""; }

void writeImplementationReport() {
  std::cout << "OpenGL Vendor: " << orEmpty(glGetString(GL_VENDOR)) << "\n"
            << "OpenGL Renderer: " << orEmpty(glGetString(GL_RENDERER)) << "\n"
            << "OpenGL Version: " << orEmpty(glGetString(GL_VERSION)) << "\n\n";
}

void writeVersionLine() {
  const char* line = nullptr;
  if (GLEW_VERSION_2_0) {
    line = "OpenGL 2.0 is available!";
  } else if (GLEW_VERSION_1_5) {
    line = "OpenGL 1.5 core functions are available";
  } else if (GLEW_VERSION_1_4) {
    line = "OpenGL 1.4 core functions are available";
  } else if (GLEW_VERSION_1_3) {
    line = "OpenGL 1.3 core functions are available";
  } else if (GLEW_VERSION_1_2) {
    line = "OpenGL 1.2 core functions are available";
  }
  if (line) std::cout << line << std::endl;
}

// The log buffers are sized by the GL; a failed allocation cannot go through
// the log stream, whose own buffer may be what ran out.
char* allocateLog(GLint length) {
  char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(length)));
  if (!buffer) std::puts("ERROR: Could not allocate compiler_log buffer");
  return buffer;
}

// A null name is one that no program holds; streaming it would put the log
// stream in a failed state and silence everything after it.
void writeUniformNotFound(const char* name) {
  std::cout << "Error: can't find uniform variable \"" << (name ? name : "") << "\"\n";
}

// std::filesystem rather than stat: Windows' stat has 32-bit sizes and no
// S_ISREG.
bool isRegularFile(const char* path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// Some editors, on Windows above all, begin a UTF-8 file with a byte-order
// mark. It is no part of the text, and a GL's compiler takes it for a stray
// token: the offset past it, or 0, with the stream there.
std::streamoff textStart(std::ifstream& file) {
  char mark[3] = {};
  file.read(mark, sizeof mark);
  std::streamoff start = file.gcount() == 3 && std::memcmp(mark, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  file.clear();
  file.seekg(start, std::ios::beg);
  return start;
}

// The OpenGL 2.0 entry points that the library calls. A GL older than 2.0 may
// offer the shading language through the shader-object extension alone, so
// each is taken from the extension where the GL lacks it, once the loader has
// started. Each pair shares one signature (an extension handle is a GL 2.0
// object name here, or the pairs would not compile), and the extension's
// status and log-length queries take the same values as GL 2.0's.
struct GL2EntryPoints {
  PFNGLGETSHADERIVPROC getShaderiv;
  PFNGLCREATEPROGRAMPROC createProgram;
  PFNGLDELETEPROGRAMPROC deleteProgram;
  PFNGLATTACHSHADERPROC attachShader;
  PFNGLDETACHSHADERPROC detachShader;
  PFNGLLINKPROGRAMPROC linkProgram;
  PFNGLGETPROGRAMIVPROC getProgramiv;
  PFNGLGETPROGRAMINFOLOGPROC getProgramInfoLog;
  PFNGLUSEPROGRAMPROC useProgram;
  PFNGLGETUNIFORMLOCATIONPROC getUniformLocation;
  PFNGLUNIFORM1FPROC uniform1f;
  PFNGLUNIFORM2FPROC uniform2f;
  PFNGLUNIFORM3FPROC uniform3f;
  PFNGLUNIFORM4FPROC uniform4f;
  PFNGLUNIFORM1IPROC uniform1i;
  PFNGLUNIFORM2IPROC uniform2i;
  PFNGLUNIFORM3IPROC uniform3i;
  PFNGLUNIFORM4IPROC uniform4i;
  PFNGLUNIFORM1FVPROC uniform1fv;
  PFNGLUNIFORM2FVPROC uniform2fv;
  PFNGLUNIFORM3FVPROC uniform3fv;
  PFNGLUNIFORM4FVPROC uniform4fv;
  PFNGLUNIFORM1IVPROC uniform1iv;
  PFNGLUNIFORM2IVPROC uniform2iv;
  PFNGLUNIFORM3IVPROC uniform3iv;
  PFNGLUNIFORM4IVPROC uniform4iv;
  PFNGLUNIFORMMATRIX2FVPROC uniformMatrix2fv;
  PFNGLUNIFORMMATRIX3FVPROC uniformMatrix3fv;
  PFNGLUNIFORMMATRIX4FVPROC uniformMatrix4fv;
  PFNGLGETUNIFORMFVPROC getUniformfv;
  PFNGLGETUNIFORMIVPROC getUniformiv;
  PFNGLVERTEXATTRIB1FPROC vertexAttrib1f;
  PFNGLVERTEXATTRIB2FPROC vertexAttrib2f;
  PFNGLVERTEXATTRIB3FPROC vertexAttrib3f;
  PFNGLVERTEXATTRIB4FPROC vertexAttrib4f;
};

GL2EntryPoints gl2 = {};
// Every function that the library calls exists, in one form or the other.
bool entryPointsFound = false;

void chooseEntryPoints() {
  // The stage objects call the extension's own functions only.
  bool found = glCreateShaderObjectARB && glShaderSourceARB && glCompileShaderARB && glGetObjectParameterivARB &&
               glGetInfoLogARB && glDeleteObjectARB && glGetAttribLocationARB;
  auto either = [&found](auto core, auto extension) {
    auto chosen = core ? core : extension;
    found = found && chosen;
    return chosen;
  };
  gl2.getShaderiv = either(glGetShaderiv, glGetObjectParameterivARB);
  gl2.createProgram = either(glCreateProgram, glCreateProgramObjectARB);
  gl2.deleteProgram = either(glDeleteProgram, glDeleteObjectARB);
  gl2.attachShader = either(glAttachShader, glAttachObjectARB);
  gl2.detachShader = either(glDetachShader, glDetachObjectARB);
  gl2.linkProgram = either(glLinkProgram, glLinkProgramARB);
  gl2.getProgramiv = either(glGetProgramiv, glGetObjectParameterivARB);
  gl2.getProgramInfoLog = either(glGetProgramInfoLog, glGetInfoLogARB);
  gl2.useProgram = either(glUseProgram, glUseProgramObjectARB);
  gl2.getUniformLocation = either(glGetUniformLocation, glGetUniformLocationARB);
  gl2.uniform1f = either(glUniform1f, glUniform1fARB);
  gl2.uniform2f = either(glUniform2f, glUniform2fARB);
  gl2.uniform3f = either(glUniform3f, glUniform3fARB);
  gl2.uniform4f = either(glUniform4f, glUniform4fARB);
  gl2.uniform1i = either(glUniform1i, glUniform1iARB);
  gl2.uniform2i = either(glUniform2i, glUniform2iARB);
  gl2.uniform3i = either(glUniform3i, glUniform3iARB);
  gl2.uniform4i = either(glUniform4i, glUniform4iARB);
  gl2.uniform1fv = either(glUniform1fv, glUniform1fvARB);
  gl2.uniform2fv = either(glUniform2fv, glUniform2fvARB);
  gl2.uniform3fv = either(glUniform3fv, glUniform3fvARB);
  gl2.uniform4fv = either(glUniform4fv, glUniform4fvARB);
  gl2.uniform1iv = either(glUniform1iv, glUniform1ivARB);
  gl2.uniform2iv = either(glUniform2iv, glUniform2ivARB);
  gl2.uniform3iv = either(glUniform3iv, glUniform3ivARB);
  gl2.uniform4iv = either(glUniform4iv, glUniform4ivARB);
  gl2.uniformMatrix2fv = either(glUniformMatrix2fv, glUniformMatrix2fvARB);
  gl2.uniformMatrix3fv = either(glUniformMatrix3fv, glUniformMatrix3fvARB);
  gl2.uniformMatrix4fv = either(glUniformMatrix4fv, glUniformMatrix4fvARB);
  gl2.getUniformfv = either(glGetUniformfv, glGetUniformfvARB);
  gl2.getUniformiv = either(glGetUniformiv, glGetUniformivARB);
  gl2.vertexAttrib1f = either(glVertexAttrib1f, glVertexAttrib1fARB);
  gl2.vertexAttrib2f = either(glVertexAttrib2f, glVertexAttrib2fARB);
  gl2.vertexAttrib3f = either(glVertexAttrib3f, glVertexAttrib3fARB);
  gl2.vertexAttrib4f = either(glVertexAttrib4f, glVertexAttrib4fARB);
  entryPointsFound = found;
}

}  // namespace

bool initGLExtensions() {
  if (extensionsReady) return true;
  extensionsReady = true;
  GLenum error = glewInit();
  if (error != GLEW_OK) {
    std::cout << "Error:" << orEmpty(glewGetErrorString(error)) << std::endl;
    extensionsReady = false;
    return false;
  }
  chooseEntryPoints();
  writeImplementationReport();
  probeGLSL();
  return true;
}

bool probeGLSL() {
  if (glslAvailable) return true;
  bool loaderWasReady = extensionsReady;
  glslAvailable = true;
  // The loader's own start writes the implementation report and comes back
  // here, where it finds the flag set, so the report precedes the probe.
  if (!loaderWasReady) initGLExtensions();
  writeVersionLine();

  static const char* const required[3][2] = {
      {"GL_ARB_fragment_shader", "GL_ARB_fragment_shader extension is not available!"},
      {"GL_ARB_vertex_shader", "GL_ARB_vertex_shader extension is not available!"},
      {"GL_ARB_shader_objects", "GL_ARB_shader_objects extension is not available!"},
  };
  for (const auto& extension : required) {
    if (glewGetExtension(extension[0]) != 1) {
      std::cout << extension[1];
      glslAvailable = false;
    }
  }
  // A GL may name the extensions without offering all their functions; the
  // library then has nothing to call and refuses, rather than crash.
  if (!entryPointsFound) glslAvailable = false;
  std::cout << (glslAvailable ? "[OK] OpenGL Shading Language is available!\n\n"
                              : "[FAILED] OpenGL Shading Language is not available...\n\n");
  return glslAvailable;
}

bool hasGLSL() { return glslAvailable; }

bool hasGL2() {
  if (!extensionsReady) initGLExtensions();
  return GLEW_VERSION_2_0 == 1;
}

bool reportGLErrors(const char* file, int line) {
  bool reported = false;
  for (GLenum code = glGetError(); code != GL_NO_ERROR; code = glGetError()) {
    std::cout << "GL Error #" << code << "(" << orEmpty(gluErrorString(code)) << ") "
              << " in File " << file << " at line: " << line << std::endl;
    reported = true;
  }
  return reported;
}

// ---------------------------------------------------------------------------
// Shader stage objects

glShaderObject::glShaderObject()
    : stage(0), handle(0), source(nullptr), compiler_log(nullptr), compiled(false), owns_source(false) {}

aVertexShader::aVertexShader() {
  stage = 1;
  if (glslAvailable) {
    handle = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    CHECK_GL_ERRORS();
  }
}

aFragmentShader::aFragmentShader() {
  stage = 2;
  if (glslAvailable) {
    handle = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    CHECK_GL_ERRORS();
  }
}

glShaderObject::~glShaderObject() {
  std::free(compiler_log);
  if (source && owns_source) std::free(const_cast<char*>(source));
  // Whether or not it ever compiled, the GL object is this stage's alone: a
  // failed compile would otherwise leave one behind for every broken source.
  if (handle != 0) {
    glDeleteObjectARB(handle);
    CHECK_GL_ERRORS();
  }
}

int glShaderObject::loadFromFile(const char* path) {
  // A directory opens as a stream of "infinite" length and a FIFO blocks the
  // open until a writer comes: only regular files are shader sources.
  if (!path || !isRegularFile(path)) return -1;
  std::ifstream file(path);
  if (!file.is_open()) return -1;

  std::streamoff end = 0;
  std::streamoff start = 0;
  if (file.good()) {
    file.seekg(0, std::ios::end);
    end = file.tellg();
    file.seekg(0, std::ios::beg);
    start = textStart(file);
  }
  if (end - start <= 0) return -2;
  // The length is kept in 32 bits; a longer file is refused, not truncated.
  if (static_cast<unsigned long long>(end - start) >= UINT32_MAX) return -3;
  uint32_t length = static_cast<uint32_t>(end - start);

  if (source && owns_source) std::free(const_cast<char*>(source));
  char* text = static_cast<char*>(std::malloc(length + 1u));
  source = text;
  owns_source = text != nullptr;
  if (!text) return -3;

  // Text mode may turn several bytes into one character: the text is what is
  // read, never more than the measured length.
  uint32_t count = 0;
  for (int c = file.get(); c != std::ifstream::traits_type::eof(); c = file.get()) {
    if (count < length) text[count++] = static_cast<char>(c);
  }
  text[count] = '\0';
  return 0;
}

void glShaderObject::setSource(const char* text) {
  if (source && owns_source) std::free(const_cast<char*>(source));
  owns_source = false;
  source = text;
}

bool glShaderObject::compile() {
  if (!glslAvailable) return false;
  compiled = false;
  if (!source) return false;

  GLint length = static_cast<GLint>(std::strlen(source));
  glShaderSourceARB(handle, 1, &source, &length);
  CHECK_GL_ERRORS();
  glCompileShaderARB(handle);
  CHECK_GL_ERRORS();
  GLint status = 0;
  glGetObjectParameterivARB(handle, GL_OBJECT_COMPILE_STATUS_ARB, &status);
  CHECK_GL_ERRORS();
  compiled = status != 0;
  return compiled;
}

const char* glShaderObject::getCompilerLog() {
  if (!glslAvailable) return glslErrorTexts[kNoGLSL];
  if (handle == 0) return glslErrorTexts[kNoShaderHandle];

  GLint length = 0;
  gl2.getShaderiv(handle, GL_INFO_LOG_LENGTH, &length);
  CHECK_GL_ERRORS();
  if (length > 1) {
    std::free(compiler_log);
    compiler_log = allocateLog(length);
    if (!compiler_log) return glslErrorTexts[kOutOfMemory];
    GLsizei written = 0;
    glGetInfoLogARB(handle, length, &written, compiler_log);
    CHECK_GL_ERRORS();
  }
  return compiler_log ? compiler_log : glslErrorTexts[kNoCompilerLog];
}

GLint glShaderObject::getAttribLocation(const char* name) {
  // Before the loader starts, or without the shading language, there may be
  // no function to call.
  if (!glslAvailable) return -1;
  return glGetAttribLocationARB(handle, name);
}

// ---------------------------------------------------------------------------
// Program objects

glShader::glShader() : handle(0), link_log(nullptr), linked(false), owns_objects(false), enabled(true) {
  if (glslAvailable) {
    handle = gl2.createProgram();
  } else {
    std::cout << "**ERROR: OpenGL Shading Language is NOT available!" << std::endl;
  }
}

glShader::~glShader() {
  std::free(link_log);
  if (!glslAvailable) return;
  for (glShaderObject* object : objects) {
    gl2.detachShader(handle, object->handle);
    CHECK_GL_ERRORS();
    if (owns_objects) delete object;
  }
  gl2.deleteProgram(handle);
  CHECK_GL_ERRORS();
}

void glShader::addObject(glShaderObject* object) {
  if (!glslAvailable || !object) return;
  if (!object->compiled) {
    std::cout << "**warning** please compile program before adding object! trying to compile now...\n";
    if (!object->compile()) {
      std::cout << "...compile ERROR!\n";
      return;
    }
    std::cout << "...ok!\n";
  }
  objects.push_back(object);
}

bool glShader::link() {
  if (!glslAvailable) return false;
  if (linked) {
    std::cout << "**warning** Object is already linked, trying to link again" << std::endl;
    for (glShaderObject* object : objects) {
      gl2.detachShader(handle, object->handle);
      CHECK_GL_ERRORS();
    }
  }
  for (glShaderObject* object : objects) {
    gl2.attachShader(handle, object->handle);
    CHECK_GL_ERRORS();
  }
  gl2.linkProgram(handle);
  CHECK_GL_ERRORS();
  GLint status = 0;
  gl2.getProgramiv(handle, GL_LINK_STATUS, &status);
  CHECK_GL_ERRORS();
  if (status != 0) {
    linked = true;
    return true;
  }
  std::cout << "**linker error**\n";
  return false;
}

const char* glShader::getLinkerLog() {
  if (!glslAvailable) return glslErrorTexts[kNoGLSL];
  if (handle == 0) return glslErrorTexts[kNoProgramHandle];

  GLint length = 0;
  gl2.getProgramiv(handle, GL_INFO_LOG_LENGTH, &length);
  CHECK_GL_ERRORS();
  if (length > 1) {
    std::free(link_log);
    link_log = allocateLog(length);
    if (!link_log) return glslErrorTexts[kOutOfMemory];
    GLsizei written = 0;
    gl2.getProgramInfoLog(handle, length, &written, link_log);
    CHECK_GL_ERRORS();
  }
  return link_log ? link_log : glslErrorTexts[kNoLinkerLog];
}

void glShader::bind() {
  if (glslAvailable && handle != 0 && enabled && linked) {
    gl2.useProgram(handle);
    CHECK_GL_ERRORS();
  }
}

void glShader::unbind() {
  if (glslAvailable && enabled) {
    gl2.useProgram(0);
    CHECK_GL_ERRORS();
  }
}

GLint glShader::getUniformLocation(const char* name) {
  if (!glslAvailable) return -1;
  if (!name) {
    writeUniformNotFound(name);
    return -1;
  }
  GLint location = gl2.getUniformLocation(handle, name);
  if (location == -1) writeUniformNotFound(name);
  CHECK_GL_ERRORS();
  return location;
}

// No error report either: a GL error pending from the caller's drawing is
// left for the next check, which it would meet without this question.
bool glShader::hasUniform(const char* name) {
  if (!glslAvailable || !name) return false;
  return gl2.getUniformLocation(handle, name) != -1;
}

namespace {

// Every setter looks its uniform up by name on each call, then hands the
// location to the one GL call that differs between them.
template <typename Upload>
bool setUniform(glShader& program, const char* name, Upload upload) {
  if (!glslAvailable) return false;
  if (!program.enabled) return true;
  GLint location = program.getUniformLocation(name);
  if (location == -1) return false;
  upload(location);
  return true;
}

}  // namespace

bool glShader::setUniform1f(const char* name, GLfloat x) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform1f(at, x); });
}
bool glShader::setUniform2f(const char* name, GLfloat x, GLfloat y) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform2f(at, x, y); });
}
bool glShader::setUniform3f(const char* name, GLfloat x, GLfloat y, GLfloat z) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform3f(at, x, y, z); });
}
bool glShader::setUniform4f(const char* name, GLfloat x, GLfloat y, GLfloat z, GLfloat w) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform4f(at, x, y, z, w); });
}
bool glShader::setUniform1i(const char* name, GLint x) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform1i(at, x); });
}
bool glShader::setUniform2i(const char* name, GLint x, GLint y) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform2i(at, x, y); });
}
bool glShader::setUniform3i(const char* name, GLint x, GLint y, GLint z) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform3i(at, x, y, z); });
}
bool glShader::setUniform4i(const char* name, GLint x, GLint y, GLint z, GLint w) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform4i(at, x, y, z, w); });
}
bool glShader::setUniform1fv(const char* name, GLsizei count, const GLfloat* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform1fv(at, count, values); });
}
bool glShader::setUniform2fv(const char* name, GLsizei count, const GLfloat* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform2fv(at, count, values); });
}
bool glShader::setUniform3fv(const char* name, GLsizei count, const GLfloat* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform3fv(at, count, values); });
}
bool glShader::setUniform4fv(const char* name, GLsizei count, const GLfloat* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform4fv(at, count, values); });
}
bool glShader::setUniform1iv(const char* name, GLsizei count, const GLint* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform1iv(at, count, values); });
}
bool glShader::setUniform2iv(const char* name, GLsizei count, const GLint* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform2iv(at, count, values); });
}
bool glShader::setUniform3iv(const char* name, GLsizei count, const GLint* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform3iv(at, count, values); });
}
bool glShader::setUniform4iv(const char* name, GLsizei count, const GLint* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniform4iv(at, count, values); });
}
bool glShader::setUniformMatrix2fv(const char* name, GLsizei count, bool transpose, const GLfloat* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniformMatrix2fv(at, count, transpose, values); });
}
bool glShader::setUniformMatrix3fv(const char* name, GLsizei count, bool transpose, const GLfloat* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniformMatrix3fv(at, count, transpose, values); });
}
bool glShader::setUniformMatrix4fv(const char* name, GLsizei count, bool transpose, const GLfloat* values) {
  return setUniform(*this, name, [&](GLint at) { gl2.uniformMatrix4fv(at, count, transpose, values); });
}

namespace {

// The read-backs report neither GL errors nor a disabled program: they are
// for inspection, and a miss still reaches the GL. A null name does not.
template <typename Read>
void readUniform(GLuint program, const char* name, Read read) {
  if (!glslAvailable) return;
  if (!name) {
    writeUniformNotFound(name);
    return;
  }
  GLint location = gl2.getUniformLocation(program, name);
  if (location == -1) writeUniformNotFound(name);
  read(location);
}

}  // namespace

void glShader::getUniformfv(const char* name, GLfloat* values) {
  readUniform(handle, name, [&](GLint at) { gl2.getUniformfv(handle, at, values); });
}

void glShader::getUniformiv(const char* name, GLint* values) {
  readUniform(handle, name, [&](GLint at) { gl2.getUniformiv(handle, at, values); });
}

bool glShader::setVertexAttrib1f(GLuint index, GLfloat x) {
  if (!glslAvailable) return false;
  if (enabled) gl2.vertexAttrib1f(index, x);
  return true;
}
bool glShader::setVertexAttrib2f(GLuint index, GLfloat x, GLfloat y) {
  if (!glslAvailable) return false;
  if (enabled) gl2.vertexAttrib2f(index, x, y);
  return true;
}
bool glShader::setVertexAttrib3f(GLuint index, GLfloat x, GLfloat y, GLfloat z) {
  if (!glslAvailable) return false;
  if (enabled) gl2.vertexAttrib3f(index, x, y, z);
  return true;
}
bool glShader::setVertexAttrib4f(GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w) {
  if (!glslAvailable) return false;
  if (enabled) gl2.vertexAttrib4f(index, x, y, z, w);
  return true;
}

// ---------------------------------------------------------------------------
// Shader manager

namespace {

glShader* discard(glShaderManager& manager, glLoadFailure failure, glShader* program, glShaderObject* vertex,
                  glShaderObject* fragment, const char* log = "") {
  manager.last_failure = failure;
  manager.last_log = log;
  delete program;
  delete vertex;
  delete fragment;
  return nullptr;
}

// Compiles a given stage and writes its log section; null after writing the
// compiler-error section instead, else the GL's messages for that section.
const char* compileStage(glShaderObject* object, bool given, const char* stageName) {
  if (given && !object->compile()) {
    const char* messages = object->getCompilerLog();
    std::cout << "***COMPILER ERROR (" << stageName << "):\n" << messages << std::endl;
    return messages;
  }
  std::cout << "***GLSL Compiler Log (" << stageName << "):\n" << object->getCompilerLog() << "\n";
  return nullptr;
}

// The steps shared by both loads once the sources are in place: compile,
// attach, link, and keep the program on success.
glShader* build(glShaderManager& manager, glShader* program, glShaderObject* vertex, bool hasVertex,
                glShaderObject* fragment, bool hasFragment) {
  if (const char* messages = compileStage(vertex, hasVertex, "Vertex Shader")) {
    return discard(manager, glLoadFailure::vertexCompile, program, vertex, fragment, messages);
  }
  if (const char* messages = compileStage(fragment, hasFragment, "Fragment Shader")) {
    return discard(manager, glLoadFailure::fragmentCompile, program, vertex, fragment, messages);
  }
  if (hasVertex) program->addObject(vertex);
  if (hasFragment) program->addObject(fragment);
  if (!program->link()) {
    const char* messages = program->getLinkerLog();
    std::cout << "**LINKER ERROR\n" << messages << std::endl;
    return discard(manager, glLoadFailure::link, program, vertex, fragment, messages);
  }
  std::cout << "***GLSL Linker Log:\n" << program->getLinkerLog() << std::endl;
  manager.programs.push_back(program);
  manager.last_failure = glLoadFailure::none;
  manager.last_log.clear();
  program->owns_objects = true;
  // The program owns only the stages it holds; an absent stage's object
  // would otherwise outlive every reference to it.
  if (!hasVertex) delete vertex;
  if (!hasFragment) delete fragment;
  return program;
}

}  // namespace

glShaderManager::glShaderManager() = default;

// The programs are left alone: the manager of an application outlives its GL
// context, so no GL call may happen here.
glShaderManager::~glShaderManager() = default;

glShader* glShaderManager::loadFromFiles(const char* vertexPath, const char* fragmentPath) {
  glShader* program = new glShader;
  glShaderObject* vertex = new aVertexShader;
  glShaderObject* fragment = new aFragmentShader;
  if (vertexPath && vertex->loadFromFile(vertexPath) != 0) {
    std::cout << "error: can't load vertex shader!\n";
    return discard(*this, glLoadFailure::vertexFile, program, vertex, fragment);
  }
  if (fragmentPath && fragment->loadFromFile(fragmentPath) != 0) {
    std::cout << "error: can't load fragment shader!\n";
    return discard(*this, glLoadFailure::fragmentFile, program, vertex, fragment);
  }
  return build(*this, program, vertex, vertexPath != nullptr, fragment, fragmentPath != nullptr);
}

glShader* glShaderManager::loadFromMemory(const char* vertexSource, const char* fragmentSource) {
  glShader* program = new glShader;
  glShaderObject* vertex = new aVertexShader;
  glShaderObject* fragment = new aFragmentShader;
  if (vertexSource) vertex->setSource(vertexSource);
  if (fragmentSource) fragment->setSource(fragmentSource);
  return build(*this, program, vertex, vertexSource != nullptr, fragment, fragmentSource != nullptr);
}

bool glShaderManager::freeProgram(glShader* program) {
  for (auto entry = programs.begin(); entry != programs.end(); ++entry) {
    if (*entry == program) {
      programs.erase(entry);
      delete program;
      return true;
    }
  }
  return false;
}
