// The application's tests' GL context: the binary's one hidden window
// (hidden_context.h) with the application's framebuffer, the library started.
#ifndef QUORVEL_TEST_GL_CONTEXT_H
#define QUORVEL_TEST_GL_CONTEXT_H

#include "hidden_context.h"
#include "log_capture.h"
#include "state.h"

// Makes the shared context current; the application's `window` points at it.
void useGLContext();

#endif
