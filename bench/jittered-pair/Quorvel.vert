#version 110
// Cloud slices, vertex stage. Turns a vertex of a camera-facing slice into
// the cloud's own frame and evaluates there all that varies slowly enough to
// be interpolated across the slice grid: the base shape, its large lumps and
// the cloud toward the light. The fragment stage only adds the fine octaves,
// so most of the noise is paid 63,488 times a frame instead of once per
// fragment.
//
// GLSL 1.10, for any GL 2.0 that has a vertex texture unit (the version
// allows none; current GLs, Mesa's included, all have some).
uniform float zPosition;
uniform int useNoise;
uniform sampler2D permTexture;
uniform sampler2D gradTexture;
uniform vec4 rotCol0, rotCol1, rotCol2, rotCol3;
uniform vec3 lightPos;

varying vec3 volumePoint;
// x: how deep the point lies inside the lumpy cloud, negative outside;
// y: its change per unit of depth toward the eye; z: the depth at a point
// toward the light.
varying vec3 cloudDepth;
// Gradient of cloudDepth.x in the cloud's frame, pointing inward.
varying vec3 lumpSlope;
varying vec3 lightAxis;

const float SLICE_STEP = 3.0 / 31.0;
// Every point of a grid triangle lies within one cell diagonal of each of
// its corners.
const float CELL_DIAGONAL = 3.0 / 31.0 * 1.4143;
const float TEXEL = 1.0 / 256.0;
// Texture bytes hold a gradient component g as g * 64 + 64.
const float GRADIENT_SCALE = 255.0 / 64.0;
const float LUMP_AMPLITUDE = 0.4;
const float LUMP_FREQUENCY = 2.2;
// A billow term is |noise| - 0.4 with |noise| <= 1, so lumps raise the base
// surface by at most 0.6 of their amplitude; the fine octaves of the
// fragment stage (amplitudes 0.09 and 0.045) by at most FINE_RISE.
const float LUMP_RISE = 0.6 * LUMP_AMPLITUDE;
const float FINE_RISE = 0.6 * (0.09 + 0.045);
// The fragment stage moves each sample by up to half a slice along the
// depth slope, which is kept within +-MAX_DEPTH_SLOPE.
const float MAX_DEPTH_SLOPE = 2.0;
const float JITTER_REACH = MAX_DEPTH_SLOPE * 0.5 * SLICE_STEP;
// Without lumps a fixed billow value keeps the preview the size of the
// noisy cloud on average.
const float PREVIEW_BILLOW = -0.14;
const float LIGHT_STEP = 0.3;

float smoothUnion(float a, float b) {
  const float k = 0.15;
  float h = clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
  return mix(b, a, h) - k * h * (1.0 - h);
}

float blob(vec3 q, vec4 sphere) { return length(q - sphere.xyz) - sphere.w; }

// Signed distance to a cumulus: rounded towers on a flat base, kept inside
// the unit sphere. With lumps and octaves on top the cloud ends at most
// 1.0 + LUMP_RISE + FINE_RISE = 1.32 from the centre, so no turn of the
// volume brings it near a face of the 3 x 3 x 3 cube or the edge of a slice.
float baseShape(vec3 q) {
  float d = blob(q, vec4(0.0, -0.05, 0.0, 0.55));
  d = smoothUnion(d, blob(q, vec4(-0.5, -0.15, 0.1, 0.42)));
  d = smoothUnion(d, blob(q, vec4(0.5, -0.12, -0.05, 0.45)));
  d = smoothUnion(d, blob(q, vec4(0.15, 0.3, 0.05, 0.42)));
  d = smoothUnion(d, blob(q, vec4(-0.25, 0.2, -0.15, 0.38)));
  d = smoothUnion(d, blob(q, vec4(0.74, -0.25, 0.1, 0.26)));
  d = smoothUnion(d, blob(q, vec4(-0.74, -0.28, -0.05, 0.25)));
  d = smoothUnion(d, blob(q, vec4(0.0, -0.2, 0.4, 0.35)));
  return max(d, max(-0.45 - q.y, length(q) - 1.0));
}

// Gradient of a 4D lattice corner in one fetch: each texture row is a
// shifted permutation, so (x + 71 y, z + 37 w) hashes the corner with no
// repeat closer than 16 cells.
vec4 cornerGradient(vec4 corner) {
  vec2 at = (vec2(corner.x + 71.0 * corner.y, corner.z + 37.0 * corner.w) + 0.5) * TEXEL;
  return texture2D(gradTexture, at) * GRADIENT_SCALE - 1.0;
}

