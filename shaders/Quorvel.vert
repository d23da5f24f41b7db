// Cloud slices, vertex stage. Turns a vertex of a camera-facing slice into
// the cloud's own frame and evaluates there everything that varies slowly
// enough to interpolate across the slice grid: the base shape, its lumps,
// the cloud between the point and the sun, the sky the point sees, and so
// the light that reaches it. The fragment stage adds one fine octave and
// integrates the slab of cloud that its slice stands for.
//
// Both octaves of billows are read where the point's normal line meets the
// base shape's surface, so they stay the same along that line while the
// base distance grows: wherever a point outside the base shape is cloud,
// so is every point between it and the surface, and no flake of cloud can
// float free of the body.
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
// The base shape's outward normal: the billows are read at the point less
// max(distance, -DENSE_DEPTH) times it.
varying vec3 surfaceNormal;
// The part across the normal of the ray step: how the point moves along its
// ray for each unit that the ray comes closer to the eye in depth. Slices
// are planes of constant depth, so this is what crosses a slab; the billows
// change only across the normal.
varying vec3 rayAcross;
// x: signed distance to the base shape; y: its change per ray step; z: the
// lumps' amplitude; w: the length of the ray step, path per unit of depth.
varying vec4 shapeRamp;
// The lump noise's gradient (xyz) and its value less half the gradient's
// product with the point (w). Across a triangle, the fragment stage's
// w + dot(xyz, point) / 2 then averages the plain interpolation of the value
// with that of each corner's tangent plane, whose errors on a curved field
// cancel to first order: lumps stay round between vertices.
varying vec4 lumpField;
// x: the strength of the scattered sunlight; y: how much of the sky above
// the point sees, from its shade to the open sky.
varying vec2 lightShares;
// The slice's depth in normalised device coordinates, which the fragment
// stage writes: the clip-space depth below is not a depth.
varying float sliceDepth;

// The scene's slices stand SLICE_STEP apart in depth, from -HALF_EXTENT to
// HALF_EXTENT, and their grid points CELL apart across them;
// tests/pair_constants_test.cpp fails when these are not the scene's.
const float SLICE_STEP = 3.0 / 31.0;
const float CELL = 3.0 / 31.0;
const float HALF_EXTENT = 1.5;
const float TEXEL = 1.0 / 256.0;
// Texture bytes hold a gradient component g as g * 64 + 64.
const float GRADIENT_SCALE = 255.0 / 64.0;
// Lumps fade out over LUMP_TAPER outside the base shape, so that they swell
// its surface without leaving islands of cloud around it, and flatten
// toward the base, where they keep BASE_LUMPS of their amplitude.
const float LUMP_AMPLITUDE = 0.38;  // [0.0, 0.6]
const float LUMP_TAPER = 0.18;  // [0.05, 0.4]
const float LUMP_FREQUENCY = 2.1;  // [1.0, 4.0]
const float BASE_LUMPS = 0.35;  // [0.0, 1.0]
// A billow term is the rounded |noise| - 0.4 with |noise| <= 1, so it adds at
// most BILLOW_RISE of its amplitude to the depth inside the cloud. The
// fragment stage's fine octave has FINE_AMPLITUDE where the lumps have
// LUMP_AMPLITUDE, and follows theirs.
const float BILLOW_RISE = 0.62;
const float FINE_AMPLITUDE = 0.09;  // [0.0, 0.2]
// The fine octave fades out over FINE_TAPER outside the lumps' surface.
const float FINE_TAPER = 0.04;  // [0.01, 0.1]
// The base shape keeps within the unit sphere, and the lumps and the fine
// octave swell it by at most clearDistance(LUMP_AMPLITUDE, 0.0, 1.0) = 0.112,
// so no cloud lies farther than this from the centre and no turn of the
// volume brings it near a face of the 3 x 3 x 3 cube or the edge of a slice.
const float CLOUD_RADIUS = 1.13;
// Deeper than this inside the base shape the billows' creases (at most
// 0.094 deep) leave the cloud dense, so the billows are read no deeper.
const float DENSE_DEPTH = 0.12;
// The fragment stage clamps the depth slope to this, so a slab reaches at
// most this times its half depth beyond its slice.
const float MAX_DEPTH_SLOPE = 2.0;
// Optical depth per unit of path at full density, for sunlight, and the
// depth over which the cloud goes from clear to dense for it.
const float EXTINCTION = 10.0;  // [1.0, 30.0]
const float LIGHT_SOFT_EDGE = 0.2;  // [0.05, 0.5]

