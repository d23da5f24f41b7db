// The floor, a pass-through pair, vertex stage: the slices where the scene
// puts them, and every one of the cloud pair's uniforms declared and
// active, so that a frame sets and looks up what a cloud frame does and logs
// nothing. The page's "Measure" and the benchmarks time the floor of any
// pair with this pair, and the reload test draws flat slices with this
// stage. No #version line: the desktop reads GLSL 1.10, the page GLSL ES
// 1.00, both from this same text.
uniform float zPosition;
uniform int useNoise;
uniform sampler2D permTexture;
uniform sampler2D gradTexture;
uniform vec4 rotCol0, rotCol1, rotCol2, rotCol3;
uniform vec3 lightPos;
void main() {
  gl_Position = ftransform();
  // Never taken with the values the application sets; the compiler cannot
  // know that, so every uniform stays active.
  if (useNoise > 1) {
    vec4 t = texture2DLod(permTexture, rotCol0.xy, 0.0) + texture2DLod(gradTexture, rotCol1.xy, 0.0);
    gl_Position = t + rotCol2 + rotCol3 + vec4(lightPos, zPosition);
  }
}
