// Draws two frames of the scene on a hidden window, the first at rest and
// the second while the volume is dragged, so that a GL call recorder can
// watch exactly what the scene sends. Each frame ends with a buffer swap,
// which marks the frame boundary in a recording.
#include "gl_context.h"
#include "scene.h"
#include "textures.h"

namespace {

// Every scene uniform feeds the colour, so the linker keeps all of them
// active and each set reaches the GL.
const char* const kVertexShader =
    "#version 120\n"
    "void main() { gl_Position = ftransform(); }\n";
const char* const kFragmentShader =
    "#version 120\n"
    "uniform float zPosition;\n"
    "uniform int useNoise;\n"
    "uniform sampler2D permTexture;\n"
    "uniform sampler2D gradTexture;\n"
    "uniform vec4 rotCol0, rotCol1, rotCol2, rotCol3;\n"
    "uniform vec3 lightPos;\n"
    "void main() {\n"
    "  vec4 noise = texture2D(permTexture, vec2(zPosition)) + texture2D(gradTexture, lightPos.xy);\n"
    "  gl_FragColor = float(useNoise) * (noise + rotCol0 + rotCol1 + rotCol2 + rotCol3);\n"
    "}\n";

// Angles and a matrix whose sixteen elements all differ, so a recording
// shows which element went where.
void startDrag() {
  dragging = true;
  angleX = 12.5f;
  angleY = -30.0f;
  for (int element = 0; element < 16; ++element) rotationMatrix[element] = 0.5f + static_cast<float>(element);
}

void drawFrame() {
  setupCamera();
  drawScene();
  glfwSwapBuffers(window);
}

}  // namespace

int main() {
  useGLContext();
  cloudShader = shaderManager.loadFromMemory(kVertexShader, kFragmentShader);
  if (!cloudShader) return 1;
  createPermTexture(&permTextureId);
  createGradTexture(&gradTextureId);
  // Closes the set-up, so the recording holds each frame as a part of its own.
  glfwSwapBuffers(window);
  drawFrame();
  startDrag();
  drawFrame();
  glfwTerminate();
  return 0;
}
