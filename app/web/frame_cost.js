// A frame's cost as the page shows it beside the title's rate: the median
// milliseconds between the frames of the last second, and the GPU's own
// time where the browser offers a timer query.
import { frameLengths, median } from './measure.js';

const windowMs = 1000;

export class FrameCost {
  constructor() {
    this.times = [];
    this.gpu = [];
  }

  // A frame shown at `time`, and what the GPU took for it, if known.
  add(time, gpuMs) {
    this.times.push(time);
    if (gpuMs !== undefined) this.gpu.push({ time, gpuMs });
    while (this.times[0] < time - windowMs) this.times.shift();
    while (this.gpu.length && this.gpu[0].time < time - windowMs) this.gpu.shift();
  }

  // The sentence; `timer` says whether the browser offers a timer query.
  sentence(timer) {
    const lengths = frameLengths(this.times);
    if (lengths.length === 0) return '';
    const frame = `${median(lengths).toFixed(1)} ms a frame (the median of the last second)`;
    if (!timer) return `${frame}; this browser offers no GPU timer (EXT_disjoint_timer_query).`;
    if (this.gpu.length === 0) return `${frame}; the GPU's time is not known yet.`;
    return `${frame}; the GPU's timer gives ${median(this.gpu.map(({ gpuMs }) => gpuMs)).toFixed(1)} ms a frame.`;
  }
}

// Follows a run's frames and shows the sentence with each title.
export function followFrameCost(run, show) {
  const cost = new FrameCost();
  let timer = false;
  show('');
  run.addEventListener('timer', ({ detail }) => {
    timer = detail;
  });
  run.addEventListener('frame', ({ detail }) => cost.add(detail.time, detail.gpuMs));
  run.addEventListener('title', () => show(cost.sentence(timer)));
}
