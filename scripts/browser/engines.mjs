// The three browser engines behind one interface: Chromium over the DevTools
// protocol and Firefox over WebDriver BiDi (both through puppeteer-core), and
// WebKit's MiniBrowser over classic WebDriver (WebKitWebDriver, through
// selenium-webdriver). Each engine opens pages at 800 x 600 CSS pixels and
// gives every page the same few operations; what a driver cannot do is named
// in `cannot`, with why.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { Builder, Key } from 'selenium-webdriver';

import { memoryOf, processTree } from './processes.mjs';
import { pollUntil } from './timing.mjs';

export const engineNames = ['chromium', 'firefox', 'webkit'];
const miniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const noCollection = 'its driver has no forced collection';
// What each engine's driver cannot do, and why: a test that needs it is
// skipped with the reason.
export const cannot = {
  chromium: {
    pixelRatio: "its driver changes the ratio of the page alone, and a run's frame lives in a process of its own",
  },
  firefox: { collect: noCollection },
  webkit: {
    touch: "WebKitGTK gives a page no touch events without a touch screen, and the driver's touch pointer none",
    collect: noCollection,
    pixelRatio: 'MiniBrowser takes its pixel ratio from GDK_SCALE as it starts',
    away: 'each MiniBrowser window is alone on a display with no window manager to put another in front',
  },
};

// The engines named in $QUORVEL_WEB_ENGINES (comma-separated), or all.
export function chosenEngines() {
  const asked = process.env.QUORVEL_WEB_ENGINES?.split(',').filter(Boolean) ?? engineNames;
  const unknown = asked.filter((name) => !engineNames.includes(name));
  if (unknown.length) throw new Error(`unknown engine(s) ${unknown.join(', ')}; known: ${engineNames.join(', ')}`);
  return asked;
}

// Starts the engine's browser; `webgl: false` starts it with WebGL switched
// off. Firefox and WebKit need an X display even when nothing shows: without
// one Firefox has no WebGL, and MiniBrowser is a GTK window.
export function openEngine(name, { webgl = true } = {}) {
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), `quorvel-${name}-`));
  return { chromium: openChromium, firefox: openFirefox, webkit: openWebKit }[name](downloads, webgl);
}

// Software WebGL through SwiftShader (so no --disable-gpu), no throttling of
// a page that nobody looks at, and none of the browser's own network
// traffic, which a machine without a way out refuses. The driver's pixel
// ratio reaches the page but not a run's frame, which lives in a process
// of its own: a page at another ratio gets a browser started at it.
function launchChromium(webgl, scale) {
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
      `--force-device-scale-factor=${scale}`,
      ...(webgl ? [] : ['--disable-3d-apis']),
    ],
  });
}

async function openChromium(downloads, webgl) {
  const browsers = new Map();
  const browserAt = async (scale) => {
    if (!browsers.has(scale)) {
      const browser = await launchChromium(webgl, scale);
      const session = await browser.target().createCDPSession();
      await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
      browsers.set(scale, browser);
    }
    return browsers.get(scale);
  };
  const main = await browserAt(1);
  // A run's frame lives in a process of its own, as a target of its own.
  const memory = async () => {
    let bytes = 0;
    for (const target of main.targets()) {
      if (!['page', 'other'].includes(target.type()) || !target.url().startsWith('http')) continue;
      const cdp = await target.createCDPSession().catch(() => null);
      if (!cdp) continue;
      await cdp.send('HeapProfiler.collectGarbage');
      const heap = await cdp.send('Runtime.getHeapUsage');
      bytes += heap.usedSize + (heap.backingStorageSize ?? 0);
      await cdp.detach();
    }
    return { bytes, what: 'JS heap and array buffers of the open pages and their frames after a forced collection' };
  };
  return {
    ...puppeteerEngine('chromium', main, downloads, memory),
    open: async (url, options = {}) => puppeteerPage(await browserAt(options.scale ?? 1), url, options),
    async close() {
      for (const browser of browsers.values()) await browser.close();
      fs.rmSync(downloads, { recursive: true, force: true });
    },
  };
}

async function openFirefox(downloads, webgl) {
  const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: true,
    extraPrefsFirefox: {
      // Without it a page gets pointer events from a touch but no touch events.
      'dom.w3c_touch_events.enabled': 1,
      'webgl.disabled': !webgl,
      'browser.download.dir': downloads,
      'browser.download.folderList': 2,
      'browser.download.useDownloadDir': true,
      'browser.download.always_ask_before_handling_new_types': false,
    },
  });
  // Its main process is left out: it grows by some 60 MiB over thirty
  // restarts even of a page that lets every run go, noise enough to hide a leak.
  const root = browser.process().pid;
  return puppeteerEngine('firefox', browser, downloads, async () => treeMemory([root], { rootsToo: false }));
}

function puppeteerEngine(name, browser, downloads, memory) {
  return {
    name,
    cannot: cannot[name],
    downloads,
    memory,
    open: (url, options) => puppeteerPage(browser, url, options),
    async close() {
      await browser.close();
      fs.rmSync(downloads, { recursive: true, force: true });
    },
  };
}

