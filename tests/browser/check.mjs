// Checks the web build in Chromium, Firefox and WebKit against the native
// program on the same machine: the frame rate in the title, the log and its download,
// the canvas at rest and through a drag, Escape and starting again, a pair
// that does not compile and one that does, a device pixel ratio of 2, a
// touch drag and a browser without WebGL, with no exception and no WebGL
// error on the way. Prints one line per check with its engine and figures,
// or why the engine's driver cannot check it, and exits with 1 when any
// fails.
//
// Usage: node check.mjs --dist DIR --native PATH/quorvel
// $QUORVEL_WEB_ENGINES (e.g. chromium,firefox) picks the engines, and
// $QUORVEL_WEB_PAGES (e.g. mainPage,editorPage) the pages.
// The pictures go to a temporary folder, kept and named when a check fails,
// or to $QUORVEL_WEB_PICTURES when set.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { WebProgram, parseArguments, serveFolder } from './browser.mjs';
import { chosenEngines, openEngine } from './engines.mjs';
import { NativeProgram } from './native.mjs';
import { editorPage, faultsPage, floodingPage, fromFilePage, lostContextPage, restartsPage } from './page_checks.mjs';
import { brokenVertexStage, passThroughPair, removePair } from './pairs.mjs';
import { difference, within } from './pictures.mjs';
import { pause } from './timing.mjs';

// Rounding and the two rasterisers' edge rules, not drawing: a peak of 16
// levels, with 1 pixel in 10,000 let past it (12 at 400 x 300).
const pictureLimits = { peak: 16, mean: 1, strays: 1 };
// Seconds that a page may take from loading to its first frame-rate title.
const titleLimit = 10;
// The same drag for both programs, in window (CSS) pixels. The turn depends
// only on the motion between press and release; the vertical part tilts
// the blue axis off the red one so that all three show.
const dragFrom = [200, 150];
const dragTo = [260, 200];
// Both programs read the pointer once a frame, and a drag starts where the
// first frame with the button down finds it: these give the frames time.
const pressedMs = 1500;
const movedMs = 2000;
const releasedMs = 2000;
const glReportLine = /^OpenGL (Vendor|Renderer|Version): /;

const { dist, native } = parseArguments('check.mjs');
const pictures = process.env.QUORVEL_WEB_PICTURES ?? fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-web-check-'));
fs.mkdirSync(pictures, { recursive: true });
// The page's pictures are named after their engine.
const picture = (name) => path.join(pictures, `${engineName ? `${engineName}-` : ''}${name}.png`);
// A pair of the user's own with both stages unlike the shipped ones.
const ownPair = passThroughPair();
// The engine whose checks run now, named on each line.
let engineName = '';
let passed = 0;
let failed = 0;
let unchecked = 0;

function report(ok, what, figures) {
  console.log(`[${engineName}] ${ok ? 'ok' : 'FAIL'}: ${what}: ${figures}`);
  if (ok) ++passed;
  else ++failed;
}

function notChecked(what, why) {
  console.log(`[${engineName}] not checked: ${what}: ${why}`);
  ++unchecked;
}

function comparePictures(what, page, native) {
  const diff = difference(page, native, pictureLimits.peak);
  const { peak, mean, strays } = pictureLimits;
  report(within(diff, pictureLimits), what, `${diff.text} (limits ${peak} but for ${strays} pixel in 10,000, ${mean})`);
}

// The native program with the shipped pair through the session that the
// page goes through, and with the user's own pair at rest.
async function nativeReference() {
  const reference = await nativeSession();
  const program = await NativeProgram.start(native, ownPair);
  try {
    if (!(await program.waitForFrameRate())) throw new Error(`no native frame rate; log:\n${program.log()}`);
    reference.ownPair = program.shot(picture('native-own-pair'));
    await program.quit();
  } finally {
    program.remove();
  }
  return reference;
}

