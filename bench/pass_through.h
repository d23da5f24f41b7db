// The pass-through pair: the cloud pair's uniforms, all of them active,
// and one constant colour. The benchmark times the
// floor of any pair with it, the tests draw flat slices with its vertex stage, and the
// browser check reads it from here.
#ifndef QUORVEL_PASS_THROUGH_H
#define QUORVEL_PASS_THROUGH_H

const char* const kPassThroughVertex = R"(#version 120
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
)";

const char* const kPassThroughFragment = R"(#version 120
void main() { gl_FragColor = vec4(0.9, 0.9, 0.9, 0.5); }
)";

#endif
