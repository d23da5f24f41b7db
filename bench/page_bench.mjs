// Frame rates of the web build in each engine beside the native program on
// this machine: the page's clouds at rest, the page with a pass-through pair
// (the same uniforms, one constant colour, nothing culled), and the native
// program with each pair, in interleaved rounds, the order reversed every
// other round, so that load from elsewhere and the place in a round fall on
// every case alike. Only one program runs at a time; the other engines'
// pages idle with their run ended. Each rate is what the program itself
// shows in its title, read once a second; beside it, what the case's
// processes (the native program, or the engine's browser with all its
// processes) spent over the same seconds: CPU time and minor page faults a
// frame, from /proc. The X server's share is in neither. The native clouds
// run twice, as A and B: identical programs must come out level, or the
// order and the load decide the ratios. Prints the figures and each engine's
// ratios to the native program; a missed target is reported, not failed.
//
// Usage: node bench/page_bench.mjs --dist DIR --native PATH/quorvel
// $QUORVEL_WEB_ENGINES (e.g. firefox,webkit) picks the engines.
import { median } from '../app/web/measure.js';
import { chosenEngines, openEngine } from '../scripts/browser/engines.mjs';
import { NativeProgram, frameRateTitle } from '../scripts/browser/native.mjs';
import { passThroughPair, removePair } from '../scripts/browser/pairs.mjs';
import { children, processTree } from '../scripts/browser/processes.mjs';
import { serveFolder } from '../scripts/browser/serve.mjs';
import { pause } from '../scripts/browser/timing.mjs';
import { WebProgram, parseArguments, withWatcher } from '../scripts/browser/web_program.mjs';

const rounds = 5;
// Seconds after the first title with a rate before the readings start: the
// pages take a few more CPU milliseconds and page faults a frame in their
// first seconds (WebKit up to about 6 s); the native program takes none.
const settleSeconds = 5;
// Titles read in a case, one a second.
const readings = 5;
const startLimitMs = 20000;
// Identical programs must time within this share of each other.
const selfCheckTolerance = 0.03;
const mean = (values) => values.reduce((sum, value) => sum + value, 0) / values.length;

// What the processes spent between two looks; one that ended in between
// drops out, one that started counts whole.
function spent(before, after) {
  let [cpuMs, faults] = [0, 0];
  for (const [pid, now] of after) {
    cpuMs += now.cpuMs - (before.get(pid)?.cpuMs ?? 0);
    faults += now.faults - (before.get(pid)?.faults ?? 0);
  }
  return { cpuMs, faults };
}

// The case's frame rate, the median of its titles over a few seconds, and
// its processes' CPU time and faults a frame over the same seconds. The
// frames are counted from the titles' rates.
async function readCase(title, roots) {
  await pause(settleSeconds * 1000);
  const before = processTree(roots);
  const start = Date.now();
  const rates = [];
  for (let i = 0; i < readings; ++i) {
    await pause(1000);
    rates.push(Number(frameRateTitle.exec(await title())?.[1] ?? 0));
  }
  const { cpuMs, faults } = spent(before, processTree(roots));
  const frames = (mean(rates) * (Date.now() - start)) / 1000;
  return { fps: median(rates), cpuMs: cpuMs / frames, faults: faults / frames };
}

async function nativeCase(binary, pair) {
  const program = await NativeProgram.start(binary, pair);
  try {
    if (!(await program.waitForFrameRate(startLimitMs))) throw new Error(`no native frame rate:\n${program.log()}`);
    const figures = await readCase(() => program.title(), [program.child.pid]);
    await program.quit();
    return figures;
  } finally {
    program.remove();
  }
}

// Starts the page's program again (`start` clicks or chooses files), times
// it and ends it with Escape, so that the page idles while others run.
async function pageCase(web, roots, start) {
  const before = await web.statesSoFar();
  await start();
  const now = await web.waitForState('running', startLimitMs, before);
  if (now.state !== 'running') {
    const log = (await web.log()).trim().split('\n').slice(-3).join(' / ');
    throw new Error(`the run is ${now.state} with status "${now.status}"; the log ends: ${log}`);
  }
  if (!(await web.waitForFrameRate(startLimitMs))) throw new Error('no frame rate in the title');
  const figures = await readCase(() => web.title(), roots);
  await endRun(web);
  return figures;
}

async function endRun(web) {
  const ending = await web.statesSoFar();
  await web.pressEscape();
  await web.waitForState('ended', startLimitMs, ending);
}

// A case's figures over all rounds: medians of the rates and of the CPU time
// a frame, the mean of the faults a frame.
function summary(list) {
  if (list.length === 0) return undefined;
  return {
    fps: median(list.map((one) => one.fps)),
    cpuMs: median(list.map((one) => one.cpuMs)),
    faults: mean(list.map((one) => one.faults)),
  };
}

const fixed = (value, digits) => value?.toFixed(digits) ?? 'n/a';

