#ifdef GL_ES
// WebGL 1: the depth write is an extension there, and the stages' default
// int precisions differ, which no uniform that both use could link with.
#extension GL_EXT_frag_depth : enable
precision highp float;
precision highp int;
#define gl_FragDepth gl_FragDepthEXT
#endif
// Cloud slices, fragment stage: adds one fine octave of billows to the
// shape that the vertex stage interpolates, read like the lumps where the
// point's normal line meets the base shape, integrates the density over the
// slab of depth that this slice stands for, and shades it with the sun and
// sky light of the vertex stage.
//
// Across one slab the depth inside the cloud changes almost linearly, so
// the slab's mean density has a closed form; summed over the stack, the
// slabs cover each ray without gaps, and neither rings nor per-pixel
// jitter come into the picture.
uniform int useNoise;
uniform sampler2D permTexture;

varying vec3 volumePoint;
varying vec3 surfaceNormal;
varying vec3 rayAcross;
varying vec4 shapeRamp;
varying vec4 lumpField;
varying vec2 lightShares;
varying float sliceDepth;

const float TEXEL = 1.0 / 256.0;
// Texture bytes hold a gradient component g as g * 64 + 64.
const float GRADIENT_SCALE = 255.0 / 64.0;
// The vertex stage bounds the cloud with these, and defines them again;
// tests/pair_constants_test.cpp fails when the two stages' values differ.
const float LUMP_AMPLITUDE = 0.38;  // [0.0, 0.6]
const float LUMP_TAPER = 0.18;  // [0.05, 0.4]
const float FINE_AMPLITUDE = 0.09;  // [0.0, 0.2]
const float MAX_DEPTH_SLOPE = 2.0;
// The fine octave fades out over this depth outside the lumps' surface:
// billows on billows, not sheets lifted off them.
const float FINE_TAPER = 0.04;  // [0.01, 0.1]
// As in the vertex stage: no deeper than this are the billows read, and
// the slices lie this far apart.
const float DENSE_DEPTH = 0.12;
const float SLICE_STEP = 3.0 / 31.0;
// Creases round off within about the square root of this of the noise's
// zero, so that they are lines a few pixels wide, not the folds of a
// crumpled sheet; a billow term then reaches at most sqrt(1.04) - 0.4.
const float CREASE_ROUNDING = 0.04;  // [0.005, 0.04]
const float FINE_FREQUENCY = 5.3;  // [2.0, 10.0]
// Depth over which the cloud goes from clear to fully dense: sharp enough
// for a crisp, bright outline, wide enough for a pixel or two of fringe.
const float SOFT_EDGE = 0.015;  // [0.005, 0.05]
// Optical depth per unit of path at full density, on the way to the eye;
// the vertex stage's, for sunlight, is lower by design.
const float EXTINCTION = 40.0;  // [2.0, 100.0]
// Extra sunlight where the view grazes the cloud, and the exposure that
// rolls the brightest light off instead of clipping it to flat white.
const float RIM_GLOW = 1.5;  // [0.0, 3.0]
const float EXPOSURE = 1.0;  // [0.5, 2.0]
// The colours of the sunlight and of the sky, whose shares the vertex stage
// gives.
const vec3 SUN = vec3(1.0, 0.9, 0.74);  // [0.0, 1.0]
const vec3 SKY_ABOVE = vec3(0.24, 0.32, 0.52);  // [0.0, 1.0]
const vec3 SKY_SHADE = vec3(0.1, 0.12, 0.18);  // [0.0, 1.0]

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

// Integral of clamp(u, 0, 1) from 0 to u.
float rampIntegral(float u) {
  float c = clamp(u, 0.0, 1.0);
  return 0.5 * c * c + max(u - 1.0, 0.0);
}

// Mean density over depths -h to h around the slice, where the depth inside
// the cloud is `inside` at the slice and changes by `slope` per unit.
float slabDensity(float inside, float slope, float h) {
  float u0 = (inside - slope * h) / SOFT_EDGE;
  float u1 = (inside + slope * h) / SOFT_EDGE;
  const float tiny = 1e-4;
  return (rampIntegral(u1) - rampIntegral(u0) + tiny * clamp(inside / SOFT_EDGE, 0.0, 1.0)) / (u1 - u0 + tiny);
}

// |x|, rounded off near zero.
float softAbs(float x) { return sqrt(x * x + CREASE_ROUNDING); }

void main() {
  float detail = float(useNoise);
  // The preview draws every other slice, each standing for two.
  float slabHalfDepth = 0.5 * SLICE_STEP * (2.0 - detail);
  // Read where the normal line meets the base shape, as the lumps are.
  vec4 fine = simplexNoise((volumePoint - max(shapeRamp.x, -DENSE_DEPTH) * surfaceNormal) * FINE_FREQUENCY);
  // Kept within the noise's range, as the vertex stage's bounds assume.
  float lump = clamp(lumpField.w + 0.5 * dot(lumpField.xyz, volumePoint), -1.0, 1.0);
  float lumpBillow = softAbs(lump);
  float fineBillow = softAbs(fine.w);
  // Lumps fade out past the base shape, and with them the fine octave
  // toward the flat base; the fine octave also fades past the lumps.
  float lumpAmplitude = shapeRamp.z * clamp(1.0 - shapeRamp.x / LUMP_TAPER, 0.0, 1.0);
  float lumpy = lumpAmplitude * (lumpBillow - 0.4) - shapeRamp.x;
  float fineAmplitude =
      FINE_AMPLITUDE * shapeRamp.z / LUMP_AMPLITUDE * detail * clamp(1.0 + lumpy / FINE_TAPER, 0.0, 1.0);
  float inside = lumpy + fineAmplitude * (fineBillow - 0.4);
  // Gradients of the two billow terms.
  vec3 lumpSlope = lumpAmplitude * lump / lumpBillow * lumpField.xyz;
  vec3 fineSlope = fineAmplitude * FINE_FREQUENCY * fine.w / fineBillow * fine.xyz;
  float slope = min(abs(dot(lumpSlope + fineSlope, rayAcross) - shapeRamp.y), MAX_DEPTH_SLOPE);
  float density = slabDensity(inside, slope, slabHalfDepth);

  // Where the view grazes the cloud, sunlight scatters forward through its
  // thin outer layer to the eye: the silver lining of a cloud lit from behind.
  float grazing = 1.0 - min(abs(shapeRamp.y), 1.0);
  vec3 light = SUN * lightShares.x * (1.0 + RIM_GLOW * grazing * grazing) + mix(SKY_SHADE, SKY_ABOVE, lightShares.y);
  // Creases lie in the shade of the billows beside them.
  light *= mix(0.75, 1.0, smoothstep(0.1, 0.7, lumpBillow)) * mix(0.85, 1.0, smoothstep(0.1, 0.5, fineBillow));
  float opacity = 1.0 - exp(-EXTINCTION * 2.0 * slabHalfDepth * shapeRamp.w * density);
  gl_FragColor = vec4(1.0 - exp(-EXPOSURE * light), opacity);
#ifndef SHADE_EVERY_FRAGMENT
  // The vertex stage's clip-space depth only cuts off what is clear; depth
  // tests see the slice where it is, in the default depth range.
  gl_FragDepth = 0.5 * sliceDepth + 0.5;
#endif
}