// Distance fields below are vec4s: xyz the gradient, w the distance. The
// smooth minimum's gradient is exactly the mix of its arguments' gradients
// by its weight; where only the distance is used, the compiler drops the
// gradient's arithmetic. The shape is evaluated up to 19 times a vertex, and
// the compiler keeps a division by a constant as a division: the hot paths
// multiply by the reciprocal instead.
vec4 smoothMin(vec4 a, vec4 b) {
  const float k = 0.15;
  float gap = b.w - a.w;
  float h = clamp(0.5 + gap * (0.5 / k), 0.0, 1.0);
  // The distance is mix(b.w, a.w, h) - k h (1 - h), in one product.
  return vec4(mix(b.xyz, a.xyz, h), b.w - h * (gap + k - k * h));
}

// At the very centre the gradient is left at zero, not undefined: a mix
// weighs undefined values in even where its weight is nought.
vec4 blob(vec3 q, vec4 sphere) {
  vec3 fromCentre = q - sphere.xyz;
  float radius = length(fromCentre);
  return vec4(fromCentre / max(radius, 1e-6), radius - sphere.w);
}

// Signed distance to a cumulus, and its gradient: rounded towers on a flat
// base, kept inside the unit sphere.
vec4 baseField(vec3 q) {
  vec4 d = blob(q, vec4(0.0, -0.05, 0.0, 0.55));
  d = smoothMin(d, blob(q, vec4(-0.5, -0.15, 0.1, 0.42)));
  d = smoothMin(d, blob(q, vec4(0.5, -0.12, -0.05, 0.45)));
  d = smoothMin(d, blob(q, vec4(0.15, 0.3, 0.05, 0.42)));
  d = smoothMin(d, blob(q, vec4(-0.25, 0.2, -0.15, 0.38)));
  d = smoothMin(d, blob(q, vec4(0.74, -0.25, 0.1, 0.26)));
  d = smoothMin(d, blob(q, vec4(-0.74, -0.28, -0.05, 0.25)));
  d = smoothMin(d, blob(q, vec4(0.0, -0.2, 0.4, 0.35)));
  // Rounded where the flat base meets the towers: a sharp edge in the
  // distance would show as a saw tooth once interpolated over the grid.
  float radius = length(q);
  return -smoothMin(-d, smoothMin(vec4(0.0, 1.0, 0.0, 0.45 + q.y), vec4(-q / max(radius, 1e-6), 1.0 - radius)));
}

float baseDistance(vec3 q) { return baseField(q).w; }

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

// The lump noise at q: xyz its gradient, w its value.
vec4 lumps(vec3 q) {
  vec4 n = simplexNoise4(q * LUMP_FREQUENCY);
  return vec4(n.xyz * LUMP_FREQUENCY, n.w);
}

float lumpAmplitude(float height) { return LUMP_AMPLITUDE * mix(BASE_LUMPS, 1.0, smoothstep(-0.45, -0.1, height)); }

// Depth inside the lumpy cloud, from the base distance and the billow term
// |noise|: billows are rounded lumps with creases between them.
float lumpyDepth(float distance, float billow, float amplitude) {
  return amplitude * (billow - 0.4) * clamp(1.0 - distance * (1.0 / LUMP_TAPER), 0.0, 1.0) - distance;
}

// Optical depth from q toward the sun, in units of full density. Near the
// vertex the lumps follow from its own noise and gradient; farther away
// they average out to their mean. The march ends once every vertex of a
// batch has left the cloud on its way to the sun: from LUMPS_AVERAGED on,
// the mean billow leaves cloud only inside the base shape, so leaving the
// unit sphere is enough there.
float depthToSun(vec3 q, vec4 lump, vec3 sunAxis) {
  const float LUMPS_AVERAGED = 0.25;
  float depth = 0.0;
  float t = 0.0;
  float stride = 0.06;
  for (int i = 0; i < 6; ++i) {
    t += stride;
    vec3 p = q + sunAxis * t;
    float billow = mix(0.35, abs(lump.w + t * dot(lump.xyz, sunAxis)), max(1.0 - t / LUMPS_AVERAGED, 0.0));
    float inside = lumpyDepth(baseDistance(p), billow, lumpAmplitude(p.y));
    depth += stride * clamp(inside * (1.0 / LIGHT_SOFT_EDGE), 0.0, 1.0);
    stride *= 1.6;
    float reach = t + stride < LUMPS_AVERAGED ? CLOUD_RADIUS : 1.0;
    if (dot(p, p) > reach * reach && dot(p, sunAxis) > 0.0) break;
  }
  return depth;
}

