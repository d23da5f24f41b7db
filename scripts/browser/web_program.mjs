// The page in a browser, driven as a person would drive it, in any engine of
// engines.mjs, with everything that went wrong on it and in its runs'
// frames.
import { decodePicture, writePicture } from './pictures.mjs';
import { showsFrameRate } from './native.mjs';
import { pause, pollUntil } from './timing.mjs';

// Reads --dist DIR and --native PATH; exits with the usage on anything else.
export function parseArguments(script) {
  const args = process.argv.slice(2);
  const found = {};
  for (let i = 0; i + 1 < args.length; i += 2) {
    if (args[i] !== '--dist' && args[i] !== '--native') break;
    found[args[i].slice(2)] = args[i + 1];
  }
  if (args.length !== 4 || !found.dist || !found.native) {
    console.error(`usage: node ${script} --dist DIR --native PATH/quorvel`);
    process.exit(2);
  }
  return found;
}

// Classic WebDriver cannot run a script before the page's own, so the
// watcher comes with the page itself, first in its head, in every engine.
export function withWatcher(html) {
  return html.replace(/<head[^>]*>/i, (head) => `${head}<script>(${watchPage})();</script>`);
}

// Keeps every error that the program's glGetError calls return, passing
// each on unchanged; every state that the page passes through, however
// briefly it stays in it; and the console calls and uncaught errors, for a
// driver that cannot read the console. A run's frame may come from another
// site, so it tells the page by messages, while it is the page's.
function watchPage() {
  const page = window.top === window;
  const keep = (entry) => {
    if (page) window.watched(entry);
    else window.top.postMessage({ watched: entry }, '*');
  };
  if (page) {
    window.glErrorsSeen = [];
    window.consoleSeen = [];
    window.watched = ({ glError, type, text }) => {
      if (glError) window.glErrorsSeen.push(glError);
      else window.consoleSeen.push({ type, text });
    };
    // A frame's loads fail as its run is retired: a frame reports only while
    // it is the page's run, shown.
    const shown = (source) =>
      [...document.querySelectorAll('iframe:not([hidden])')].some((frame) => frame.contentWindow === source);
    window.addEventListener(
      'message',
      ({ data, source }) => data?.watched && shown(source) && window.watched(data.watched),
    );
  }
  for (const context of [window.WebGLRenderingContext, window.WebGL2RenderingContext]) {
    if (!context) continue;
    const getError = context.prototype.getError;
    context.prototype.getError = function () {
      const error = getError.call(this);
      if (error !== 0) keep({ glError: error });
      return error;
    };
  }
  for (const type of ['error', 'warn', 'info', 'log']) {
    const write = console[type];
    console[type] = (...args) => {
      keep({ type, text: args.join(' ') });
      write.apply(console, args);
    };
  }
  window.addEventListener('error', (event) => keep({ type: 'exception', text: String(event.message) }));
  window.addEventListener('unhandledrejection', (event) => keep({ type: 'exception', text: String(event.reason) }));
  if (!page) return;
  window.statesSeen = [];
  const keepState = () => {
    const { state, status = '' } = document.body?.dataset ?? {};
    const last = window.statesSeen.at(-1);
    if (state && (state !== last?.state || status !== last?.status)) window.statesSeen.push({ state, status });
  };
  new MutationObserver(keepState).observe(document, {
    subtree: true,
    attributes: true,
    attributeFilter: ['data-state', 'data-status'],
  });
  document.addEventListener('DOMContentLoaded', keepState);
}

// Browsers report GL errors that WebGL catches or ANGLE raises as console
// warnings ("WebGL: INVALID_OPERATION: ...", "[.WebGL-...] GL_INVALID_...").
const webGLWarning = /WebGL|GL_INVALID|GL ERROR/i;

// A console line as a problem, or none. A failed request is told by the
// server with its address.
function problemOf({ type, text }) {
  if (type === 'exception') return [`exception: ${text}`];
  if (text.startsWith('Failed to load resource')) return [];
  if (type === 'error') return [`console error: ${text}`];
  return webGLWarning.test(text) ? [text] : [];
}

// The frame of the run in progress; a retiring one is hidden until it goes.
const runFrame = '#stage iframe:not([hidden])';

export class WebProgram {
  // Opens the page in the engine: `scale` is the device pixel ratio, `touch`
  // gives the page a touch screen.
  static async open(engine, url, options) {
    const program = new WebProgram();
    program.engine = engine;
    program.page = await engine.open(url, options);
    return program;
  }

  async close() {
    await this.page.close();
  }

