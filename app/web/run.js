// One run of the program as the page sees it: a frame of its own, with the
// module inside (run_frame.js), reached by messages alone. It tells what
// happens as events, each with its `detail`:
//   state    the run's state changed: starting, running or ended (`status`)
//   started  { stages }: the pair as the program will read it
//   build    the program's report of a build, at start-up and after edits
//   frame    { time, gpuMs, size }: a frame shown, in the frame's own clock
//   title    the program's title, about once a second
//   log      the log's newest text
//   timer    whether the browser offers a GPU timer query
//   lost, restored: the browser took the GL context away, or gave it back
//   stopped  the program stopped on an error (its text)
// A feature waits for one event with `next`, and holds the run for itself
// with `hold`. Nothing else touches the frame.
const retireLimitMs = 1000;

// Where a run's frame loads from: another site than the page's where the
// page has one, as a browser that isolates sites then puts each run in a
// process of its own, and a pair that never finishes a frame holds up only
// its frame. A page on one of the loopback's two names runs its programs on
// the other; a host that serves the folder under a second name gives it in
// <meta name="quorvel-runs">; otherwise runs share the page's site.
export function runAddress(pageAddress, runsFrom) {
  const address = new URL('quorvel.html', runsFrom ? new URL(runsFrom, pageAddress) : pageAddress);
  const other = { '127.0.0.1': 'localhost', localhost: '127.0.0.1' }[address.hostname];
  if (other && !runsFrom) address.hostname = other;
  return address.href;
}

export class Run extends EventTarget {
  // `stages` ({ stage: text }) go into the program's working directory
  // before it starts, the others staying the shipped ones; `settings` ({
  // light, sky, clock }) are set before its first frame.
  constructor(stages = {}, settings = {}) {
    super();
    this.settings = settings;
    this.state = 'starting';
    this.status = undefined;
    this.stages = stages;
    // The pair as last written, and as the last build that succeeded had it.
    this.written = {};
    this.good = {};
    this.frame = null;
    this.loaded = false;
    this.asked = new Map();
    this.asks = 0;
    this.holder = null;
    this.heard = (message) => this.hear(message);
  }

  // Puts the run's frame, from `address`, in `container` and starts the
  // program in it.
  start(container, address) {
    const document = container.ownerDocument;
    this.origin = new URL(address).origin;
    this.frame = document.createElement('iframe');
    this.frame.title = 'Quorvel';
    this.frame.src = address;
    document.defaultView.addEventListener('message', this.heard);
    // Until its document loads, the frame holds a blank one of the page's
    // own, which takes no message meant for the run's site.
    this.frame.addEventListener(
      'load',
      () => {
        this.loaded = true;
        this.send('start', { stages: this.stages, ...this.settings });
      },
      { once: true },
    );
    container.append(this.frame);
  }

  hear({ source, origin, data }) {
    if (source !== this.frame?.contentWindow || origin !== this.origin || data?.from !== 'quorvel-run') return;
    if (data.reply === 'retire') {
      this.retired?.();
      return;
    }
    if ('reply' in data) {
      const waiting = this.asked.get(data.reply);
      this.asked.delete(data.reply);
      if ('error' in data) waiting?.reject(new Error(data.error));
      else waiting?.resolve(data.value);
      return;
    }
    this.heardEvent(data.event, data.detail);
  }

  heardEvent(kind, detail) {
    // A lost context's run hears of its return; an ended run of nothing else.
    if (this.state === 'ended' && (kind !== 'restored' || this.status !== 'context-lost')) return;
    // The frame names the shipped stages; the page's own it knows.
    if (kind === 'started') {
      const stages = { ...this.stages, ...detail.stages };
      [this.written, this.good] = [{ ...stages }, { ...stages }];
      this.tell(kind, { stages });
      return;
    }
    if (kind === 'build' && detail.failure === 'none') this.good = { ...this.written };
    if (kind === 'title' && this.state === 'starting') this.setState('running');
    if (kind === 'frame') [this.size, this.clock] = [detail.size, detail.clock];
    if (kind === 'failed') this.failure = detail;
    this.tell(kind, detail);
    if (kind === 'ended') this.end(detail);
    if (kind === 'lost') this.end('context-lost');
    if (kind === 'failed') this.end('not-loaded');
  }