// How many times faster the case of `ours` runs than that of `theirs`, by
// frame rate and by CPU time a frame: the median of the rounds' ratios, so
// that the load of the moment falls on both sides of each.
function ratios(ours, theirs) {
  const rounds = [...Array(Math.min(ours.length, theirs.length)).keys()];
  return {
    rate: median(rounds.map((round) => ours[round].fps / theirs[round].fps)),
    cpu: median(rounds.map((round) => theirs[round].cpuMs / ours[round].cpuMs)),
  };
}

// The clouds' share of the native rate to reach: Chromium draws with its own
// software rasteriser (SwiftShader), Firefox and WebKit with the native
// program's (Mesa's llvmpipe).
const cloudsTarget = { chromium: 0.6, firefox: 0.8, webkit: 0.8 };

function printRows(title, rows) {
  const widths = rows[0].map((_, column) => Math.max(...rows.map((row) => row[column].length)));
  console.log(title);
  for (const row of rows) console.log(row.map((cell, column) => cell.padStart(widths[column])).join('  '));
}

function printTables(names, results) {
  const rows = [['', 'frames/s', 'wall ms', 'CPU ms', 'faults/frame']];
  for (const [name, list] of Object.entries(results)) {
    const one = summary(list);
    rows.push([name, fixed(one?.fps, 1), fixed(one && 1000 / one.fps, 1), fixed(one?.cpuMs, 1), fixed(one?.faults, 1)]);
  }
  printRows('medians over the rounds (faults: mean):', rows);
  const native = { clouds: results['native clouds'], passing: results['native pass-through'] };
  const table = [['', 'clouds/native', 'CPU', 'target', 'pass-through/native', 'CPU', 'clouds/pass-through']];
  table.push(['native', '', '', '', '', '', fixed(ratios(native.clouds, native.passing).rate, 2)]);
  for (const name of names) {
    const [clouds, passing] = [results[`${name} clouds`], results[`${name} pass-through`]];
    const [ofClouds, ofPassing] = [ratios(clouds, native.clouds), ratios(passing, native.passing)];
    table.push([
      name,
      fixed(ofClouds.rate, 2),
      fixed(ofClouds.cpu, 2),
      String(cloudsTarget[name]),
      fixed(ofPassing.rate, 2),
      fixed(ofPassing.cpu, 2),
      fixed(ratios(clouds, passing).rate, 2),
    ]);
  }
  console.log('');
  printRows("ratios by frame rate, and by CPU time a frame (medians of the rounds' ratios):", table);
  const check = ratios(results['native clouds B'], results['native clouds']);
  const level = Math.abs(check.cpu - 1) <= selfCheckTolerance;
  const percent = selfCheckTolerance * 100;
  console.log(
    `\nself-check, native clouds B / A: ${fixed(check.rate, 2)} by frame rate, ${fixed(check.cpu, 2)} by ` +
      `CPU time (${level ? `level within ${percent} %` : `NOT LEVEL: biased by more than ${percent} %`})`,
  );
}

async function main() {
  const { dist, native } = parseArguments('page_bench.mjs');
  const names = chosenEngines();
  const passThrough = passThroughPair();
  const server = await serveFolder(dist, { html: withWatcher });
  const engines = [];
  try {
    const cases = {
      'native clouds': () => nativeCase(native),
      'native clouds B': () => nativeCase(native),
      'native pass-through': () => nativeCase(native, passThrough),
    };
    const pages = [];
    for (const name of names) {
      const before = new Set(children());
      const engine = await openEngine(name);
      engines.push(engine);
      const web = await WebProgram.open(engine, server.url);
      const roots = children().filter((pid) => !before.has(pid));
      pages.push(web);
      await web.waitForState('running', startLimitMs);
      await endRun(web);
      cases[`${name} clouds`] = () => pageCase(web, roots, () => web.click('shipped'));
      cases[`${name} pass-through`] = () => pageCase(web, roots, () => web.choosePair(passThrough));
    }
    const results = Object.fromEntries(Object.keys(cases).map((name) => [name, []]));
    // A case that cannot run is said once and left out; the others go on.
    const broken = new Set();
    for (let round = 1; round <= rounds; ++round) {
      const order = Object.entries(cases);
      if (round % 2 === 0) order.reverse();
      for (const [name, measure] of order) {
        if (broken.has(name)) continue;
        try {
          results[name].push(await measure());
        } catch (error) {
          broken.add(name);
          console.log(`${name}: not measured: ${error.message}`);
        }
      }
      const line = Object.entries(results).map(([name, list]) => {
        const last = list.at(-1);
        return `${name} ${fixed(last?.fps, 1)} (${fixed(last?.cpuMs, 1)} CPU ms, ${fixed(last?.faults, 0)} faults)`;
      });
      console.log(`round ${round}: ${line.join(', ')}`);
    }
    console.log('');
    printTables(names, results);
    const problems = (await Promise.all(pages.map((web) => web.allProblems()))).flat();
    if (problems.length) console.log(`problems on the pages: ${[...new Set(problems)].slice(0, 5).join('; ')}`);
  } finally {
    for (const engine of engines) await engine.close();
    server.stop();
    removePair(passThrough);
  }
}

main().catch((error) => {
  console.error(`benchmark stopped: ${error.stack ?? error}`);
  process.exitCode = 1;
});