// What the native program shows and logs: at rest, at 800 x 600, during and
// after the drag, and its log after Escape.
async function nativeSession() {
  const program = await NativeProgram.start(native);
  try {
    if (!(await program.waitForFrameRate())) throw new Error(`no native frame rate; log:\n${program.log()}`);
    await pause(2000);
    const reference = { rest: program.shot(picture('native-rest')), title: program.title() };
    program.resize(800, 600);
    await pause(releasedMs);
    reference.large = program.shot(picture('native-800x600'));
    program.resize(400, 300);
    await pause(releasedMs);
    await dragThrough(program, () => {
      reference.during = program.shot(picture('native-during-drag'));
    });
    reference.after = program.shot(picture('native-after-drag'));
    reference.status = await program.quit();
    reference.log = program.log();
    if (reference.status !== 0) throw new Error(`the native program ended with ${reference.status}`);
    return reference;
  } finally {
    program.remove();
  }
}

// Presses at dragFrom, moves to dragTo, calls `whileHeld`, releases and lets
// the release show.
async function dragThrough(program, whileHeld) {
  await program.moveMouse(...dragFrom);
  await program.setLeftButton(true);
  await pause(pressedMs);
  await program.moveMouse(...dragTo);
  await pause(movedMs);
  await whileHeld();
  await program.setLeftButton(false);
  await pause(releasedMs);
}

async function startsDrawing(web, what) {
  const started = Date.now();
  const title = await web.waitForFrameRate(titleLimit * 1000);
  const seconds = ((Date.now() - started) / 1000).toFixed(1);
  const { state, message } = await web.state();
  const figures = title
    ? `"${title}" ${seconds} s after loading`
    : `title "${await web.title()}", state "${state}", message "${message}" after ${titleLimit} s`;
  report(title !== '', what, figures);
  return title !== '';
}

// The page's log has the native log's lines but for the GL's own names of
// itself and its version.
function compareLogs(what, pageLog, nativeLog) {
  const pageLines = pageLog.split('\n');
  const nativeLines = nativeLog.split('\n');
  const differing = [];
  for (let i = 0; i < Math.max(pageLines.length, nativeLines.length); ++i) {
    const [line, expected] = [pageLines[i] ?? '(none)', nativeLines[i] ?? '(none)'];
    if (line === expected) continue;
    if (glReportLine.test(line) && line.match(glReportLine)[0] === expected.match(glReportLine)?.[0]) continue;
    differing.push(`line ${i + 1}: "${line}" where the native log has "${expected}"`);
  }
  const glNames = pageLines.filter((line) => glReportLine.test(line)).map((line) => line.replace(glReportLine, ''));
  const figures = differing.length
    ? `${differing.length} line(s) differ; ${differing.slice(0, 3).join('; ')}`
    : `${nativeLines.length} lines, the GL report lines aside (here "${glNames.join('", "')}")`;
  report(differing.length === 0, what, figures);
}

// The page ends a run after its first `after` states with `status` and
// says so.
async function endedWith(web, status, what, after) {
  const now = await web.waitForState('ended', 10000, after);
  const text = await web.read(() => document.body.innerText);
  const said = text.includes(`The run ended with status ${status}`);
  const figures = `state "${now.state}", status "${now.status}", the page ${said ? 'says' : 'does not say'} so`;
  report(now.state === 'ended' && now.status === String(status) && said, what, figures);
}

async function checkDownload(web, engine) {
  const file = path.join(engine.downloads, 'logfile.txt');
  await web.click('download');
  for (let tries = 0; tries < 50 && !fs.existsSync(file); ++tries) await pause(100);
  const downloaded = fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : null;
  const same = downloaded === (await web.log());
  const figures =
    downloaded === null ? 'no logfile.txt came' : `${downloaded.length} characters, ${same ? 'as' : 'not as'} shown`;
  report(same, 'the download link gives logfile.txt as the page shows it', figures);
}

// After a run has ended, the page offers to start again, and does.
async function checkRestart(web) {
  const shown = await web.read(() => !document.getElementById('restart').hidden);
  const before = await web.statesSoFar();
  if (shown) await web.click('restart');
  const now = await web.waitForState('running', titleLimit * 1000, before);
  const figures = shown ? `state "${now.state}" after the click` : 'no button shown';
  report(now.state === 'running', 'the ended run offers to start again, and does', figures);
}

