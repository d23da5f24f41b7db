// Pictures as PNG files: read, written, and compared channel by channel.
import fs from 'node:fs';
import { PNG } from 'pngjs';

export function readPicture(path) {
  return PNG.sync.read(fs.readFileSync(path));
}

export function decodePicture(buffer) {
  return PNG.sync.read(Buffer.from(buffer));
}

export function writePicture(picture, path) {
  fs.writeFileSync(path, PNG.sync.write(picture));
}

// The largest and the mean difference of two pictures' red, green and blue
// channels in levels of 255, with where the largest lies and how many pixels
// differ by more than `overLevels` in some channel. Alpha is left out:
// a window and a screenshot of a page both show opaque pixels, whatever the
// alpha that the GL wrote.
export function difference(a, b, overLevels = 16) {
  if (a.width !== b.width || a.height !== b.height) {
    return { sameSize: false, text: `sizes differ: ${a.width} x ${a.height} against ${b.width} x ${b.height}` };
  }
  let peak = -1;
  let peakAt = 0;
  let sum = 0;
  let over = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    let pixelPeak = 0;
    for (let c = 0; c < 3; ++c) {
      const d = Math.abs(a.data[i + c] - b.data[i + c]);
      sum += d;
      pixelPeak = Math.max(pixelPeak, d);
    }
    if (pixelPeak > peak) {
      peak = pixelPeak;
      peakAt = i / 4;
    }
    if (pixelPeak > overLevels) ++over;
  }
  const mean = sum / ((a.data.length / 4) * 3);
  const x = peakAt % a.width;
  const y = Math.floor(peakAt / a.width);
  const text = `peak ${peak} at (${x}, ${y}), mean ${mean.toFixed(3)}, ${over} pixels over ${overLevels}`;
  return { sameSize: true, peak, mean, over, pixels: a.data.length / 4, text };
}

// Both pictures the same size, `mean` levels apart on average, and no more
// than `overLevels` of `difference` apart but for `strays` pixels in each
// 10,000: two
// rasterisers may disagree about a lone pixel on an edge (whether a line's
// border still covers it, which side of a silhouette it falls on), but not
// about a feature.
export function within(diff, { mean, strays }) {
  return diff.sameSize && diff.mean <= mean && diff.over <= Math.floor((diff.pixels * strays) / 10000);
}
