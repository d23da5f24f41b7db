#version 120
uniform float zPosition;
uniform int useNoise;
uniform sampler2D permTexture;
uniform sampler2D gradTexture;
uniform vec4 rotCol0, rotCol1, rotCol2, rotCol3;
uniform vec3 lightPos;
varying vec3 volumePoint;
void main() {
  mat4 rotation = mat4(rotCol0, rotCol1, rotCol2, rotCol3);
  vec3 p = (rotation * vec4(volumePoint.xy, zPosition, 1.0)).xyz;
  float n = texture2D(permTexture, p.xy * 0.5).a + texture2D(gradTexture, p.yz).r;
  float density = max(0.0, 1.0 - length(p)) * (useNoise == 1 ? n : 1.0);
  gl_FragColor = vec4(vec3(0.5) + 0.5 * dot(normalize(lightPos), normalize(p)), density * 0.1);
}
