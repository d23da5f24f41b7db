// The user's edits on their way to the running program, and what the page
// says of each build. Typing is written once it pauses, a number's move at
// once. The program builds one edit at a time: while it builds one, the
// newest text of each stage waits for it, so that a dragged slider never
// queues more than one build and ends on the value let go.
import { describeBuild } from './build.js';

// A pause this long in typing writes the stage.
export const typingPauseMs = 500;
// A build that has not reported by then no longer holds back the next
// write.
export const buildLimitMs = 10000;

// `show({ failed, text, marks })` puts a build's sentence and marks on the
// page; `building(bool)` tells whether an edit is on its way to the program
// or being built.
export function createEdits({ show, building }) {
  let run = null;
  // The newest text of each stage the user edited, and what waits to go.
  const latest = {};
  const pending = {};
  const waiting = new Set();
  let inFlight = false;
  let settled = [];

  const idle = () => !inFlight && waiting.size === 0 && Object.keys(pending).length === 0;

  function settle() {
    if (!idle()) return;
    building(false);
    const done = settled;
    settled = [];
    for (const resolve of done) resolve();
  }

  // The program reports each build as it ends: at start-up, after each edit
  // it noticed, and those that a feature holding the run asked for, which
  // that feature tells of itself.
  function built({ detail: report }) {
    if (run.holder) return;
    show(describeBuild(report, { running: run.state === 'running', edited: inFlight }));
  }

  // Writes every stage that waits and differs from what the program has,
  // then waits for the build before the next write.
  async function write() {
    if (inFlight || run?.state !== 'running' || run.holder) return;
    const changed = [...waiting].filter((stage) => latest[stage] !== run.written[stage]);
    waiting.clear();
    if (changed.length === 0) {
      settle();
      return;
    }
    const current = run;
    inFlight = true;
    building(true);
    show({ failed: false, text: 'Building your edit.', marks: null });
    current.write(Object.fromEntries(changed.map((stage) => [stage, latest[stage]]))).catch(() => {});
    await current.next('build', buildLimitMs).catch(() => {});
    inFlight = false;
    if (current !== run) return;
    if (waiting.size) write();
    else settle();
  }

  function writeAll() {
    for (const stage of Object.keys(latest)) waiting.add(stage);
    write();
  }

  return {
    // The run that gets the edits from now on; the edits made before it
    // came went in as it started, unless it started with older texts.
    attach(next) {
      run = next;
      inFlight = false;
      run.addEventListener('build', built);
      run.addEventListener('state', () => {
        if (run !== next) return;
        if (next.state === 'running') writeAll();
        // What waited goes in with the next run, as the user's pair.
        if (next.state === 'ended') waiting.clear();
        settle();
      });
      // A feature that held the run may have left other texts in it.
      run.addEventListener('held', ({ detail }) => detail === null && writeAll());
    },

    edited(stage, text, immediate) {
      latest[stage] = text;
      clearTimeout(pending[stage]);
      delete pending[stage];
      if (run?.state === 'ended') {
        show({ failed: false, text: 'Your edit runs at the next start.', marks: null });
        return;
      }
      building(true);
      if (immediate) {
        waiting.add(stage);
        write();
        return;
      }
      pending[stage] = setTimeout(() => {
        delete pending[stage];
        waiting.add(stage);
        write();
      }, typingPauseMs);
    },

    // Every edit made so far reaches the program and is built: a feature
    // that holds the run awaits this first, so that it starts from what
    // the user sees.
    flush() {
      for (const stage of Object.keys(pending)) {
        clearTimeout(pending[stage]);
        delete pending[stage];
        waiting.add(stage);
      }
      const done = new Promise((resolve) => settled.push(resolve));
      write();
      settle();
      return done;
    },

    // The edits are the running pair's, or a new pair's that starts afresh.
    forget() {
      for (const stage of Object.keys(latest)) delete latest[stage];
      Object.values(pending).forEach(clearTimeout);
      for (const stage of Object.keys(pending)) delete pending[stage];
      waiting.clear();
      settle();
    },
  };
}