// One simplex corner's share: xyz its gradient, w its value.
vec4 cornerTerm(vec4 corner, vec4 offset) {
  float falloff = max(0.5 - dot(offset, offset), 0.0);
  vec4 g = cornerGradient(corner);
  float f2 = falloff * falloff;
  float ramp = dot(g, offset);
  return vec4(f2 * f2 * g.xyz - 8.0 * f2 * falloff * ramp * offset.xyz, f2 * f2 * ramp);
}

// Four-dimensional simplex gradient noise read on the slice w = 0.37: xyz
// its gradient, w its value in -1 to 1.
vec4 simplexNoise4(vec3 p) {
  const float skew = 0.309016994;
  const float unskew = 0.138196601;
  vec4 point = vec4(p, 0.37);
  vec4 cell = floor(point + dot(point, vec4(skew)));
  vec4 x0 = point - cell + dot(cell, vec4(unskew));
  // The simplex walks from cell toward cell + 1 along the components of x0,
  // the largest first: rank them.
  vec3 xWins = step(x0.yzw, x0.xxx);
  vec2 yWins = step(x0.zw, x0.yy);
  float zWins = step(x0.w, x0.z);
  vec4 rank = vec4(xWins.x + xWins.y + xWins.z, 1.0 - xWins.x + yWins.x + yWins.y,
                   2.0 - xWins.y - yWins.x + zWins, 3.0 - xWins.z - yWins.y - zWins);
  vec4 step1 = clamp(rank - 2.0, 0.0, 1.0);
  vec4 step2 = clamp(rank - 1.0, 0.0, 1.0);
  vec4 step3 = clamp(rank, 0.0, 1.0);
  vec4 sum = cornerTerm(cell, x0);
  sum += cornerTerm(cell + step1, x0 - step1 + unskew);
  sum += cornerTerm(cell + step2, x0 - step2 + 2.0 * unskew);
  sum += cornerTerm(cell + step3, x0 - step3 + 3.0 * unskew);
  sum += cornerTerm(cell + 1.0, x0 - 1.0 + 4.0 * unskew);
  return clamp(62.0 * sum, -1.0, 1.0);
}

// Depth inside the lumpy cloud (w) and its gradient (xyz) at q, where the
// base shape's distance is d.
vec4 lumpyDepth(vec3 q, float d) {
  const vec2 h = vec2(0.01, 0.0);
  vec3 baseSlope = (vec3(baseShape(q + h.xyy), baseShape(q + h.yxy), baseShape(q + h.yyx)) - d) / h.x;
  vec4 lumps = simplexNoise4(q * LUMP_FREQUENCY);
  // Billows: rounded lumps with creases between them.
  float billow = mix(PREVIEW_BILLOW, abs(lumps.w) - 0.4, float(useNoise));
  vec3 billowSlope = sign(lumps.w) * lumps.xyz * (LUMP_FREQUENCY * float(useNoise));
  return vec4(LUMP_AMPLITUDE * billowSlope - baseSlope, LUMP_AMPLITUDE * billow - d);
}

void main() {
  mat4 rotation = mat4(rotCol0, rotCol1, rotCol2, rotCol3);
  vec3 q = (rotation * vec4(gl_Vertex.xy, zPosition, 1.0)).xyz;
  // The light keeps its place beside the viewer while the cloud turns.
  lightAxis = mat3(rotCol0.xyz, rotCol1.xyz, rotCol2.xyz) * normalize(lightPos);
  float distance = baseShape(q);
  vec3 lightPoint = q + lightAxis * LIGHT_STEP;
  vec4 here = lumpyDepth(q, distance);
  float depthSlope = clamp(dot(here.xyz, rotCol2.xyz), -MAX_DEPTH_SLOPE, MAX_DEPTH_SLOPE);
  cloudDepth = vec3(here.w, depthSlope, lumpyDepth(lightPoint, baseShape(lightPoint)).w);
  lumpSlope = here.xyz;
  volumePoint = q;
  gl_Position = ftransform();
  // A vertex whose triangles all lie outside the cloud moves behind the far
  // plane, and a triangle with every corner there is never rasterised: the
  // cheapest fragment is the one that does not exist.
  float rise = useNoise == 1 ? LUMP_RISE + FINE_RISE : LUMP_AMPLITUDE * PREVIEW_BILLOW;
  if (distance > rise + CELL_DIAGONAL + JITTER_REACH) gl_Position.z = 2.0 * gl_Position.w;
}
