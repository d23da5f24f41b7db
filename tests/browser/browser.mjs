// The web build in a browser: a local server for its folder, and the page
// driven as a person would drive it, in any engine of engines.mjs, with
// everything that went wrong on it.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

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

// A .wasm must come as application/wasm, or the browser will not compile it
// while it streams.
const contentTypes = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.css': 'text/css',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
  '.ico': 'image/x-icon',
};

// Serves a folder on 127.0.0.1 at a free port, with the watcher at the top
// of its page; gives its address, the requests that failed, and a function
// that stops the server.
export async function serveFolder(folder) {
  const root = path.resolve(folder);
  const failures = [];
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(root, name.endsWith('/') ? `${name}index.html` : name);
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      // A browser asks for an icon of its own accord; a page need not have one.
      if (name !== '/favicon.ico') failures.push(`HTTP 404 for ${name}`);
      response.writeHead(404).end();
      return;
    }
    const type = contentTypes[path.extname(file)] ?? 'application/octet-stream';
    response.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'no-store' });
    if (path.extname(file) === '.html') response.end(withWatcher(fs.readFileSync(file, 'utf8')));
    else fs.createReadStream(file).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}/`, failures, stop: () => server.close() };
}

// Classic WebDriver cannot run a script before the page's own, so the
// watcher comes with the page itself, first in its head, in every engine.
function withWatcher(html) {
  return html.replace(/<head[^>]*>/i, (head) => `${head}<script>(${watchPage})();</script>`);
}

// Keeps every error that the program's glGetError calls return, passing
// each on unchanged; every state that the page passes through, however
// briefly it stays in it; and the console calls and uncaught errors, for a
// driver that cannot read the console. Each run's frame reports to the
// page: the frame goes when the run does.
function watchPage() {
  const top = window.top === window ? window : window.top;
  top.glErrorsSeen ??= [];
  for (const context of [window.WebGLRenderingContext, window.WebGL2RenderingContext]) {
    if (!context) continue;
    const getError = context.prototype.getError;
    context.prototype.getError = function () {
      const error = getError.call(this);
      if (error !== 0) top.glErrorsSeen.push(error);
      return error;
    };
  }
  // The frames' windows and the GL contexts made in the page and its
  // frames, held weakly: a run's must be free to go with its frame.
  if (top !== window) (top.framesMade ??= new Set()).add(new top.WeakRef(window));
  const getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (...args) {
    const context = getContext.apply(this, args);
    if (context && args[0] === 'webgl') (top.contextsMade ??= new Set()).add(new top.WeakRef(context));
    return context;
  };
  // Entries are made in the page's realm, so that it holds nothing of a
  // frame's.
  // A frame's loads fail as its run is retired: it reports only while it is
  // on the page.
  top.consoleSeen ??= [];
  const frame = window.frameElement;
  const note = (type, text) => {
    if (!frame || frame.isConnected) top.consoleSeen.push(Object.assign(new top.Object(), { type, text: String(text) }));
  };
  for (const type of ['error', 'warn', 'info', 'log']) {
    const write = console[type];
    console[type] = (...args) => {
      note(type, args.join(' '));
      write.apply(console, args);
    };
  }
  window.addEventListener('error', (event) => note('exception', event.message));
  window.addEventListener('unhandledrejection', (event) => note('exception', event.reason));
  if (top !== window) return;
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
      this.read((state, after) => window.statesSeen.slice(after).find((seen) => seen.state === state), state, after));
    return found ?? this.state();
  }

  async title() {
    return this.page.title();
  }

  // Whether a run reached `running` after the first `after` states and
  // runs now: two restarts in a row can each reach it, and only the last
  // one's run is the page's.
  async running(after, limitMs = 15000) {
    return pollUntil(limitMs, () => this.read((after) => document.body.dataset.state === 'running' &&
      window.statesSeen.slice(after).some((seen) => seen.state === 'running'), after));
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

  log() {
    return this.read(() => document.getElementById('log')?.textContent ?? '');
  }

  // The canvas's place on the page in CSS pixels and its backing store: it
  // lies in the frame of the run in progress.
  canvas() {
    return this.read(() => {
      const frame = document.querySelector('#stage iframe');
      frame.scrollIntoView({ block: 'nearest' });
      const canvas = frame.contentDocument.getElementById('canvas');
      const [outer, inner] = [frame.getBoundingClientRect(), canvas.getBoundingClientRect()];
      return { x: outer.x + inner.x, y: outer.y + inner.y, width: inner.width, height: inner.height,
               store: [canvas.width, canvas.height] };
    });
  }

  // The canvas as the screen shows it, at the device pixel ratio.
  async shot(file) {
    // WebKit's screenshot of an element leaves out what lies outside the
    // view.
    await this.read(() => document.querySelector('#stage iframe').scrollIntoView({ block: 'nearest' }));
    // The run's frame holds the canvas alone, at its size.
    const picture = decodePicture(await this.page.shoot('#stage iframe'));
    writePicture(picture, file);
    return picture;
  }

  async moveMouse(x, y) {
    const box = await this.canvas();
    await this.page.mouse('move', box.x + x, box.y + y);
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
  // click on it gives.
  async pressEscape() {
    await this.read(() => document.querySelector('#stage iframe').contentDocument.getElementById('canvas').focus());
    await this.page.key('Escape');
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

  async click(id) {
    await this.page.click(`#${id}`);
  }

  // The text of the page's element `id`.
  says(id) {
    return this.read((id) => document.getElementById(id)?.textContent ?? '', id);
  }

  // The runs' frames on the page, and the GL contexts and the runs' windows
  // that are still alive after a collection, counted again after each
  // further collection until `enough` holds of the counts or 30 s have
  // passed: an engine may free what a page let go only after a few. Where
  // the driver cannot force one, the page makes garbage enough for the
  // engine to collect.
  async holdings(enough) {
    let held;
    await pollUntil(30000, async () => {
      await this.collect();
      held = await this.read(() => ({
        runs: document.querySelectorAll('#stage iframe').length,
        contexts: new Set([...(window.contextsMade ?? [])].map((ref) => ref.deref())
          .filter((context) => context?.isContextLost() === false)).size,
        windows: [...(window.framesMade ?? [])].filter((ref) => ref.deref()).length,
      }));
      return enough(held);
    });
    return held;
  }

  async collect() {
    if (!this.engine.cannot.collect) {
      await this.engine.memory();
      return;
    }
    await this.read(async () => {
      for (let round = 0; round < 4; ++round) {
        let garbage = Array.from({ length: 64 }, () => new ArrayBuffer(4 << 20));
        garbage = null;
        await new Promise((resolve) => setTimeout(resolve, 1000));
      }
    });
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
    return this.read(() => {
      const canvas = document.querySelector('#stage iframe').contentDocument.getElementById('canvas');
      window.contextLoser = canvas.getContext('webgl').getExtension('WEBGL_lose_context');
      window.contextLoser.loseContext();
    });
  }

  restoreContext() {
    return this.read(() => {
      window.contextLoser.restoreContext();
      delete window.contextLoser;
    });
  }

  // Puts `text` in place of a stage's text in its editor: everything
  // selected with the editor's own key, then the text put in as the
  // browser's editing puts in typed or pasted text.
  typeInEditor(stage, text) {
    return this.read((stage, text) => {
      const content = document.querySelector(`[data-stage="${stage}"] .cm-content`);
      content.focus();
      const selectAll = { key: 'a', code: 'KeyA', keyCode: 65, ctrlKey: true, bubbles: true, cancelable: true };
      content.dispatchEvent(new KeyboardEvent('keydown', selectAll));
      document.execCommand('insertText', false, text);
    }, stage, text);
  }

  // The lines (from 1) that the editor of `stage` marks as errors, of those
  // it shows: the editor draws only the lines in view, each beside its
  // number in the gutter (whose hidden first element only sizes it).
  markedLines(stage) {
    return this.read((stage) => {
      const section = document.querySelector(`[data-stage="${stage}"]`);
      const numbers = [...section.querySelectorAll('.cm-lineNumbers .cm-gutterElement')]
        .filter((element) => element.style.visibility !== 'hidden').map((element) => Number(element.textContent));
      return [...section.querySelectorAll('.cm-line')]
        .flatMap((line, i) => (line.querySelector('.cm-lintRange-error') ? [numbers[i]] : []));
    }, stage);
  }

  // The whole text of a stage's editor, which draws only the lines in view:
  // its view is found from its DOM as CodeMirror's EditorView.findFromDOM
  // finds it.
  editorText(stage) {
    return this.read((stage) => document.querySelector(`[data-stage="${stage}"] .cm-content`).cmTile.root.view.state
      .doc.toString(), stage);
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
