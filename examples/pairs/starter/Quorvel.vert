// The starter pair, vertex stage: copy both files of this folder to begin a
// pair of your own. docs/pairs.md gives what the program hands a pair and
// the reason for each recipe used here. It draws one fair-weather puff lit
// by a low sun behind it: this stage works out what varies slowly enough to
// interpolate across the slice grid (the shape, its lumps, the light) and
// cuts away what holds no cloud; the fragment stage adds fine billows and
// integrates the slab of depth that its slice stands for.
//
// No #version line: the desktop reads GLSL 1.10, the page GLSL ES 1.00.
uniform float zPosition;
// 0 while the user drags the cloud: draw a cheap preview.
uniform int useNoise;
// The lumps' noise gradients. The fragment stage's fine billows take theirs
// from permTexture, another table, so that the two octaves do not repeat
// each other's pattern.
uniform sampler2D gradTexture;
// The volume's turn: slice points to the cloud's own frame.
uniform vec4 rotCol0, rotCol1, rotCol2, rotCol3;
// Toward the sun, which keeps its place beside the viewer.
uniform vec3 lightPos;
// Seconds on the page's clock, which carries the lumps on the wind. The
// desktop gives no clock: at 0 the cloud stands still.
uniform float time;

varying vec3 volumePoint;
// How the point moves along its ray for each unit that the ray comes closer
// to the eye in depth.
varying vec3 rayStep;
// x: the signed distance to the base shape; y: its change per ray step.
varying vec2 shape;
// The lump noise's gradient (xyz), and its value less half the gradient's
// product with the point (w). Across a triangle, the fragment stage's
// w + dot(xyz, point) / 2 then averages the plain interpolation of the value
// with that of each corner's tangent plane, whose errors on a curved field
// cancel to first order: the lumps stay round between vertices.
varying vec4 lumpField;
// x: the sunlight that reaches the point; y: how much sky it sees.
varying vec2 light;
// The slice's depth, which the fragment stage writes: the clip-space depth
// below is not a depth.
varying float sliceDepth;

// The scene's slices and grid. Where both stages need a constant, each keeps
// a copy: the repository's tests/pair_constants_test.cpp compares them, and
// these with the scene's.
const float SLICE_STEP = 3.0 / 31.0;
const float CELL = 3.0 / 31.0;
const float HALF_EXTENT = 1.5;
const float TEXEL = 1.0 / 256.0;
// Texture bytes hold a gradient component g as g * 64 + 64.
const float GRADIENT_SCALE = 255.0 / 64.0;
// Lumps swell the base shape by at most BILLOW_RISE of their amplitude and
// fade out over LUMP_TAPER outside it; the fine billows rise less.
const float LUMP_AMPLITUDE = 0.32;
const float LUMP_TAPER = 0.16;
const float LUMP_FREQUENCY = 2.0;
// How fast the wind carries the lumps through the shape, in volume units a
// second; the fragment stage's billows ride on it and rise.
const float DRIFT_SPEED = 0.05;  // [0.0, 0.2]
const float FINE_AMPLITUDE = 0.07;
const float BILLOW_RISE = 0.62;
// The fragment stage clamps the depth slope to this.
const float MAX_DEPTH_SLOPE = 2.0;
// Optical depth per unit of path toward the sun at full density, and the
// depth over which the shape goes from clear to dense for it.
const float EXTINCTION = 9.0;
const float LIGHT_SOFT_EDGE = 0.2;

// Distance fields as vec4s: xyz the gradient, w the distance. The smooth
// minimum's gradient is the mix of its arguments' by its weight, so the
// distance stays one that changes by no more than the distance moved.
vec4 smoothMin(vec4 a, vec4 b) {
  const float k = 0.2;
  float h = clamp(0.5 + (b.w - a.w) * (0.5 / k), 0.0, 1.0);
  return vec4(mix(b.xyz, a.xyz, h), mix(b.w, a.w, h) - k * h * (1.0 - h));
}

vec4 sphere(vec3 q, vec4 ball) {
  vec3 fromCentre = q - ball.xyz;
  float radius = length(fromCentre);
  return vec4(fromCentre / max(radius, 1e-6), radius - ball.w);
}

// A rounded puff, highest in the middle, on a flat base, well inside the unit
// sphere so that no turn brings it near the volume's faces.
vec4 baseField(vec3 q) {
  vec4 d = smoothMin(sphere(q, vec4(0.0, 0.0, 0.0, 0.58)), sphere(q, vec4(0.1, 0.46, 0.06, 0.38)));
  d = smoothMin(d, sphere(q, vec4(-0.56, -0.14, 0.12, 0.38)));
  d = smoothMin(d, sphere(q, vec4(0.54, -0.2, -0.15, 0.33)));
  return -smoothMin(-d, vec4(0.0, 1.0, 0.0, q.y + 0.4));
}

// Simplex gradient noise with gradients from gradTexture (4D ones; their
// first three components serve): xyz its gradient, w its value in -1 to 1.
// Each texture row is a shifted permutation, so (x + 71 y, z) hashes a
// lattice corner in one fetch.
vec3 cornerGradient(vec3 corner) {
  vec2 at = (vec2(corner.x + 71.0 * corner.y, corner.z) + 0.5) * TEXEL;
  return texture2D(gradTexture, at).rgb * GRADIENT_SCALE - 1.0;
}

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
  return clamp(64.0 * vec4(gradient, dot(f4, ramps)), -1.0, 1.0);
}

