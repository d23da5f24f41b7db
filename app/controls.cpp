#include "controls.h"

#include <cmath>
#include <cstdio>

#include "state.h"
#include "window.h"

void readMouse() {
  if (leftButtonDown()) {
    // A new drag starts where the cursor is, without a jump.
    if (!dragging) getMousePos(&lastMouseX, &lastMouseY);
    dragging = true;
    updateRotation();
  } else {
    dragging = false;
  }
}

void updateRotation() {
  int x = 0;
  int y = 0;
  getMousePos(&x, &y);
  int dx = x - lastMouseX;
  lastMouseX = x;
  int dy = y - lastMouseY;
  lastMouseY = y;
  setTurn(angleX + static_cast<float>(dy) * mouseSpeed, angleY + static_cast<float>(dx) * mouseSpeed);
}

void setTurn(float degreesX, float degreesY) {
  angleX = degreesX;
  angleY = degreesY;
  // Ry(b) * Rx(a): the inverse of the turn Rx(angleX) * Ry(angleY) that the
  // axes get. The elements not written keep their identity values.
  float b = -angleY * degToRad;
  float a = -angleX * degToRad;
  float sinA = std::sin(a);
  float cosA = std::cos(a);
  float sinB = std::sin(b);
  float cosB = std::cos(b);
  rotationMatrix[0] = cosB;
  rotationMatrix[2] = -sinB;
  rotationMatrix[4] = sinA * sinB;
  rotationMatrix[5] = cosA;
  rotationMatrix[6] = sinA * cosB;
  rotationMatrix[8] = cosA * sinB;
  rotationMatrix[9] = -sinA;
  rotationMatrix[10] = cosA * cosB;
}

void updateFrameRate() {
  double now = glfwGetTime();
  double elapsed = now - lastFpsTime;
  if (elapsed > 1.0 || frameCount == 0) {
    // The first title, and any with no frames counted, shows 0.0 even when
    // the clock has not moved since the last update.
    double rate = frameCount == 0 ? 0.0 : frameCount / elapsed;
    std::snprintf(titleBuffer, sizeof titleBuffer, "Quorvel 0.1 (%.1f FPS)", rate);
    glfwSetWindowTitle(window, titleBuffer);
    frameCount = 0;
    lastFpsTime = now;
  }
  ++frameCount;
}
