#version 110
// Cloud slices, fragment stage: adds the fine octaves to the depth that the
// vertex stage interpolates, then lights the point and gives it the opacity
// of one slice.
//
// On llvmpipe, Mesa's software GL, an `if` runs both sides and a discard
// saves no work; only a loop stops early, once every pixel of a batch has
// left it. So the
// octaves sit in a loop that ends where they cannot change the result, and
// the preview gives that loop no turns at all.
uniform int useNoise;
uniform sampler2D permTexture;
uniform vec4 rotCol1, rotCol2;
uniform float zPosition;

varying vec3 volumePoint;
varying vec3 cloudDepth;
varying vec3 lumpSlope;
varying vec3 lightAxis;

const float SLICE_STEP = 3.0 / 31.0;
const float TEXEL = 1.0 / 256.0;
// Texture bytes hold a gradient component g as g * 64 + 64.
const float GRADIENT_SCALE = 255.0 / 64.0;
// Depth over which the cloud goes from clear to fully dense.
const float SOFT_EDGE = 0.14;
// Two octaves, the second at half this amplitude; the vertex stage's
// FINE_RISE bound depends on it.
const float FINE_AMPLITUDE = 0.09;
const float FINE_FREQUENCY = 4.7;
const float OPACITY = 0.55;

// A hash of the pixel and the slice in [0, 1). The sample depth spreads over
// one slice spacing so that the slices do not show as contour rings; a new
// pattern for every slice lets the stack average the grain out.
float pixelJitter() {
  vec3 p = fract(vec3(gl_FragCoord.xy, zPosition * 31.0) * vec3(0.1031, 0.1030, 0.0973));
  p += dot(p, p.yzx + 33.33);
  return fract((p.x + p.y) * p.z);
}

// Gradient of a 3D lattice corner in one fetch: each texture row is a
// shifted permutation, so (x + 71 y, z) hashes the corner with no repeat
// closer than 16 cells.
vec3 cornerGradient(vec3 corner) {
  vec2 at = (vec2(corner.x + 71.0 * corner.y, corner.z) + 0.5) * TEXEL;
  return texture2D(permTexture, at).rgb * GRADIENT_SCALE - 1.0;
}

// Simplex gradient noise: xyz its gradient, w its value in -1 to 1.
vec4 simplexNoise(vec3 p) {
  vec3 cell = floor(p + dot(p, vec3(1.0 / 3.0)));
  vec3 x0 = p - cell + dot(cell, vec3(1.0 / 6.0));
  vec3 order = step(x0.yzx, x0.xyz);
  vec3 rest = 1.0 - order;
  vec3 step1 = min(order, rest.zxy);
  vec3 step2 = max(order, rest.zxy);
  vec3 x1 = x0 - step1 + 1.0 / 6.0;
  vec3 x2 = x0 - step2 + 1.0 / 3.0;
  vec3 x3 = x0 - 0.5;
  vec3 g0 = cornerGradient(cell);
  vec3 g1 = cornerGradient(cell + step1);
  vec3 g2 = cornerGradient(cell + step2);
  vec3 g3 = cornerGradient(cell + 1.0);
  vec4 falloff = max(0.5 - vec4(dot(x0, x0), dot(x1, x1), dot(x2, x2), dot(x3, x3)), 0.0);
  vec4 ramps = vec4(dot(g0, x0), dot(g1, x1), dot(g2, x2), dot(g3, x3));
  vec4 f2 = falloff * falloff;
  vec4 f4 = f2 * f2;
  vec4 k = -8.0 * f2 * falloff * ramps;
  vec3 gradient = f4.x * g0 + f4.y * g1 + f4.z * g2 + f4.w * g3 + k.x * x0 + k.y * x1 + k.z * x2 + k.w * x3;
  return clamp(76.0 * vec4(gradient, dot(f4, ramps)), -1.0, 1.0);
}

void main() {
  float dz = (pixelJitter() - 0.5) * SLICE_STEP;
  vec3 q = volumePoint + rotCol2.xyz * dz;
  float inside = cloudDepth.x + cloudDepth.y * dz;
  vec3 slope = lumpSlope;

  // Billowing octaves. `rise` and `fall` are the most that the octaves still
  // to come can add or take: past them the point stays clear or dense.
  float amplitude = FINE_AMPLITUDE;
  float frequency = FINE_FREQUENCY;
  float rise = 0.6 * 1.5 * FINE_AMPLITUDE;
  float fall = 0.4 * 1.5 * FINE_AMPLITUDE;
  int octaves = 2 * useNoise;
  for (int i = 0; i < octaves; ++i) {
    if (inside - fall > SOFT_EDGE || inside + rise < 0.0) break;
    vec4 n = simplexNoise(q * frequency + float(i) * vec3(7.31, 3.17, 5.41));
    inside += amplitude * (abs(n.w) - 0.4);
    slope += amplitude * frequency * sign(n.w) * n.xyz;
    rise -= 0.6 * amplitude;
    fall -= 0.4 * amplitude;
    amplitude *= 0.5;
    frequency *= 2.13;
  }

  float density = clamp(inside / SOFT_EDGE, 0.0, 1.0);
  float sun = exp(-4.0 * clamp(cloudDepth.z, 0.0, 0.6));
  // Lumps turned toward the light catch more of it, lumps turned up more of
  // the sky's light.
  vec3 outward = -normalize(slope + vec3(0.0, 0.0, 1e-4));
  float facing = 0.5 + 0.5 * dot(outward, lightAxis);
  float sky = 0.5 + 0.5 * dot(outward, rotCol1.xyz);
  vec3 ambient = mix(vec3(0.22, 0.25, 0.36), vec3(0.6, 0.64, 0.76), sky);
  vec3 colour = ambient + vec3(0.75, 0.72, 0.66) * sun * facing;
  // Thin edges let the light through.
  colour += (1.0 - density) * 0.2 * sun;
  gl_FragColor = vec4(colour, density * OPACITY);
}