  tell(kind, detail) {
    this.dispatchEvent(new CustomEvent(kind, { detail }));
  }

  setState(state, status) {
    this.state = state;
    this.status = status;
    this.tell('state', { state, status });
  }

  end(status) {
    if (this.state === 'ended') return;
    this.setState('ended', status);
    for (const waiting of this.asked.values()) waiting.reject(new Error('the run ended'));
    this.asked.clear();
  }

  // Asks the frame to do `op`; the answer comes as a promise.
  ask(op, args) {
    if (this.state === 'ended') return Promise.reject(new Error('the run ended'));
    if (!this.loaded) return Promise.reject(new Error('the run has not started'));
    const id = ++this.asks;
    return new Promise((resolve, reject) => {
      this.asked.set(id, { resolve, reject });
      this.send(op, args, id);
    });
  }

  send(op, args, id) {
    this.frame?.contentWindow?.postMessage({ to: 'quorvel-run', op, args, id }, this.origin);
  }

  // Writes stages ({ stage: text }) into the program's working directory,
  // where its reload finds them as saved files.
  write(stages) {
    Object.assign(this.written, stages);
    return this.ask('write', { stages });
  }

  // The next event of `kind`, or an error once the run ends, is retired or
  // `limitMs` passes.
  next(kind, limitMs = 30000) {
    return new Promise((resolve, reject) => {
      const done = (settle) => (value) => {
        clearTimeout(timer);
        this.removeEventListener(kind, heard);
        this.removeEventListener('state', ended);
        settle(value);
      };
      const heard = (event) => done(resolve)(event.detail);
      const ended = () => this.state === 'ended' && done(reject)(new Error('the run ended'));
      const timer = setTimeout(() => done(reject)(new Error(`no ${kind} came`)), limitMs);
      this.addEventListener(kind, heard);
      this.addEventListener('state', ended);
    });
  }

  // Holds the run for one feature (Measure, a recording): gives the function
  // that lets it go, or null while another holds it or the run is not
  // running.
  hold(name) {
    if (this.holder || this.state !== 'running') return null;
    this.holder = name;
    this.tell('held', name);
    return () => {
      this.holder = null;
      this.tell('held', null);
    };
  }

  // Whether the run's frame shares the page's thread, as a frame of the
  // page's own site does and any frame where the browser does not isolate
  // sites: then a pair that never finishes a frame stops the page too. The
  // frame keeps its thread busy for a while, and the page sees whether its
  // own timers were held up meanwhile.
  async sharesPage(busyMs = 300) {
    let widest = 0;
    let last = performance.now();
    let ticking = true;
    const tick = () => {
      const now = performance.now();
      widest = Math.max(widest, now - last);
      last = now;
      if (ticking) setTimeout(tick, 5);
    };
    tick();
    await this.ask('busy', { ms: busyMs });
    ticking = false;
    return widest >= 0.8 * busyMs;
  }

  // Ends the run for the next one, at once: the frame is hidden, the
  // program asked to give its GL context back (browsers keep only so many),
  // and the frame removed when it has, or after a second whatever the
  // program is doing. A removed frame takes with it everything that the
  // module and its runtime hung on its window and document; it is sent
  // away first, as a frame removed with its loads still going can outlive
  // them.
  retire() {
    const { frame } = this;
    if (!frame || this.retired) return;
    this.end('retired');
    frame.hidden = true;
    const limit = setTimeout(() => this.retired(), retireLimitMs);
    this.retired = () => {
      clearTimeout(limit);
      frame.ownerDocument.defaultView?.removeEventListener('message', this.heard);
      frame.src = 'about:blank';
      frame.remove();
    };
    if (this.loaded) this.send('retire', {}, 'retire');
    else this.retired();
  }
}
