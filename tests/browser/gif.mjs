// The frames of an animated GIF, each as its delay and its image's bytes
// (the LZW data as written), walked block by block.
export function gifFrames(bytes) {
  const frames = [];
  const tableSize = (flags) => (flags & 0x80 ? 3 * 2 ** ((flags & 7) + 1) : 0);
  let at = 13 + tableSize(bytes[10]);
  let delay = 0;
  const subBlocks = () => {
    const start = at;
    while (bytes[at] !== 0) at += bytes[at] + 1;
    at += 1;
    return bytes.subarray(start, at);
  };
  while (at < bytes.length && bytes[at] !== 0x3b) {
    if (bytes[at] === 0x21) {
      if (bytes[at + 1] === 0xf9) delay = (bytes[at + 4] | (bytes[at + 5] << 8)) * 10;
      at += 2;
      subBlocks();
    } else if (bytes[at] === 0x2c) {
      at += 10 + tableSize(bytes[at + 9]) + 1;
      frames.push({ delay, image: Buffer.from(subBlocks()) });
    } else {
      throw new Error(`no GIF block at byte ${at}`);
    }
  }
  return frames;
}