  // Everything that went wrong on the page so far: exceptions, console
  // errors, WebGL errors in the console and those that glGetError returned.
  async allProblems() {
    const errors = await this.read(() => window.glErrorsSeen ?? []).catch(() => []);
    const lines = await this.page.consoleLines();
    return [...lines.flatMap(problemOf), ...errors.map((error) => `glGetError gave 0x${error.toString(16)}`)];
  }

  read(expression, ...args) {
    return this.page.evaluate(expression, ...args);
  }

  state() {
    return this.read(() => ({
      state: document.body.dataset.state ?? '',
      status: document.body.dataset.status ?? '',
      message: document.getElementById('message')?.textContent ?? '',
    }));
  }

  // How many states the page has passed through, to wait for one after.
  statesSoFar() {
    return this.read(() => window.statesSeen.length);
  }

  // The first state named `state` that the page entered after the first
  // `after` states, with its status; or the state now once the limit has
  // passed.
  async waitForState(state, limitMs, after = 0) {
    const found = await pollUntil(limitMs, () =>
      this.read((state, after) => window.statesSeen.slice(after).find((seen) => seen.state === state), state, after),
    );
    return found ?? this.state();
  }

  async title() {
    return this.page.title();
  }

  // Whether a run reached `running` after the first `after` states and
  // runs now: two restarts in a row can each reach it, and only the last
  // one's run is the page's.
  async running(after, limitMs = 15000) {
    return pollUntil(limitMs, () =>
      this.read(
        (after) =>
          document.body.dataset.state === 'running' &&
          window.statesSeen.slice(after).some((seen) => seen.state === 'running'),
        after,
      ),
    );
  }

  // Frames shown on the page so far, as its <body> counts them.
  async frames() {
    return Number(await this.read(() => document.body.dataset.frames ?? 0));
  }

  // Waits until `count` more frames have been shown: what the program does
  // with input, a pair or a size shows in the frames after it. False past
  // the limit.
  async waitForFrames(count, limitMs = 15000) {
    const target = (await this.frames()) + count;
    return pollUntil(limitMs, async () => (await this.frames()) >= target);
  }

  // The first title with a measured frame rate, or '' past the limit.
  async waitForFrameRate(limitMs) {
    return pollUntil(limitMs, async () => {
      const title = await this.title();
      return showsFrameRate(title) ? title : '';
    });
  }

  // Waits until the edits written to the program have been built.
  editsBuilt(limitMs = 30000) {
    return pollUntil(limitMs, () => this.read(() => !('building' in document.body.dataset)));
  }

  log() {
    return this.read(() => document.getElementById('log')?.textContent ?? '');
  }

  // The canvas's place on the page in CSS pixels and its backing store: it
  // fills the frame of the run in progress, whose size the page offers.
  canvas() {
    return this.read((selector) => {
      const frame = document.querySelector(selector);
      frame.scrollIntoView({ block: 'nearest' });
      const { x, y, width, height } = frame.getBoundingClientRect();
      return { x, y, width, height, store: window.quorvel.canvasSize() };
    }, runFrame);
  }

  // The canvas as the screen shows it, at the device pixel ratio.
  async shot(file) {
    // WebKit's screenshot of an element leaves out what lies outside the
    // view.
    await this.read((selector) => document.querySelector(selector).scrollIntoView({ block: 'nearest' }), runFrame);
    // The run's frame holds the canvas alone, at its size.
    const picture = decodePicture(await this.page.shoot(runFrame));
    writePicture(picture, file);
    return picture;
  }

  async moveMouse(x, y) {
    const box = await this.canvas();
    await this.page.mouse('move', box.x + x, box.y + y);
  }

  // Holds a key (`Shift`) down or lets it go.
  async pressKey(name, down) {
    await this.page.holdKey(name, down);
  }

  async setLeftButton(down) {
    await this.page.mouse(down ? 'down' : 'up');
  }

  // `phase` is start, move or end.
  async touch(phase, x, y) {
    const box = await this.canvas();
    await this.page.touch(phase, box.x + x, box.y + y);
  }

  // The keys go to the run's frame once its canvas has the focus, as a
  // click on it gives. The focus passes to a frame in another process a
  // moment later, and a key pressed in between goes to the page: as a
  // person whose Escape did nothing, the driver clicks and presses again.
  async pressEscape() {
    for (let tries = 0; tries < 3; ++tries) {
      await this.moveMouse(1, 1);
      await this.setLeftButton(true);
      await this.setLeftButton(false);
      await pollUntil(5000, () => this.read((selector) => document.activeElement?.matches(selector), runFrame));
      await this.page.key('Escape');
      if (await pollUntil(3000, () => this.read(() => document.body.dataset.state === 'ended'))) return;
    }
  }

  // Chooses files through the page's file input, as a person would in the
  // browser's file dialog. The same files chosen twice in a row would change
  // nothing that the input sees, so the last choice is cleared first.
  async choosePair(files) {
    await this.read(() => {
      document.getElementById('pair').value = '';
    });
    await this.page.chooseFiles('#pair', files);
  }

