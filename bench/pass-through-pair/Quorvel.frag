#version 120
// The pass-through pair, fragment stage: one constant colour, the cheapest
// fragment there is, so that the pair's frame costs only the geometry, the
// rasterising and the blending that every pair pays for.
void main() { gl_FragColor = vec4(0.9, 0.9, 0.9, 0.5); }
