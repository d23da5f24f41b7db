// A run without a browser: the page's Run with its frame played here. It
// builds what is written a moment later (failing any stage that holds
// "broken"), draws a frame whenever one is awaited, 100 ms apart on its
// own clock, and keeps what it was asked, in order, in `log`.
import { Run } from '../../app/web/run.js';

export class FakeRun extends Run {
  constructor(stages = { 'Quorvel.vert': 'shipped vertex', 'Quorvel.frag': 'shipped fragment' }) {
    super();
    this.log = [];
    this.drawnAt = 0;
    this.turn = { x: 0, y: 0 };
    this.clockSet = { time: 0, playing: true, speed: 1 };
    this.frame = { contentWindow: {} };
    this.loaded = true;
    this.origin = 'http://runs.example';
    this.heardEvent('started', { stages });
    this.heardEvent('title', 'Quorvel 0.1 (0.0 FPS)');
  }

  send(op, args, id) {
    this.log.push(op === 'write' ? `write ${Object.values(args.stages).join(' + ')}` : op);
    const answers = {
      write: () => setTimeout(() => this.build(args.stages), 5),
      turned: () => ({ ...this.turn }),
      turn: () => {
        this.turn = { x: args.x, y: args.y };
      },
      clock: () => (this.clockSet = { ...this.clockSet, ...args }),
      still: () => ({ turn: this.turn.y, time: this.clockSet.time }),
    };
    const data = { from: 'quorvel-run', reply: id, value: answers[op]?.() };
    if (id !== undefined)
      setImmediate(() => this.hear({ source: this.frame.contentWindow, origin: this.origin, data }));
  }

  build(stages) {
    const broken = Object.values(stages).some((text) => text.includes('broken'));
    this.log.push(broken ? 'build failed' : 'built');
    this.heardEvent('build', { failure: broken ? 'fragmentCompile' : 'none', messages: [], missingUniforms: [] });
  }

  next(kind, limitMs) {
    if (kind === 'frame')
      setImmediate(() => {
        this.drawnAt += 100;
        this.heardEvent('frame', { time: this.drawnAt, size: [400, 300] });
      });
    return super.next(kind, limitMs);
  }
}
