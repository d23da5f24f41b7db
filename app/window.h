// The window library's operations as the application relies on them: one
// 400 x 300 window whose buffer swap also processes the pending events.
#ifndef QUORVEL_WINDOW_H
#define QUORVEL_WINDOW_H

#include "build_report.h"

struct GLFWwindow;

// A window with the application's framebuffer (8-bit RGBA, 32-bit depth, no
// stencil) at any size; null when none can be made.
GLFWwindow* createWindow(int width, int height, const char* title);
// Opens the window with its GL context current; false when none can be made.
bool openWindow();
// Processes pending events, then shows the frame unless the window was closed.
void swapBuffers();
bool windowOpened();
bool leftButtonDown();
bool escapePressed();
// Saves the frame just drawn, before the swap shows it, for a press of the
// picture key (F12 on the desktop) since the last frame: one picture a frame
// until every press has its own.
void savePictureOnKey();
void getMousePos(int* x, int* y);
// The drawing area in pixels.
void getWindowSize(int* width, int* height);
// Tells the user what a build of the pair gave, where they look: the
// desktop's console, the page around the browser's canvas.
void reportBuild(const BuildReport& report);

#endif