async function checkBrokenPair(web) {
  const broken = brokenVertexStage();
  const before = await web.statesSoFar();
  await web.choosePair(broken);
  await endedWith(web, 1, 'a vertex stage that does not compile ends the run with 1', before);
  removePair(broken);
  const log = await web.log();
  const header = '***COMPILER ERROR (Vertex Shader):\n';
  const compilerLine = log.includes(header) ? log.split(header)[1].split('\n')[0] : '';
  const figures = `"${compilerLine || log.slice(-200)}"`;
  report(/notDeclared/.test(compilerLine), 'its compiler lines are on the page', figures);
}

// Both stages of a pair of one's own, chosen together, draw as they draw
// in the native window.
async function checkOwnPair(web, reference) {
  const before = await web.statesSoFar();
  await web.choosePair(ownPair);
  const now = await web.waitForState('running', titleLimit * 1000, before);
  await pause(3000);
  const diff = difference(await web.shot(picture('page-own-pair')), reference.ownPair);
  const { state, status } = await web.state();
  const log = (await web.log()).trim().split('\n').slice(-2).join(' / ');
  const figures = now.state === 'running'
    ? `${diff.text} from the native window with the same pair`
    : `no run: state "${state}", status "${status}", the log ends "${log}"`;
  const drawn = now.state === 'running' && within(diff, pictureLimits);
  report(drawn, 'a pair of both stages chosen together draws', figures);
}

async function mainPage(engine, url, reference) {
  const web = await WebProgram.open(engine, url);
  if (!(await startsDrawing(web, 'the title shows the frame rate'))) return web;
  await pause(2000);
  comparePictures('canvas at rest against the native window', await web.shot(picture('page-rest')), reference.rest);
  compareLogs('while the program runs, the log on the page is the native log', await web.log(), reference.log);
  await dragThrough(web, async () => {
    const during = await web.shot(picture('page-during-drag'));
    comparePictures('canvas during the drag (axes and preview)', during, reference.during);
  });
  comparePictures('canvas after the drag (turned volume)', await web.shot(picture('page-after-drag')), reference.after);
  let before = await web.statesSoFar();
  await web.pressEscape();
  await endedWith(web, 0, 'Escape ends the run with 0', before);
  compareLogs('after the run, the log on the page is the native log', await web.log(), reference.log);
  await checkDownload(web, engine);
  await checkRestart(web);
  await checkBrokenPair(web);
  await checkOwnPair(web, reference);
  before = await web.statesSoFar();
  await web.click('shipped');
  const started = (await web.waitForState('running', titleLimit * 1000, before)).state === 'running';
  await pause(3000);
  const rest = await web.shot(picture('page-shipped-again'));
  const diff = difference(rest, reference.rest);
  const figures = started ? `${diff.text} from the native window at rest` : 'no run started';
  report(started && within(diff, pictureLimits), 'the shipped pair chosen again draws the clouds', figures);
  return web;
}

async function highDensityPage(engine, url, reference) {
  const web = await WebProgram.open(engine, url, { scale: 2 });
  if (!(await startsDrawing(web, 'at a device pixel ratio of 2 the page draws'))) return web;
  await pause(2000);
  const canvas = await web.canvas();
  const sharp = canvas.store[0] === 800 && canvas.store[1] === 600 && canvas.width === 400 && canvas.height === 300;
  report(sharp, 'at a device pixel ratio of 2 the backing store is 800 x 600',
         `${canvas.store.join(' x ')} for ${canvas.width} x ${canvas.height} CSS pixels`);
  comparePictures('at a device pixel ratio of 2, against the native window at 800 x 600',
                  await web.shot(picture('page-dpr2')), reference.large);
  return web;
}

async function touchPage(engine, url, reference) {
  const [draws, during, after] = ['on a touch screen the page draws',
    'a one-finger drag, during, against the mouse drag in the native window',
    'a one-finger drag, after, against the mouse drag in the native window'];
  if (engine.cannot.touch) {
    for (const what of [draws, during, after]) notChecked(what, engine.cannot.touch);
    return null;
  }
  const web = await WebProgram.open(engine, url, { touch: true });
  if (!(await startsDrawing(web, draws))) return web;
  await pause(2000);
  await web.touch('start', ...dragFrom);
  await pause(pressedMs);
  await web.touch('move', ...dragTo);
  await pause(movedMs);
  comparePictures(during, await web.shot(picture('page-during-touch')), reference.during);
  await web.touch('end');
  await pause(releasedMs);
  comparePictures(after, await web.shot(picture('page-after-touch')), reference.after);
  return web;
}