// Henyey-Greenstein phase function, for the cosine of the angle between the
// sunlight and the way to the eye.
float phase(float cosine, float g) {
  float g2 = g * g;
  float spread = 1.0 + g2 - 2.0 * g * cosine;
  return (1.0 - g2) / (12.566 * spread * sqrt(spread));
}

// Sunlight scattered toward the eye after crossing the given optical depth:
// three orders of scattering, each less absorbed and less forward than the
// last, so that the thick of the cloud still glows; relative to a
// scattering that sends light every way alike.
float scatteredSun(float depth, float cosine) {
  float light = 0.0;
  float weight = 1.0;
  float reach = 1.0;
  float forward = 0.6;
  for (int order = 0; order < 3; ++order) {
    light += weight * phase(cosine, forward) * exp(-reach * depth);
    weight *= 0.5;
    reach *= 0.35;
    forward *= 0.5;
  }
  return 12.566 * light;
}

// The base distance beyond which no fragment can hold cloud where the lumps
// have the given amplitude: the lumps at their highest, the fine octave and
// the slab's reach (its depth slope at the most) on top. Past the taper the
// lumps add nothing; within it, the depth falls with the distance at
// 1 + amplitude * BILLOW_RISE / LUMP_TAPER per unit. The fine octave adds
// nothing where the lumpy depth is below -FINE_TAPER and falls likewise
// within its taper, so the slab and the fine octave reach the lumps'
// surface from no farther than `reach`; a slab reaching past the taper
// wins alone.
float clearDistance(float amplitude, float slabReach, float detail) {
  float rise = amplitude * BILLOW_RISE;
  float fine = rise * FINE_AMPLITUDE / LUMP_AMPLITUDE * detail;
  float reach = max(slabReach, min(FINE_TAPER, (slabReach + fine) / (1.0 + fine / FINE_TAPER)));
  return max((rise + reach) / (1.0 + rise / LUMP_TAPER), reach);
}

// The clear distance as a line in the lumps' amplitude: x its value at the
// full amplitude, y its slope. An affine bound interpolates across a
// triangle as the amplitude does, so the far plane can cut where the
// interpolated distance passes it. With the slab reaches that the pair
// uses, one branch of clearDistance wins at every amplitude, and it is
// concave in the amplitude: a line through its value at the full amplitude,
// no steeper than it is there, lies above it at every smaller amplitude.
vec2 clearLine(float slabReach, float detail) {
  float full = clearDistance(LUMP_AMPLITUDE, slabReach, detail);
  return vec2(full, (clearDistance(LUMP_AMPLITUDE + 0.01, slabReach, detail) - full) / 0.01);
}

// The clear distance at a height, on that line.
float clearBound(float height, vec2 line) { return line.x + line.y * (lumpAmplitude(height) - LUMP_AMPLITUDE); }

// True where every grid triangle that the vertex belongs to lies past the
// bound at each corner; otherwise `field` is the base field at q. The
// base distance is never below |q| - 1, since the shape keeps inside the
// unit sphere, and it changes by at most the distance moved, so only
// vertices within a cell diagonal of the bound at the full amplitude need
// it or their eight neighbours looked at.
bool clearAround(vec3 q, float bound, vec2 line, out vec4 field) {
  float margin = line.x + 1.415 * CELL;
  if (length(q) - 1.0 > margin) return true;
  field = baseField(q);
  // The first neighbour looked at lies toward the middle of the slice,
  // nearest the cloud, and most often ends the search.
  vec2 outward = step(0.0, gl_Vertex.xy) * 2.0 - 1.0;
  vec3 across = rotCol0.xyz * (CELL * outward.x);
  vec3 up = rotCol1.xyz * (CELL * outward.y);
  bool clear = field.w > bound;
  // The eight grid points around the vertex, row by row.
  for (int j = 0; j < 8; ++j) {
    if (!clear || field.w > margin) break;
    float i = float(j) + step(3.5, float(j));
    float column = mod(i, 3.0) - 1.0;
    float row = floor(i / 3.0) - 1.0;
    vec3 p = q + across * column + up * row;
    clear = baseDistance(p) > clearBound(p.y, line);
  }
  return clear;
}

