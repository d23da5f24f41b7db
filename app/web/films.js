// Where a film's frames go: an animated GIF in every browser, and a WebM
// film where the browser encodes VP8 (its MediaRecorder writing WebM is the
// sign that its encoder is the one WebCodecs offers: WebKitGTK offers
// WebCodecs without WebM recording, and asked to encode there it took the
// page down). Each takes a still (an ImageBitmap) a frame, at its step.
import { GIFEncoder, applyPalette, quantize } from 'gifenc';
import { ArrayBufferTarget, Muxer } from 'webm-muxer';

import { filmFrameMicroseconds } from './recording.js';

const filmCodec = { codec: 'vp8', bitrate: 4000000 };

export async function webmWritable(width, height) {
  return Boolean(
    window.MediaRecorder?.isTypeSupported('video/webm') &&
      window.VideoEncoder &&
      (await VideoEncoder.isConfigSupported({ ...filmCodec, width, height }).then(
        (answer) => answer.supported,
        () => false,
      )),
  );
}

export function webmSink(width, height) {
  const muxer = new Muxer({
    target: new ArrayBufferTarget(),
    video: { codec: 'V_VP8', width, height, frameRate: 1e6 / filmFrameMicroseconds },
  });
  let failure = null;
  const encoder = new VideoEncoder({
    output: (chunk, meta) => muxer.addVideoChunk(chunk, meta),
    error: (error) => {
      failure = error;
    },
  });
  encoder.configure({ ...filmCodec, width, height });
  return {
    name: 'quorvel.webm',
    add(still, step) {
      const frame = new VideoFrame(still, { timestamp: step * filmFrameMicroseconds, duration: filmFrameMicroseconds });
      encoder.encode(frame, { keyFrame: step === 0 });
      frame.close();
    },
    async finish() {
      await encoder.flush();
      if (failure) throw failure;
      muxer.finalize();
      return new Blob([muxer.target.buffer], { type: 'video/webm' });
    },
    close() {
      if (encoder.state !== 'closed') encoder.close();
    },
  };
}

// Each frame with a palette of its own, shown for the film's frame time.
export function gifSink(width, height) {
  const gif = GIFEncoder();
  const canvas = document.createElement('canvas');
  Object.assign(canvas, { width, height });
  const context = canvas.getContext('2d', { willReadFrequently: true });
  return {
    name: 'quorvel.gif',
    add(still) {
      context.drawImage(still, 0, 0);
      const { data } = context.getImageData(0, 0, width, height);
      const palette = quantize(data, 256);
      gif.writeFrame(applyPalette(data, palette), width, height, { palette, delay: filmFrameMicroseconds / 1000 });
    },
    finish() {
      gif.finish();
      return new Blob([gif.bytes()], { type: 'image/gif' });
    },
    close() {},
  };
}
