// The sun as the page moves it. The pair gets it as lightPos, a direction
// beside the viewer (the eye looks down -z, y is up), that keeps its place
// while the cloud turns; the desktop's fixed (-1, 1, -1) is up and to the
// left, behind the cloud. The user moves it by its height above the
// horizon and its direction around the cloud, from straight behind it
// (0 degrees) toward the right, or by pointing at it over the picture.
export const defaultLight = [-1, 1, -1];
const lightLength = Math.hypot(...defaultLight);
const degrees = 180 / Math.PI;

export const heightRange = [-10, 90];
export const aroundRange = [-180, 180];

// { height, around } in degrees of a light direction.
export function sunOf([x, y, z]) {
  return { height: Math.asin(y / Math.hypot(x, y, z)) * degrees, around: Math.atan2(x, -z) * degrees };
}

export const defaultSun = sunOf(defaultLight);

// The light of a sun, as long as the fixed one; the default sun gives the
// fixed light exactly.
export function lightOf(sun) {
  if (isDefault(sun)) return [...defaultLight];
  const [height, around] = [sun.height / degrees, sun.around / degrees];
  return [Math.cos(height) * Math.sin(around), Math.sin(height), -Math.cos(height) * Math.cos(around)].map(
    (component) => component * lightLength,
  );
}

export function isDefault(sun) {
  return Math.abs(sun.height - defaultSun.height) < 1e-9 && Math.abs(sun.around - defaultSun.around) < 1e-9;
}

// The sun that a point of the picture shows, behind the cloud: `x` and `y`
// in CSS pixels of the 400 x 300 picture, whose height spans a right angle.
export function sunAt(x, y, [width, height] = [400, 300]) {
  const half = height / 2;
  const sun = sunOf([(x - width / 2) / half, (half - y) / half, -1]);
  return { height: clamp(sun.height, heightRange), around: sun.around };
}

// Where the sun shows over the picture, or null where it lies beside or
// in front of the viewer.
export function pointOf(sun, [width, height] = [400, 300]) {
  const [x, y, z] = lightOf(sun);
  if (z >= -0.05) return null;
  const half = height / 2;
  const point = { x: width / 2 + (half * x) / -z, y: half - (half * y) / -z };
  return point.x < 0 || point.x > width || point.y < 0 || point.y > height ? null : point;
}

// The sky behind the cloud: the fixed midday blue while the sun stands
// high, warming toward an evening sky as it sets.
const midday = [0.2, 0.2, 0.8];
const evening = [0.78, 0.5, 0.42];
const warmsBelow = 30;

export function skyOf(sun) {
  const low = Math.min(Math.max((warmsBelow - sun.height) / (warmsBelow - heightRange[0]), 0), 1);
  return midday.map((blue, i) => blue + (evening[i] - blue) * low);
}

const clamp = (value, [low, high]) => Math.min(Math.max(value, low), high);
