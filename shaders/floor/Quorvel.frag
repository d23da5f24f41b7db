#ifdef GL_ES
// WebGL 1 has no default float precision in the fragment stage, and the
// stages' default int precisions differ there.
precision highp float;
precision highp int;
#endif
// The floor, a pass-through pair, fragment stage: one constant colour, the
// cheapest fragment there is, so that the pair's frame costs only the
// geometry, the rasterising and the blending that every pair pays for.
void main() { gl_FragColor = vec4(0.9, 0.9, 0.9, 0.5); }
