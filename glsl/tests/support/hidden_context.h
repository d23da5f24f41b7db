// A GL context for tests: one hidden GLFW window per test binary, made
// current on first use, with the extension loader and the shading-language
// probe already run.
#ifndef GLSL_TEST_HIDDEN_CONTEXT_H
#define GLSL_TEST_HIDDEN_CONTEXT_H

struct GLFWwindow;

// Makes a window of its own framebuffer, or null; the window hints set
// before it (hidden) stay in force.
using WindowMaker = GLFWwindow* (*)(int width, int height, const char* title);

// Makes a hidden 400 x 300 window with a current GL context, without
// starting the library: for helper programs that start it themselves. The
// framebuffer is GLFW's default unless `make` gives another. Null when no
// window can be made.
GLFWwindow* openHiddenContext(WindowMaker make = nullptr);
// Makes the binary's shared context current, opening it on first use, and
// keeps what the library's start-up writes out of the test's output. Ends the
// binary when there is no display.
GLFWwindow* useHiddenContext(WindowMaker make = nullptr);

#endif
