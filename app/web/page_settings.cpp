#include "web/page_settings.h"

#include <emscripten.h>

#include "controls.h"
#include "scene.h"
#include "state.h"

namespace {

// Seconds as the page's clock gives them (the page plays, pauses, steps and
// speeds it); 0 until it says otherwise.
float pageSeconds = 0.0f;
GLint timeLocation = -1;
bool timeLookupDue = true;

}  // namespace

void setPageUniforms() {
  if (timeLookupDue) {
    timeLookupDue = false;
    timeLocation = cloudShader->hasUniform(kTime) ? cloudShader->getUniformLocation(kTime) : -1;
  }
  if (timeLocation != -1) glUniform1f(timeLocation, pageSeconds);
}

void notePairBuilt() { timeLookupDue = true; }

// The module's functions for the page (page_functions.js names them):
// degrees for the turn, a direction toward the sun for the light, 0 to 1
// for the sky's channels, seconds for the clock. Each takes effect at the
// next frame.
extern "C" {

EMSCRIPTEN_KEEPALIVE void quorvel_set_turn(float degreesX, float degreesY) { setTurn(degreesX, degreesY); }

EMSCRIPTEN_KEEPALIVE float quorvel_turn_x() { return angleX; }

EMSCRIPTEN_KEEPALIVE float quorvel_turn_y() { return angleY; }

EMSCRIPTEN_KEEPALIVE void quorvel_set_light(float x, float y, float z) {
  lightPosition[0] = x;
  lightPosition[1] = y;
  lightPosition[2] = z;
}

// Before the window opens, the start-up state takes the colour; after, the
// next frame's clear does.
EMSCRIPTEN_KEEPALIVE void quorvel_set_sky(float red, float green, float blue) {
  skyColour[0] = red;
  skyColour[1] = green;
  skyColour[2] = blue;
  if (window) glClearColor(red, green, blue, 0.0f);
}

EMSCRIPTEN_KEEPALIVE void quorvel_set_time(float seconds) { pageSeconds = seconds; }

// Whether the pair that drew the last frame declares `time`.
EMSCRIPTEN_KEEPALIVE int quorvel_pair_has_clock() { return timeLocation != -1 ? 1 : 0; }
}
