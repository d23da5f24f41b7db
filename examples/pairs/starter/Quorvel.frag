#ifdef GL_ES
// WebGL 1: the depth write is an extension there, and the stages' default
// int precisions differ, which no uniform that both use could link with.
#extension GL_EXT_frag_depth : enable
precision highp float;
precision highp int;
#define gl_FragDepth gl_FragDepthEXT
#endif
// The starter pair, fragment stage: adds fine billows to the lumpy shape
// that the vertex stage interpolates, integrates the density over the slab
// of depth that this slice stands for, and shades it with the vertex
// stage's light.
//
// Across one slab the depth inside the cloud changes almost linearly, so
// the slab's mean density has a closed form: summed over the stack the
// slabs cover each ray without gaps, and the slices never show as rings or
// steps, however thin or flat the cloud.
uniform int useNoise;
// The fine billows' noise gradients.
uniform sampler2D permTexture;
// Seconds on the page's clock; 0 on the desktop, which gives none.
uniform float time;

varying vec3 volumePoint;
varying vec3 rayStep;
varying vec2 shape;
varying vec4 lumpField;
varying vec2 light;
varying float sliceDepth;

// As in the vertex stage, which bounds the cloud with them.
const float SLICE_STEP = 3.0 / 31.0;
const float TEXEL = 1.0 / 256.0;
const float GRADIENT_SCALE = 255.0 / 64.0;
const float LUMP_AMPLITUDE = 0.32;
const float LUMP_TAPER = 0.16;
const float FINE_AMPLITUDE = 0.07;
const float MAX_DEPTH_SLOPE = 2.0;
const float FINE_FREQUENCY = 4.8;
const float DRIFT_SPEED = 0.05;  // [0.0, 0.2]
// Creases round off within about the square root of this of the noise's
// zero; a billow term then reaches at most sqrt(1.04) - 0.4, the vertex
// stage's BILLOW_RISE.
const float CREASE_ROUNDING = 0.04;
// Depth over which the cloud goes from clear to dense, and the optical depth
// per unit of path on the way to the eye at full density.
const float SOFT_EDGE = 0.02;
const float EXTINCTION = 30.0;
// A low, golden sun and the sky's light from above and in the shade.
const vec3 SUN = vec3(1.5, 1.26, 0.93);
const vec3 SKY_ABOVE = vec3(0.3, 0.36, 0.55);
const vec3 SKY_SHADE = vec3(0.12, 0.13, 0.2);

vec3 cornerGradient(vec3 corner) {
  vec2 at = (vec2(corner.x + 71.0 * corner.y, corner.z) + 0.5) * TEXEL;
  return texture2D(permTexture, at).rgb * GRADIENT_SCALE - 1.0;
}

// Simplex gradient noise: xyz its gradient, w its value in -1 to 1.
vec4 simplexNoise(vec3 p) {
  vec3 cell = floor(p + dot(p, vec3(1.0 / 3.0)));
  vec3 x0 = p - cell + dot(cell, vec3(1.0 / 6.0));
  vec3 order = step(x0.yzx, x0.xyz);
  vec3 step1 = min(order, 1.0 - order.zxy);
  vec3 step2 = max(order, 1.0 - order.zxy);
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

// The fine billows ride on the vertex stage's wind and rise through the
// cloud as they grow, faster than the wind carries them.
vec3 billowShift() { return DRIFT_SPEED * time * vec3(0.96, 1.5, 0.28); }

// |x|, rounded off near zero: billows with soft creases between them.
float softAbs(float x) { return sqrt(x * x + CREASE_ROUNDING); }

// Integral of clamp(u, 0, 1) from 0 to u.
float rampIntegral(float u) {
  float c = clamp(u, 0.0, 1.0);
  return 0.5 * c * c + max(u - 1.0, 0.0);
}

// Mean density over depths -h to h around the slice, where the depth inside
// the cloud is `inside` at the slice and changes by `slope` per unit; the
// tiny terms keep a level slab (slope 0) at its value at the slice.
float slabDensity(float inside, float slope, float h) {
  float u0 = (inside - slope * h) / SOFT_EDGE;
  float u1 = (inside + slope * h) / SOFT_EDGE;
  const float tiny = 1e-4;
  return (rampIntegral(u1) - rampIntegral(u0) + tiny * clamp(inside / SOFT_EDGE, 0.0, 1.0)) / (u1 - u0 + tiny);
}

void main() {
  // The preview leaves the fine billows out, and its slices stand for two.
  float detail = float(useNoise);
  float halfDepth = 0.5 * SLICE_STEP * (2.0 - detail);
  float lump = clamp(lumpField.w + 0.5 * dot(lumpField.xyz, volumePoint), -1.0, 1.0);
  float lumpBillow = softAbs(lump);
  float lumpAmplitude = LUMP_AMPLITUDE * clamp(1.0 - shape.x / LUMP_TAPER, 0.0, 1.0);
  vec4 fine = simplexNoise((volumePoint - billowShift()) * FINE_FREQUENCY);
  float fineBillow = softAbs(fine.w);
  float fineAmplitude = FINE_AMPLITUDE * detail;
  float inside = lumpAmplitude * (lumpBillow - 0.4) + fineAmplitude * (fineBillow - 0.4) - shape.x;
  // Its change per ray step, from the interpolated slopes and the fine
  // billows' gradient.
  vec3 gradient = lumpAmplitude * lump / lumpBillow * lumpField.xyz +
                  fineAmplitude * FINE_FREQUENCY * fine.w / fineBillow * fine.xyz;
  float slope = dot(gradient, rayStep) - shape.y;
  float density = slabDensity(inside, min(abs(slope), MAX_DEPTH_SLOPE), halfDepth);
  float opacity = 1.0 - exp(-EXTINCTION * 2.0 * halfDepth * length(rayStep) * density);

  // Creases lie in the shade of the billows beside them.
  float crease = mix(0.7, 1.0, smoothstep(0.2, 0.7, lumpBillow)) * mix(0.85, 1.0, smoothstep(0.2, 0.6, fineBillow));
  vec3 lit = crease * (SUN * light.x + mix(SKY_SHADE, SKY_ABOVE, light.y));
  gl_FragColor = vec4(1.0 - exp(-lit), opacity);
#ifndef SHADE_EVERY_FRAGMENT
  // The vertex stage's clip-space depth only cuts off what is clear; the
  // depth test sees the slice where it is, in the default depth range.
  gl_FragDepth = 0.5 * sliceDepth + 0.5;
#endif
}
