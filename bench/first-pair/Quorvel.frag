#version 120
// The first cloud pair that looked right, kept as the baseline of the
// benchmark: every fragment evaluates four octaves of gradient noise and
// four full-density samples toward the light, and nothing is skipped.
uniform int useNoise;
uniform sampler2D permTexture;
uniform sampler2D gradTexture;
uniform vec4 rotCol0, rotCol1, rotCol2, rotCol3;
uniform vec3 lightPos;
varying vec3 slicePoint;

const float TEXEL = 1.0 / 256.0;
const float SLICE_STEP = 3.0 / 31.0;

float smin(float a, float b, float k) {
  float h = clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
  return mix(b, a, h) - k * h * (1.0 - h);
}

float blob(vec3 q, vec4 b) { return length(q - b.xyz) - b.w; }

float shape(vec3 q) {
  float d = blob(q, vec4(0.0, -0.05, 0.0, 0.55));
  d = smin(d, blob(q, vec4(-0.5, -0.15, 0.1, 0.42)), 0.15);
  d = smin(d, blob(q, vec4(0.5, -0.12, -0.05, 0.45)), 0.15);
  d = smin(d, blob(q, vec4(0.15, 0.3, 0.05, 0.42)), 0.15);
  d = smin(d, blob(q, vec4(-0.25, 0.2, -0.15, 0.38)), 0.15);
  d = smin(d, blob(q, vec4(0.8, -0.25, 0.1, 0.28)), 0.15);
  d = smin(d, blob(q, vec4(-0.8, -0.28, -0.05, 0.26)), 0.15);
  d = smin(d, blob(q, vec4(0.0, -0.2, 0.4, 0.35)), 0.15);
  return max(d, -0.45 - q.y);
}

vec3 grad(sampler2D tex, float h, float z) {
  return texture2D(tex, vec2(h * (255.0 / 256.0) + 0.5 * TEXEL, z)).rgb * (255.0 / 64.0) - 1.0;
}

float gnoise(sampler2D gtex, vec3 p) {
  vec3 cell = floor(p);
  vec3 f = p - cell;
  vec3 c = (cell + 0.5) * TEXEL;
  float h00 = texture2D(permTexture, c.xy).a;
  float h10 = texture2D(permTexture, c.xy + vec2(TEXEL, 0.0)).a;
  float h01 = texture2D(permTexture, c.xy + vec2(0.0, TEXEL)).a;
  float h11 = texture2D(permTexture, c.xy + vec2(TEXEL, TEXEL)).a;
  float z0 = c.z, z1 = c.z + TEXEL;
  float n000 = dot(grad(gtex, h00, z0), f);
  float n100 = dot(grad(gtex, h10, z0), f - vec3(1.0, 0.0, 0.0));
  float n010 = dot(grad(gtex, h01, z0), f - vec3(0.0, 1.0, 0.0));
  float n110 = dot(grad(gtex, h11, z0), f - vec3(1.0, 1.0, 0.0));
  float n001 = dot(grad(gtex, h00, z1), f - vec3(0.0, 0.0, 1.0));
  float n101 = dot(grad(gtex, h10, z1), f - vec3(1.0, 0.0, 1.0));
  float n011 = dot(grad(gtex, h01, z1), f - vec3(0.0, 1.0, 1.0));
  float n111 = dot(grad(gtex, h11, z1), f - vec3(1.0, 1.0, 1.0));
  vec3 u = f * f * f * (f * (f * 6.0 - 15.0) + 10.0);
  vec4 nz = mix(vec4(n000, n100, n010, n110), vec4(n001, n101, n011, n111), u.z);
  vec2 ny = mix(nz.xy, nz.zw, u.y);
  return mix(ny.x, ny.y, u.x);
}

float density(vec3 q) {
  float d = -shape(q);
  if (useNoise == 1) {
    d += 0.30 * abs(gnoise(permTexture, q * 2.2 + 11.3)) - 0.12;
    d += 0.15 * abs(gnoise(permTexture, q * 4.7 + 3.1)) - 0.06;
    d += 0.07 * gnoise(permTexture, q * 9.6 + 7.7);
    d += 0.04 * gnoise(gradTexture, q * 19.0);
  } else {
    d -= 0.09;
  }
  return clamp(d * 6.0, 0.0, 1.0);
}

void main() {
  mat4 rotation = mat4(rotCol0, rotCol1, rotCol2, rotCol3);
  float jitter = fract(52.9829189 * fract(dot(gl_FragCoord.xy, vec2(0.06711056, 0.00583715)))) - 0.5;
  vec3 p = slicePoint + vec3(0.0, 0.0, jitter * SLICE_STEP);
  vec3 q = (rotation * vec4(p, 1.0)).xyz;
  float d = density(q);
  if (d <= 0.0) discard;
  vec3 toLight = mat3(rotation) * normalize(lightPos);
  float shade = density(q + toLight * 0.08) + density(q + toLight * 0.2) + density(q + toLight * 0.4) + density(q + toLight * 0.7);
  float lit = exp(-1.1 * shade);
  float sky = 0.8 + 0.25 * smoothstep(-0.7, 0.7, p.y);
  vec3 colour = mix(vec3(0.3, 0.33, 0.45), vec3(1.0, 0.98, 0.94), lit) * sky;
  gl_FragColor = vec4(colour, d * 0.6);
}
