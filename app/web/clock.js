// A pair's clock: the seconds since its run began, for a pair that declares
// `uniform float time`. It plays at its speed, pauses, and steps a frame at
// a time; each frame reads it once. A rebuild of the pair leaves it be.
export const stepSeconds = 1 / 30;

export class Clock {
  constructor({ time = 0, playing = true, speed = 1 } = {}) {
    this.time = time;
    this.playing = playing;
    this.speed = speed;
    this.last = undefined;
  }

  // The time for the frame drawn at `now` (milliseconds): what played since
  // the last frame is added, at the clock's speed.
  tick(now) {
    if (this.playing && this.last !== undefined) this.time += ((now - this.last) / 1000) * this.speed;
    this.last = now;
    return this.time;
  }

  // Play or pause, a speed, a time set outright, or one step of a frame
  // (which pauses).
  set({ playing = this.playing, speed = this.speed, time = this.time, step = false }) {
    this.playing = playing && !step;
    this.speed = speed;
    this.time = time + (step ? stepSeconds * (this.speed || 1) : 0);
    return this.settings();
  }

  settings() {
    return { time: this.time, playing: this.playing, speed: this.speed };
  }
}