// A browser without WebGL gets a message on the page and no run.
async function checkWithoutWebGL(name, url) {
  const engine = await openEngine(name, { webgl: false });
  try {
    const web = await WebProgram.open(engine, url);
    await pause(3000);
    const { state, status, message } = await web.state();
    const [run, pairs] = await web.read(() => [document.getElementById('run').textContent,
                                               document.getElementById('pairs').hidden]);
    const figures = `state "${state}", status "${status}", "${run}", the pair's sentence ${pairs ? 'hidden' : 'shown'}, ` +
                    `message "${message}"`;
    const told = state === 'ended' && status === 'no-webgl' && message !== '' && run === 'Nothing runs.' && pairs;
    report(told, 'a browser without WebGL gets a message, and only what is true shows', figures);
  } finally {
    await engine.close();
  }
}

// Each kind of problem once, with how often it came.
function describeProblems(problems) {
  if (problems.length === 0) return 'none';
  const counts = new Map();
  for (const problem of problems) counts.set(problem, (counts.get(problem) ?? 0) + 1);
  const kinds = [...counts].map(([problem, count]) => (count > 1 ? `${problem} (${count} times)` : problem));
  return `${problems.length}: ${kinds.slice(0, 8).join('; ')}`;
}

// Every check in one engine, the memory that its browser holds after the
// pages, and how long it all took.
async function checkEngine(name, server, reference) {
  const started = Date.now();
  const engine = await openEngine(name);
  try {
    const problems = [];
    for (const run of [mainPage, highDensityPage, touchPage].filter(chosenPage)) {
      const web = await run(engine, server.url, reference);
      if (!web) continue;
      problems.push(...(await web.allProblems()));
      if (run === mainPage) await sayMemory(engine);
      await web.close();
    }
    const open = (url = server.url) => WebProgram.open(engine, url);
    const check = { report, notChecked, picture, reference, withinLimits: (diff) => within(diff, pictureLimits) };
    for (const run of [editorPage, restartsPage, lostContextPage, faultsPage, floodingPage].filter(chosenPage)) {
      const web = await run(open, check);
      problems.push(...(await web.allProblems()));
      await web.close();
    }
    if (chosenPage(fromFilePage)) await (await fromFilePage(open, check, dist)).close();
    problems.push(...server.failures.splice(0));
    report(problems.length === 0, 'exceptions and WebGL errors on the pages', describeProblems(problems));
  } finally {
    await engine.close();
  }
  await checkWithoutWebGL(name, server.url);
  console.log(`[${name}] checked in ${((Date.now() - started) / 1000).toFixed(0)} s`);
}

// The pages named in $QUORVEL_WEB_PAGES (comma-separated function names,
// e.g. editorPage,faultsPage), or all.
function chosenPage(page) {
  const asked = process.env.QUORVEL_WEB_PAGES?.split(',').filter(Boolean);
  return !asked || asked.includes(page.name);
}

async function sayMemory(engine) {
  const { bytes, what } = await engine.memory();
  console.log(`[${engine.name}] memory with the main page open: ${(bytes / 2 ** 20).toFixed(1)} MiB (${what})`);
}

async function main() {
  const server = await serveFolder(dist);
  try {
    const reference = await nativeReference();
    console.log(`native program: "${reference.title}", pictures in ${pictures}`);
    for (engineName of chosenEngines()) {
      try {
        await checkEngine(engineName, server, reference);
      } catch (error) {
        report(false, 'the check ran to its end', error.stack ?? error);
      }
    }
  } catch (error) {
    engineName = 'native';
    report(false, 'the check ran to its end', error.stack ?? error);
  } finally {
    removePair(ownPair);
    server.stop();
  }
  console.log(`${passed} passed, ${failed} failed, ${unchecked} not checked`);
  if (failed === 0 && !process.env.QUORVEL_WEB_PICTURES) fs.rmSync(pictures, { recursive: true, force: true });
  else console.log(`pictures: ${pictures}`);
  process.exit(failed === 0 ? 0 : 1);
}

main();