  // A person scrolls to what they click first, as little as it takes: the
  // drivers' own scroll misses a button far down the page. Nobody clicks in
  // the frame of their last keystroke either: an editor scrolls to its
  // cursor in its next frame, which moved the button from under a click
  // made at once.
  async click(id) {
    await this.read(async (selector) => {
      await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
      document.querySelector(selector).scrollIntoView({ block: 'nearest' });
    }, `#${id}`);
    await this.page.click(`#${id}`);
  }

  // The pairs' clock paused, as its box in the panel pauses it: a pair that
  // reads it then draws as at its first frame, as the native program
  // draws it.
  pauseClock() {
    return this.read(() => {
      const plays = document.querySelector('[data-setting="clock-playing"] input');
      if (plays.checked) plays.click();
    });
  }

  // A button of a panel, pressed as the keyboard presses it: the sentences
  // above the panels come and go as builds end, and a pointer aimed a
  // moment before would miss it.
  press(selector) {
    return this.read((selector) => document.querySelector(selector).click(), selector);
  }

  // The text of the page's element `id`.
  says(id) {
    return this.read((id) => document.getElementById(id)?.textContent ?? '', id);
  }

  // The runs' frames on the page, retiring ones included: one once the
  // last retired run has gone.
  runsOnPage() {
    return this.read(() => document.querySelectorAll('#stage iframe').length);
  }

  // What the browser holds in memory once garbage is collected. Where the
  // driver cannot force a collection, the engine collects on its own once
  // in a while: the lowest of readings over eight seconds is taken, the
  // trough after a collection.
  async memory() {
    const collected = !this.engine.cannot.collect;
    let lowest = await this.engine.memory();
    for (let reading = 1; reading < (collected ? 1 : 8); ++reading) {
      await pause(1000);
      const now = await this.engine.memory();
      if (now.bytes < lowest.bytes) lowest = now;
    }
    return { ...lowest, collected, what: collected ? lowest.what : `the lowest of 8 readings of ${lowest.what}` };
  }

  // Takes the run's GL context away as a browser would, and gives it back.
  loseContext() {
    return this.inRun(() => {
      window.contextLoser = document.getElementById('canvas').getContext('webgl').getExtension('WEBGL_lose_context');
      window.contextLoser.loseContext();
    });
  }

  restoreContext() {
    return this.inRun(() => {
      window.contextLoser.restoreContext();
      delete window.contextLoser;
    });
  }

  // Runs `expression` in the frame of the run in progress, which may come
  // from another site than the page.
  inRun(expression) {
    return this.page.evaluateIn(runFrame, expression);
  }

  // Puts `text` in place of a stage's text in its editor: everything
  // selected with the editor's own key, then the text put in as the
  // browser's editing puts in typed or pasted text.
  typeInEditor(stage, text) {
    return this.read(
      (stage, text) => {
        const content = document.querySelector(`[data-stage="${stage}"] .cm-content`);
        content.focus();
        const selectAll = { key: 'a', code: 'KeyA', keyCode: 65, ctrlKey: true, bubbles: true, cancelable: true };
        content.dispatchEvent(new KeyboardEvent('keydown', selectAll));
        document.execCommand('insertText', false, text);
      },
      stage,
      text,
    );
  }

  // The lines (from 1) that the editor of `stage` marks as errors, of those
  // it shows: the editor draws only the lines in view, each beside its
  // number in the gutter (whose hidden first element only sizes it).
  markedLines(stage) {
    return this.read((stage) => {
      const section = document.querySelector(`[data-stage="${stage}"]`);
      const numbers = [...section.querySelectorAll('.cm-lineNumbers .cm-gutterElement')]
        .filter((element) => element.style.visibility !== 'hidden')
        .map((element) => Number(element.textContent));
      return [...section.querySelectorAll('.cm-line')].flatMap((line, i) =>
        line.querySelector('.cm-lintRange-error') ? [numbers[i]] : [],
      );
    }, stage);
  }

  // The whole text of a stage's editor, which draws only the lines in view,
  // as the page offers it to scripts.
  editorText(stage) {
    return this.read((stage) => window.quorvel.editorText(stage), stage);
  }

  async pressEscapeIn(selector) {
    await this.page.click(selector);
    await this.page.key('Escape');
  }

  setPixelRatio(ratio) {
    return this.page.setPixelRatio(ratio);
  }

  // Another tab in front while `whileAway` runs: the page is hidden and has
  // lost the focus.
  away(whileAway) {
    return this.page.away(whileAway);
  }

  get name() {
    return this.engine.name;
  }
}
