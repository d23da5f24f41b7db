// A GL context for tests: one hidden GLFW window per test binary, made
// current on first use, with the extension loader and the shading-language
// probe already run.
#ifndef QUORVEL_TEST_GL_CONTEXT_H
#define QUORVEL_TEST_GL_CONTEXT_H

#include <iostream>
#include <sstream>
#include <string>

#include "state.h"

// Makes the shared context current; the application's `window` points at it.
// What the start-up wrote to the log is returned the first time only.
std::string useGLContext();

// Everything written to the standard output stream while it lives.
class CoutCapture {
public:
  CoutCapture() : saved_(std::cout.rdbuf(text_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(saved_); }
  CoutCapture(const CoutCapture&) = delete;
  CoutCapture& operator=(const CoutCapture&) = delete;
  std::string str() const { return text_.str(); }

private:
  std::ostringstream text_;
  std::streambuf* saved_;
};

#endif
