// Frame rates of the web build beside the native program on this machine:
// the page's clouds at rest, the page with a pass-through pair (the same
// uniforms, one constant colour, nothing culled), and the native program
// with each pair, in interleaved rounds so that load from elsewhere falls on
// every case alike. Only one runs at a time. Each rate is what the program
// itself shows in its title, read once a second. Prints the rates and their
// ratios against the targets; a missed target is reported, not failed.
//
// Usage: node bench.mjs --dist DIR --native PATH/quorvel
import { WebProgram, launchChromium, parseArguments, serveFolder } from './browser.mjs';
import { NativeProgram, ensureDisplay, frameRateTitle } from './native.mjs';
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
  const ending = await web.statesSoFar();
  await web.pressEscape();
  await web.waitForState('ended', startLimitMs, ending);
  return rate;
}

const ratio = (a, b) => (a !== undefined && b > 0 ? (a / b).toFixed(2) : 'n/a');

async function main() {
  const { dist, native } = parseArguments('bench.mjs');
  const passThrough = passThroughPair();
  const stopDisplay = await ensureDisplay();
  const server = await serveFolder(dist);
  const browser = await launchChromium();
  try {
    const web = await WebProgram.open(browser, server.url);
    const cases = {
      'page clouds': () => pageRate(web, () => web.click('shipped')),
      'page pass-through': () => pageRate(web, () => web.choosePair(passThrough)),
      'native clouds': () => nativeRate(native),
      'native pass-through': () => nativeRate(native, passThrough),
    };
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
      const line = Object.entries(rates).map(([name, list]) => `${name} ${list.at(-1)?.toFixed(1) ?? 'n/a'}`);
      console.log(`round ${round}: ${line.join(', ')} frames/s`);
    }
    const rate = Object.fromEntries(Object.entries(rates).map(([name, list]) => [name, median(list)]));
    const medians = Object.entries(rate).map(([name, median]) => `${name} ${median?.toFixed(1) ?? 'n/a'}`);
    console.log(`median frames/s: ${medians.join(', ')}`);
    const [page, passing, nativeClouds] = [rate['page clouds'], rate['page pass-through'], rate['native clouds']];
    console.log(`page clouds / native clouds: ${ratio(page, nativeClouds)} (target 0.6 or more)`);
    console.log(`page clouds / page pass-through: ${ratio(page, passing)} (target above 1)`);
    console.log(`native clouds / native pass-through: ${ratio(nativeClouds, rate['native pass-through'])}`);
    const problems = await web.allProblems();
    if (problems.length) console.log(`problems on the page: ${[...new Set(problems)].slice(0, 5).join('; ')}`);
  } finally {
    await browser.close();
    server.stop();
    stopDisplay();
    removePair(passThrough);
  }
}

main().catch((error) => {
  console.error(`benchmark stopped: ${error.stack ?? error}`);
  process.exitCode = 1;
});
