// The frames of a WebM file and when each is shown, in milliseconds: the
// file's elements are read in order, going into the segment, its clusters
// and block groups (a recorder may leave their sizes unknown) and over the
// rest.
const masters = new Set([0x18538067, 0x1f43b675, 0xa0]);
const clusterTime = 0xe7;
const simpleBlock = 0xa3;
const block = 0xa1;

// A variable-length integer at `at`: its value (without the length marker
// for a size) and its length in bytes; a size of all ones is unknown.
function vint(bytes, at, keepMarker) {
  const length = Math.clz32(bytes[at]) - 23;
  let value = keepMarker ? bytes[at] : bytes[at] & (0xff >> length);
  for (let i = 1; i < length; ++i) value = value * 256 + bytes[at + i];
  return { value, length, unknown: !keepMarker && value === 2 ** (7 * length) - 1 };
}

export function webmFrameTimes(bytes) {
  const times = [];
  let cluster = 0;
  for (let at = 0; at < bytes.length; ) {
    const id = vint(bytes, at, true);
    const size = vint(bytes, at + id.length, false);
    const data = at + id.length + size.length;
    if (masters.has(id.value)) {
      at = data;
      continue;
    }
    if (id.value === clusterTime) cluster = bytes.subarray(data, data + size.value).reduce((t, b) => t * 256 + b, 0);
    if (id.value === simpleBlock || id.value === block) {
      const track = vint(bytes, data, false);
      const offset = ((bytes[data + track.length] << 24) >> 16) | bytes[data + track.length + 1];
      times.push(cluster + offset);
    }
    at = data + size.value;
  }
  return times;
}
