// The application's state: plain globals owned by the thread that runs the
// entry function.
#ifndef QUORVEL_STATE_H
#define QUORVEL_STATE_H

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "glsl.h"

// Everything written to the standard output stream goes here for the run.
constexpr char kLogFile[] = "logfile.txt";
// The cloud shader pair, read from the working directory.
constexpr char kVertexFile[] = "Quorvel.vert";
constexpr char kFragmentFile[] = "Quorvel.frag";

extern glShaderManager shaderManager;
// Borrowed from shaderManager, which keeps it for the whole run.
extern glShader* cloudShader;
extern GLFWwindow* window;

// The volume's rotation, column-major, read by the cloud shaders.
extern float rotationMatrix[16];
extern float angleX;      // degrees, driven by vertical mouse motion
extern float angleY;      // degrees, driven by horizontal mouse motion
extern float mouseSpeed;  // degrees per pixel
extern float degToRad;

// Toward the sun, as the cloud shaders get it (lightPos), and the sky's
// colour (red, green, blue) that each frame is cleared to: fixed on the
// desktop, set by the page in the browser.
extern float lightPosition[3];
extern float skyColour[3];

extern int lastMouseX;
extern int lastMouseY;
extern bool dragging;

extern int frameCount;
extern double lastFpsTime;  // seconds on the GLFW clock
extern char titleBuffer[200];

extern GLuint permTextureId;
extern GLuint gradTextureId;

#endif
