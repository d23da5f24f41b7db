// The web build in headless Chromium: a local server for its folder, the
// browser with software WebGL, and the page driven over the DevTools
// protocol as a person would drive it, with everything that went wrong on it.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

import { decodePicture, writePicture } from './pictures.mjs';
import { showsFrameRate } from './native.mjs';
import { pollUntil } from './timing.mjs';

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

// Serves a folder on 127.0.0.1 at a free port; gives its address and a
// function that stops the server.
export async function serveFolder(folder) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(root, name.endsWith('/') ? `${name}index.html` : name);
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    const type = contentTypes[path.extname(file)] ?? 'application/octet-stream';
    response.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'no-store' });
    fs.createReadStream(file).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}/`, stop: () => server.close() };
}

// Software WebGL through SwiftShader (so no --disable-gpu), no throttling of
// a page that nobody looks at, and none of the browser's own network
// traffic, which a machine without a way out refuses.
export function launchChromium(extraArgs = []) {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: [
      '--no-sandbox',
      '--use-angle=swiftshader',
      '--enable-unsafe-swiftshader',
      '--ignore-gpu-blocklist',
      '--disable-background-timer-throttling',
      '--disable-renderer-backgrounding',
      '--disable-backgrounding-occluded-windows',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      '--disable-quic',
      '--no-first-run',
      ...extraArgs,
    ],
  });
}

// Runs in the page before its own scripts: keeps every error that the
// program's glGetError calls return, passing each on unchanged, and every
// state that the page passes through, however briefly it stays in it.
// Each run's frame reports its errors to the page: the frame goes when the
// run does. Only numbers cross, so that the page holds nothing of a frame.
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

// Chromium reports GL errors that WebGL catches or ANGLE raises as console
// warnings ("WebGL: INVALID_OPERATION: ...", "[.WebGL-...] GL_INVALID_...").
const webGLWarning = /WebGL|GL_INVALID|GL ERROR/i;

export class WebProgram {
  // Opens the page in a tab of its own: `scale` is the device pixel ratio,
  // `touch` gives the tab a touch screen.
  static async open(browser, url, { scale = 1, touch = false } = {}) {
    const program = new WebProgram();
    program.page = await browser.newPage();
    program.problems = [];
    program.page.on('pageerror', (error) => program.problems.push(`exception: ${error.message}`));
    program.page.on('console', (message) => {
      // A failed request is told below with its address.
      if (message.text().startsWith('Failed to load resource')) return;
      if (message.type() === 'error') program.problems.push(`console error: ${message.text()}`);
      else if (webGLWarning.test(message.text())) program.problems.push(message.text());
    });
    // The browser asks for an icon of its own accord; a page need not have one.
    program.page.on('response', (response) => {
      const failed = response.status() >= 400 && !response.url().endsWith('/favicon.ico');
      if (failed) program.problems.push(`HTTP ${response.status()} for ${response.url()}`);
    });
    await program.page.setViewport({ width: 800, height: 600, deviceScaleFactor: scale, hasTouch: touch });
    await program.page.evaluateOnNewDocument(watchPage);
    await program.page.goto(url, { waitUntil: 'load' });
    return program;
  }

  async close() {
    await this.page.close();
  }

  // Everything that went wrong on the page so far: exceptions, console
  // errors, WebGL errors in the console and those that glGetError returned.
  async allProblems() {
    const errors = await this.page.evaluate(() => window.glErrorsSeen ?? []).catch(() => []);
    return [...this.problems, ...errors.map((error) => `glGetError gave 0x${error.toString(16)}`)];
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
               store: [canvas.width, canvas.height], scroll: [window.scrollX, window.scrollY] };
    });
  }

  // The canvas as the screen shows it, at the device pixel ratio.
  async shot(file) {
    const box = await this.canvas();
    // The clip is measured on the whole page, the box in the viewport.
    const clip = { x: box.x + box.scroll[0], y: box.y + box.scroll[1], width: box.width, height: box.height };
    const picture = decodePicture(await this.page.screenshot({ clip, type: 'png' }));
    writePicture(picture, file);
    return picture;
  }

  async moveMouse(x, y) {
    const box = await this.canvas();
    await this.page.mouse.move(box.x + x, box.y + y);
  }

  async setLeftButton(down) {
    await (down ? this.page.mouse.down() : this.page.mouse.up());
  }

  async touch(phase, x, y) {
    const box = await this.canvas();
    const screen = this.page.touchscreen;
    if (phase === 'start') await screen.touchStart(box.x + x, box.y + y);
    else if (phase === 'move') await screen.touchMove(box.x + x, box.y + y);
    else await screen.touchEnd();
  }

  // The keys go to the run's frame once its canvas has the focus, as a
  // click on it gives.
  async pressEscape() {
    await this.read(() => document.querySelector('#stage iframe').contentDocument.getElementById('canvas').focus());
    await this.page.keyboard.press('Escape');
  }

  // Chooses files through the page's file input, as a person would in the
  // browser's file dialog. The same files chosen twice in a row would change
  // nothing that the input sees, so the last choice is cleared first.
  async choosePair(files) {
    const input = await this.page.$('#pair');
    await input.evaluate((element) => {
      element.value = '';
    });
    await input.uploadFile(...files);
  }

  async click(id) {
    await this.page.click(`#${id}`);
  }

  // The text of the page's element `id`.
  says(id) {
    return this.read((id) => document.getElementById(id)?.textContent ?? '', id);
  }

  // The runs' frames on the page and the GL contexts that are still alive.
  holdings() {
    return this.read(() => ({
      runs: document.querySelectorAll('#stage iframe').length,
      contexts: [...(window.contextsMade ?? [])].filter((ref) => ref.deref()?.isContextLost() === false).length,
      windows: [...(window.framesMade ?? [])].filter((ref) => ref.deref()).length,
    }));
  }

  // What the page holds in memory once garbage is collected: the JS heap
  // and the array buffers (the module's heap among them).
  async memory() {
    const session = await this.session();
    await session.send('HeapProfiler.collectGarbage');
    const usage = await session.send('Runtime.getHeapUsage');
    return { bytes: usage.usedSize + (usage.backingStorageSize ?? 0), collected: true,
             what: 'JS heap and array buffers after a forced collection' };
  }

  async session() {
    this.cdp ??= await this.page.createCDPSession();
    return this.cdp;
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

  // Puts `text` in place of a stage's text in its editor, as a paste would.
  async typeInEditor(stage, text) {
    await this.page.click(`[data-stage="${stage}"] .cm-content`);
    await this.page.keyboard.down('Control');
    await this.page.keyboard.press('KeyA');
    await this.page.keyboard.up('Control');
    await this.read((text) => document.execCommand('insertText', false, text), text);
  }

  // The lines (from 1) that the editor of `stage` marks as errors.
  markedLines(stage) {
    return this.read((stage) => [...document.querySelectorAll(`[data-stage="${stage}"] .cm-line`)]
      .flatMap((line, i) => (line.querySelector('.cm-lintRange-error') ? [i + 1] : [])), stage);
  }

  async pressEscapeIn(selector) {
    await this.page.click(selector);
    await this.page.keyboard.press('Escape');
  }

  async setPixelRatio(ratio) {
    await this.page.setViewport({ ...this.page.viewport(), deviceScaleFactor: ratio });
  }

  // Another tab in front while `whileAway` runs: the page is hidden and has
  // lost the focus.
  async away(whileAway) {
    const other = await this.page.browser().newPage();
    await other.bringToFront();
    try {
      await whileAway();
    } finally {
      await this.page.bringToFront();
      await other.close();
    }
  }

  // Runs a check that needs the driver to do `what` it may not do, or says
  // that it could not.
  async withControl(what, check, text, run) {
    if (!this.can[what]) {
      check.notChecked(`[${this.engine}] ${text}`, this.cannot[what]);
      return;
    }
    const [ok, figures] = await run();
    check.report(ok, `[${this.engine}] ${text}`, figures);
  }
}
WebProgram.prototype.engine = 'chromium';
WebProgram.prototype.can = { pixelRatio: true, away: true };
WebProgram.prototype.cannot = {};