// For a vertex whose triangles all lie past the far plane at every corner:
// none of them is drawn, so nothing else is needed.
void leaveOut() {
  gl_Position.z = max(gl_Position.z, 2.0 * gl_Position.w);
  volumePoint = vec3(0.0);
  surfaceNormal = vec3(0.0);
  rayAcross = vec3(0.0);
  shapeRamp = vec4(0.0);
  lumpField = vec4(0.0);
  lightShares = vec2(0.0);
}

void main() {
  gl_Position = ftransform();
  sliceDepth = gl_Position.z / gl_Position.w;
  // The drag preview draws every other slice, each standing for two.
  float detail = float(useNoise);
  float slice = floor((zPosition + HALF_EXTENT) / SLICE_STEP + 0.5);
  if ((1.0 - detail) * mod(slice, 2.0) > 0.5) {
    leaveOut();
    return;
  }
  mat4 rotation = mat4(rotCol0, rotCol1, rotCol2, rotCol3);
  vec3 q = (rotation * vec4(gl_Vertex.xy, zPosition, 1.0)).xyz;
  // Defined ahead of the source, SHADE_EVERY_FRAGMENT turns the culls off,
  // for a reference picture that they must not change.
#ifdef SHADE_EVERY_FRAGMENT
  vec4 field = baseField(q);
#else
  float slabHalfDepth = 0.5 * SLICE_STEP * (2.0 - detail);
  vec2 line = clearLine(MAX_DEPTH_SLOPE * slabHalfDepth, detail);
  float bound = clearBound(q.y, line);
  vec4 field;
  if (clearAround(q, bound, line, field)) {
    leaveOut();
    return;
  }
  // Past the bound no fragment holds cloud. With the clip-space depth growing
  // with the base distance past the bound, the far plane cuts each triangle
  // exactly where the interpolated distance that the fragment stage reads
  // crosses it, and the fragments beyond are never shaded. The fragment
  // stage writes the slice's own depth instead. Inside the bound the depth
  // stays clear of the near plane at -w: the distance is never below -1 and
  // w, the slice's distance from the eye, never below 1.5.
  gl_Position.z = gl_Position.w + field.w - bound;
#endif
  float distance = field.w;
  vec3 gradient = field.xyz;
  vec3 up = rotCol1.xyz;
  mat3 turn = mat3(rotCol0.xyz, rotCol1.xyz, rotCol2.xyz);
  vec3 fromEye = (gl_ModelViewMatrix * gl_Vertex).xyz;
  vec3 rayStep = turn * (fromEye / fromEye.z);
  // The sun keeps its place beside the viewer while the cloud turns.
  vec3 sunAxis = turn * normalize(lightPos);
  // Deep inside, where the normals of towers meet, the gradient may vanish.
  vec3 normal = gradient / max(length(gradient), 0.01);
  vec4 lump = lumps(q - max(distance, -DENSE_DEPTH) * normal);
  // Along the normal the lumps do not change.
  lump.xyz -= dot(lump.xyz, normal) * normal;
  volumePoint = q;
  surfaceNormal = normal;
  rayAcross = rayStep - dot(rayStep, normal) * normal;
  lumpField = vec4(lump.xyz, lump.w - 0.5 * dot(lump.xyz, q));
  shapeRamp = vec4(distance, dot(gradient, rayStep), lumpAmplitude(q.y), length(rayStep));

  // The sunlight travels away from lightPos, and the eye sits at the origin.
  float sun = scatteredSun(EXTINCTION * depthToSun(q, lump, sunAxis), dot(normalize(lightPos), normalize(fromEye)));
  float above = clamp((-0.02 - baseDistance(q + up * 0.2)) * (1.0 / LIGHT_SOFT_EDGE), 0.0, 1.0) +
                clamp((-0.02 - baseDistance(q + up * 0.5)) * (1.0 / LIGHT_SOFT_EDGE), 0.0, 1.0);
  lightShares = vec2(sun, exp(-1.5 * above));
}
