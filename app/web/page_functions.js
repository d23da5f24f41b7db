// The program's functions for the page, by name on the module (--post-js);
// web/page_settings.cpp defines them. Each calls the program's export
// straight: Emscripten's ccall and embind functions take a call made while
// the frame loop waits for its turn (asyncify) for the one that began the
// wait, and hand out a promise that never settles in place of the result,
// taking over the entry's own.

// Degrees about the horizontal and the vertical axis, as a drag turns them.
Module['setTurn'] = function (degreesX, degreesY) {
  Module['_quorvel_set_turn'](degreesX, degreesY);
};
Module['turn'] = function () {
  return { x: Module['_quorvel_turn_x'](), y: Module['_quorvel_turn_y']() };
};
// Toward the sun, in the volume's frame as the scene's lightPos: (-1, 1, -1)
// unless the page says otherwise.
Module['setLight'] = function (x, y, z) {
  Module['_quorvel_set_light'](x, y, z);
};
// The sky's red, green and blue, 0 to 1: (0.2, 0.2, 0.8) unless the page says
// otherwise.
Module['setSky'] = function (red, green, blue) {
  Module['_quorvel_set_sky'](red, green, blue);
};
// Seconds on the page's clock, for a pair that declares `uniform float time`.
Module['setTime'] = function (seconds) {
  Module['_quorvel_set_time'](seconds);
};
// Whether the pair that drew the last frame declares `uniform float time`.
Module['pairHasClock'] = function () {
  return Module['_quorvel_pair_has_clock']() !== 0;
};
