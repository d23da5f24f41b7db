// A GL context for tests: one hidden GLFW window per test binary, made
// current on first use, with the extension loader and the shading-language
// probe already run.
#ifndef QUORVEL_TEST_GL_CONTEXT_H
#define QUORVEL_TEST_GL_CONTEXT_H

#include <string>

#include "log_capture.h"
#include "state.h"

// Makes the shared context current; the application's `window` points at it.
// What the start-up wrote to the log is returned the first time only.
std::string useGLContext();
// Makes a hidden window with a current GL context, without starting the
// shading-language library: for helper programs that start it themselves.
bool openHiddenContext();

#endif
