#include "state.h"

// Defined in this order so that degToRad is set before the manager is built.
float degToRad = 3.1415927f * (1.0f / 180.0f);
glShaderManager shaderManager;
glShader* cloudShader = nullptr;
GLFWwindow* window = nullptr;

float rotationMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
float angleX = 0.0f;
float angleY = 0.0f;
float mouseSpeed = 0.2f;
float lightPosition[3] = {-1.0f, 1.0f, -1.0f};
float skyColour[3] = {0.2f, 0.2f, 0.8f};

int lastMouseX = 0;
int lastMouseY = 0;
bool dragging = false;

int frameCount = 0;
double lastFpsTime = 0.0;
char titleBuffer[200] = "";

GLuint permTextureId = 0;
GLuint gradTextureId = 0;