// How far the wind has carried the lumps by now: along x, a little toward z,
// in the cloud's own frame. The shape stays where it is.
vec3 windShift() { return DRIFT_SPEED * time * vec3(0.96, 0.0, 0.28); }

// Optical depth from q toward the sun, in units of full density: a few looks
// at the base shape, farther apart as they go.
float depthToSun(vec3 q, vec3 sunAxis) {
  float depth = 0.0;
  float t = 0.0;
  float stride = 0.08;
  for (int i = 0; i < 4; ++i) {
    t += stride;
    depth += stride * clamp(-baseField(q + sunAxis * t).w / LIGHT_SOFT_EDGE, 0.0, 1.0);
    stride *= 1.8;
  }
  return depth;
}

// Henyey-Greenstein phase, relative to light scattered every way alike, for
// the cosine between the sunlight and the way to the eye.
float phase(float cosine, float g) {
  float spread = 1.0 + g * g - 2.0 * g * cosine;
  return (1.0 - g * g) / (spread * sqrt(spread));
}

// The base distance past which no fragment can hold cloud. Inside a slab of
// half depth h the depth inside the cloud reaches at most MAX_DEPTH_SLOPE h
// beyond its value at the slice, the fine billows add their rise, and the
// lumps theirs, fading with the distance over their taper: past the bound
// the fragment stage's density is exactly zero.
float clearDistance(float halfDepth, float detail) {
  float rise = LUMP_AMPLITUDE * BILLOW_RISE;
  float reach = MAX_DEPTH_SLOPE * halfDepth + FINE_AMPLITUDE * BILLOW_RISE * detail;
  return max((rise + reach) / (1.0 + rise / LUMP_TAPER), reach);
}

void main() {
  gl_Position = ftransform();
  sliceDepth = gl_Position.z / gl_Position.w;
  // The preview draws every other slice, each standing for two: the slices
  // left out go past the far plane, and none of their work is done.
  float detail = float(useNoise);
  float slice = floor((zPosition + HALF_EXTENT) / SLICE_STEP + 0.5);
  if ((1.0 - detail) * mod(slice, 2.0) > 0.5) {
    gl_Position.z = 2.0 * gl_Position.w;
    return;
  }
  mat4 rotation = mat4(rotCol0, rotCol1, rotCol2, rotCol3);
  vec3 q = (rotation * vec4(gl_Vertex.xy, zPosition, 1.0)).xyz;
  vec4 field = baseField(q);
  // Defined ahead of the source, SHADE_EVERY_FRAGMENT turns the cull off,
  // for a reference picture that the cull must not change.
#ifndef SHADE_EVERY_FRAGMENT
  float bound = clearDistance(0.5 * SLICE_STEP * (2.0 - detail), detail);
  // The base distance changes by no more than the distance moved, so a
  // vertex this far out has every neighbour past the bound: all its
  // triangles are cut away whole, and it needs nothing else.
  if (field.w > bound + 1.415 * CELL) {
    gl_Position.z = 2.0 * gl_Position.w;
    return;
  }
  // The far plane (z = w) cuts each triangle exactly where the interpolated
  // distance crosses the bound, so the fragments beyond it, which would
  // hold no cloud, are never shaded. The fragment stage writes the slice's
  // depth in place of this one. Inside the bound z stays clear of the near
  // plane at -w: the distance is never below -1, w never below 1.5.
  gl_Position.z = gl_Position.w + field.w - bound;
#endif
  mat3 turn = mat3(rotCol0.xyz, rotCol1.xyz, rotCol2.xyz);
  vec3 fromEye = (gl_ModelViewMatrix * gl_Vertex).xyz;
  vec3 normal = field.xyz / max(length(field.xyz), 0.01);
  // The lumps are read where the point's normal line meets the base shape,
  // so along that line only the taper changes them: wherever a point outside
  // is cloud, so is the way back to the surface, and no flake floats free.
  // The wind moves the noise, never its reach: the cull's bound holds.
  vec4 lump = simplexNoise((q - field.w * normal - windShift()) * LUMP_FREQUENCY);
  vec3 lumpGradient = (lump.xyz - dot(lump.xyz, normal) * normal) * LUMP_FREQUENCY;
  volumePoint = q;
  rayStep = turn * (fromEye / fromEye.z);
  shape = vec2(field.w, dot(field.xyz, rayStep));
  lumpField = vec4(lumpGradient, lump.w - 0.5 * dot(lumpGradient, q));

  // The light travels away from lightPos; the eye sits at the origin. Light
  // scattered once leans forward, toward a viewer facing the sun, and light
  // scattered again and again spreads out and is absorbed less: the thin
  // edges glow and the thick middle stays lit.
  vec3 sunAxis = turn * normalize(lightPos);
  float depth = EXTINCTION * depthToSun(q, sunAxis);
  float cosine = dot(normalize(lightPos), normalize(fromEye));
  float sun = phase(cosine, 0.6) * exp(-depth) + 0.6 * phase(cosine, 0.2) * exp(-0.3 * depth);
  // The sky lights a point less where cloud lies above it (rotCol1 is up,
  // in the cloud's frame).
  float above = clamp(-baseField(q + rotCol1.xyz * 0.35).w / LIGHT_SOFT_EDGE, 0.0, 1.0);
  light = vec2(sun, exp(-1.6 * above));
}
