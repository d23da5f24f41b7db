// Frame rates of the web build in each engine beside the native program on
// this machine: the page's clouds at rest, the page with a pass-through pair
// (the same uniforms, one constant colour, nothing culled), and the native
// program with each pair, in interleaved rounds so that load from elsewhere
// falls on every case alike. Only one program runs at a time; the other
// engines' pages idle with their run ended. Each rate is what the program
// itself shows in its title, read once a second. Prints the rates and a table
// of each engine's ratios to the native program; a missed target is
// reported, not failed.
//
// Usage: node bench.mjs --dist DIR --native PATH/quorvel
// $QUORVEL_WEB_ENGINES (e.g. firefox,webkit) picks the engines.
import { WebProgram, parseArguments, serveFolder } from './browser.mjs';
import { chosenEngines, openEngine } from './engines.mjs';
import { NativeProgram, frameRateTitle } from './native.mjs';
import { passThroughPair, removePair } from './pairs.mjs';
import { pause } from './timing.mjs';

const rounds = 5;
// Titles read in a case, one a second, after the first has come and one
// more second for the program to settle.
const readings = 5;
const startLimitMs = 20000;

function median(values) {
  if (values.length === 0) return undefined;
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

// The median of the titles' rates over a few seconds.
async function readRates(title) {
  await pause(1000);
  const rates = [];
  for (let i = 0; i < readings; ++i) {
    await pause(1000);
    rates.push(Number(frameRateTitle.exec(await title())?.[1] ?? 0));
  }
  return median(rates);
}

async function nativeRate(binary, pair) {
  const program = await NativeProgram.start(binary, pair);
  try {
    if (!(await program.waitForFrameRate(startLimitMs))) throw new Error(`no native frame rate:\n${program.log()}`);
    const rate = await readRates(() => program.title());
    await program.quit();
    return rate;
  } finally {
    program.remove();
  }
}

// Starts the page's program again (`start` clicks or chooses files), times
// it and ends it with Escape, so that the page idles while others run.
async function pageRate(web, start) {
  const before = await web.statesSoFar();
  await start();
  const now = await web.waitForState('running', startLimitMs, before);
  if (now.state !== 'running') {
    const log = (await web.log()).trim().split('\n').slice(-3).join(' / ');
    throw new Error(`the run is ${now.state} with status "${now.status}"; the log ends: ${log}`);
  }
  const rate = await readRates(() => web.title());
  await endRun(web);
  return rate;
}

async function endRun(web) {
  const ending = await web.statesSoFar();
  await web.pressEscape();
  await web.waitForState('ended', startLimitMs, ending);
}

const ratio = (a, b) => (a !== undefined && b > 0 ? (a / b).toFixed(2) : 'n/a');
const fps = (value) => value?.toFixed(1) ?? 'n/a';
// The clouds' share of the native rate to reach: Chromium draws with its own
// software rasteriser (SwiftShader), Firefox and WebKit with the native
// program's (Mesa's llvmpipe).
const cloudsTarget = { chromium: 0.6, firefox: 0.8, webkit: 0.8 };

function printTable(names, median) {
  const native = { clouds: median['native clouds'], passing: median['native pass-through'] };
  const rows = [['', 'clouds', 'pass-through', 'clouds/native', 'target', 'pass-through/native', 'clouds/pass-through']];
  rows.push(['native', fps(native.clouds), fps(native.passing), '', '', '', ratio(native.clouds, native.passing)]);
  for (const name of names) {
    const [clouds, passing] = [median[`${name} clouds`], median[`${name} pass-through`]];
    rows.push([name, fps(clouds), fps(passing), ratio(clouds, native.clouds), String(cloudsTarget[name]),
               ratio(passing, native.passing), ratio(clouds, passing)]);
  }
  const widths = rows[0].map((_, column) => Math.max(...rows.map((row) => row[column].length)));
  console.log('median frames/s and their ratios:');
  for (const row of rows) console.log(row.map((cell, column) => cell.padStart(widths[column])).join('  '));
}

async function main() {
  const { dist, native } = parseArguments('bench.mjs');
  const names = chosenEngines();
  const passThrough = passThroughPair();
  const server = await serveFolder(dist);
  const engines = [];
  try {
    const cases = {
      'native clouds': () => nativeRate(native),
      'native pass-through': () => nativeRate(native, passThrough),
    };
    const pages = [];
    for (const name of names) {
      const engine = await openEngine(name);
      engines.push(engine);
      const web = await WebProgram.open(engine, server.url);
      pages.push(web);
      await web.waitForState('running', startLimitMs);
      await endRun(web);
      cases[`${name} clouds`] = () => pageRate(web, () => web.click('shipped'));
      cases[`${name} pass-through`] = () => pageRate(web, () => web.choosePair(passThrough));
    }
    const rates = Object.fromEntries(Object.keys(cases).map((name) => [name, []]));
    // A case that cannot run is said once and left out; the others go on.
    const broken = new Set();
    for (let round = 1; round <= rounds; ++round) {
      for (const [name, measure] of Object.entries(cases)) {
        if (broken.has(name)) continue;
        try {
          rates[name].push(await measure());
        } catch (error) {
          broken.add(name);
          console.log(`${name}: not measured: ${error.message}`);
        }
      }
      const line = Object.entries(rates).map(([name, list]) => `${name} ${fps(list.at(-1))}`);
      console.log(`round ${round}: ${line.join(', ')} frames/s`);
    }
    printTable(names, Object.fromEntries(Object.entries(rates).map(([name, list]) => [name, median(list)])));
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