async function puppeteerPage(browser, url, { scale = 1, touch = false } = {}) {
  const page = await browser.newPage();
  const lines = [];
  page.on('pageerror', (error) => lines.push({ type: 'exception', text: error.message }));
  page.on('console', (message) => lines.push({ type: message.type(), text: message.text() }));
  await page.setViewport({ width: 800, height: 600, deviceScaleFactor: scale, hasTouch: touch });
  await page.goto(url, { waitUntil: 'load' });
  const screen = page.touchscreen;
  const touches = {
    start: (x, y) => screen.touchStart(x, y),
    move: (x, y) => screen.touchMove(x, y),
    end: () => screen.touchEnd(),
  };
  const buttons = { move: (x, y) => page.mouse.move(x, y), down: () => page.mouse.down(), up: () => page.mouse.up() };
  return {
    evaluate: (expression, ...args) => page.evaluate(expression, ...args),
    evaluateIn: async (selector, expression) => (await (await page.$(selector)).contentFrame()).evaluate(expression),
    title: () => page.title(),
    click: (selector) => page.click(selector),
    chooseFiles: async (selector, files) => (await page.$(selector)).uploadFile(...files),
    mouse: (phase, x, y) => buttons[phase](x, y),
    touch: (phase, x, y) => touches[phase](x, y),
    key: (name) => page.keyboard.press(name),
    holdKey: (name, down) => (down ? page.keyboard.down(name) : page.keyboard.up(name)),
    shoot: async (selector) => (await page.$(selector)).screenshot({ type: 'png' }),
    consoleLines: () => lines,
    setPixelRatio: (ratio) => page.setViewport({ ...page.viewport(), deviceScaleFactor: ratio }),
    async away(whileAway) {
      const other = await browser.newPage();
      await other.bringToFront();
      try {
        await whileAway();
      } finally {
        await page.bringToFront();
        await other.close();
      }
    },
    close: () => page.close(),
  };
}

// Each WebKit page is a MiniBrowser of its own under a WebKitWebDriver of
// its own, as the device pixel ratio comes from GDK_SCALE in the browser's
// environment. Without compositing an element's screenshot is its picture
// (with it, black or shifted) and a screenshot at a scale of 2 takes a second
// instead of minutes. The downloads folder is the browser's home, where it
// saves them.
function openWebKit(downloads, webgl) {
  // Each driver's process with its session, once made.
  const sessions = new Map();
  // Quitting the session ends its MiniBrowser, which outlives a killed driver.
  const end = async (driver) => {
    const browser = sessions.get(driver);
    sessions.delete(driver);
    await browser?.quit().catch(() => {});
    driver.kill();
  };
  return {
    name: 'webkit',
    cannot: cannot.webkit,
    downloads,
    memory: async () => treeMemory([...sessions.keys()].map((driver) => driver.pid)),
    async open(url, { scale = 1 } = {}) {
      const port = await freePort();
      const env = { ...process.env, HOME: downloads, GDK_SCALE: String(scale), WEBKIT_DISABLE_COMPOSITING_MODE: '1' };
      const driver = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore', env });
      sessions.set(driver, null);
      const address = `http://127.0.0.1:${port}`;
      await pollUntil(10000, () =>
        fetch(`${address}/status`).then(
          (response) => response.ok,
          () => false,
        ),
      );
      const browser = await new Builder()
        .usingServer(address)
        .withCapabilities({
          browserName: 'MiniBrowser',
          'webkitgtk:browserOptions': { binary: miniBrowser, args: ['--automation', `--enable-webgl=${webgl}`] },
        })
        .build();
      sessions.set(driver, browser);
      await browser.manage().window().setRect({ width: 800, height: 600 });
      await browser.get(url);
      return webKitPage(browser, () => end(driver));
    },
    async close() {
      for (const driver of [...sessions.keys()]) await end(driver);
      fs.rmSync(downloads, { recursive: true, force: true });
    },
  };
}

// Classic WebDriver takes whole CSS pixels and cannot read the console: the
// page's watcher keeps its console calls and errors instead.
function webKitPage(browser, close) {
  const act = (build) => build(browser.actions({ async: true })).perform();
  const buttons = {
    move: (x, y) => act((actions) => actions.move({ x: Math.round(x), y: Math.round(y) })),
    down: () => act((actions) => actions.press()),
    up: () => act((actions) => actions.release()),
  };
  const element = (selector) => browser.findElement({ css: selector });
  return {
    evaluate: (expression, ...args) => browser.executeScript(expression, ...args),
    async evaluateIn(selector, expression) {
      await browser.switchTo().frame(await element(selector));
      try {
        return await browser.executeScript(expression);
      } finally {
        await browser.switchTo().defaultContent();
      }
    },
    title: () => browser.getTitle(),
    click: async (selector) => (await element(selector)).click(),
    chooseFiles: async (selector, files) => (await element(selector)).sendKeys(files.join('\n')),
    mouse: (phase, x, y) => buttons[phase](x, y),
    key: (name) => act((actions) => actions.sendKeys(Key[name.toUpperCase()])),
    holdKey: (name, down) =>
      act((actions) => (down ? actions.keyDown(Key[name.toUpperCase()]) : actions.keyUp(Key[name.toUpperCase()]))),
    shoot: async (selector) => Buffer.from(await (await element(selector)).takeScreenshot(), 'base64'),
    consoleLines: () => browser.executeScript(() => window.consoleSeen ?? []),
    close,
  };
}

function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// What a browser's processes hold of memory, its main process left out
// where `rootsToo` is false.
function treeMemory(roots, { rootsToo = true } = {}) {
  const tree = processTree(roots, { rootsToo });
  const which = `the browser's ${tree.size} processes${rootsToo ? '' : ' under its main one'}`;
  return { bytes: memoryOf(tree), what: `PSS of ${which}, ${noCollection}` };
}
