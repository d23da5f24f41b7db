// Where a filmed turn's frames go: a WebM film where the browser encodes
// VP8 (its MediaRecorder writing WebM is the sign that its encoder is the
// one WebCodecs offers: WebKitGTK offers WebCodecs without WebM recording,
// and asked to encode there it took the page down).
import { ArrayBufferTarget, Muxer } from 'webm-muxer';

import { filmFrameMicroseconds } from './recording.js';

const filmCodec = { codec: 'vp8', bitrate: 4000000 };

export async function webmWritable(width, height) {
  return Boolean(window.MediaRecorder?.isTypeSupported('video/webm') && window.VideoEncoder &&
    (await VideoEncoder.isConfigSupported({ ...filmCodec, width, height }).then((answer) => answer.supported,
      () => false)));
}

// Each still becomes a frame at its own time in the film; `finish` gives
// the film as a Blob.
export function webmSink(width, height) {
  const muxer = new Muxer({ target: new ArrayBufferTarget(), video: { codec: 'V_VP8', width, height,
    frameRate: 1e6 / filmFrameMicroseconds } });
  let failure = null;
  const encoder = new VideoEncoder({ output: (chunk, meta) => muxer.addVideoChunk(chunk, meta), error: (error) => {
    failure = error;
  } });
  encoder.configure({ ...filmCodec, width, height });
  return {
    add(still, step) {
      const frame = new VideoFrame(still, { timestamp: step * filmFrameMicroseconds, duration: filmFrameMicroseconds });
      encoder.encode(frame, { keyFrame: step === 0 });
      frame.close();
      still.close();
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
