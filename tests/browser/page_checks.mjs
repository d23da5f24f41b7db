// The checks of what the page does around the program: runs started again
// and again, a lost GL context, a log that floods, the editor and its link,
// and the smaller faults a user meets (file names, a large pair, a changed
// pixel ratio, a drag released elsewhere, a hidden page, a file:// address).
// Each takes `open` (opens the page in the engine under check) and `check`,
// the checker's own: report, picture, comparePictures, reference, url.
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { deflateRawSync } from 'node:zlib';

import { largeFragmentStage, namedStages, pairWithoutUniforms, passThroughPair, removePair } from './pairs.mjs';
import { difference } from './pictures.mjs';
import { pause, pollUntil } from './timing.mjs';

const startLimitMs = 15000;

async function running(web, before) {
  return (await web.waitForState('running', startLimitMs, before)).state === 'running';
}

// After 30 restarts of every kind, one run and one context hold memory, and
// no more than the first run held.
export async function restartsPage(open, check) {
  const web = await open();
  await running(web, 0);
  await pause(2000);
  const first = await web.memory();
  const pair = passThroughPair();
  const kinds = {
    'Start again': async () => {
      await web.pressEscape();
      await web.waitForState('ended', startLimitMs, await web.statesSoFar());
      await web.click('restart');
    },
    'a pair chosen': () => web.choosePair(pair),
    'the shipped pair': () => web.click('shipped'),
    'a click during start-up': async () => {
      await web.click('shipped');
      await web.click('shipped');
    },
  };
  let restarts = 0;
  let stuck = '';
  for (let round = 0; round < 30 && !stuck; ++round) {
    const [kind, restart] = Object.entries(kinds)[round % 4];
    const before = await web.statesSoFar();
    await restart();
    ++restarts;
    if (!(await running(web, before))) stuck = `after ${kind}, round ${round + 1}, no run`;
    await pause(500);
  }
  removePair(pair);
  await pause(2000);
  const last = await web.memory();
  const held = await web.holdings();
  // The last window retired may still be on its way out, and without a
  // forced collection a few may wait for theirs (Firefox keeps three or
  // four, however many runs there were); thirty would be the old leak.
  const windows = last.collected ? 2 : 5;
  check.report(!stuck && held.runs === 1 && held.contexts === 1 && held.windows <= windows,
    `after ${restarts} restarts of four kinds the page holds one run and one GL context`,
    stuck || `${held.runs} frame(s), ${held.contexts} live context(s), ${held.windows} run window(s) not yet ` +
             `collected (limit ${windows})`);
  const grown = (last.bytes - first.bytes) / 2 ** 20;
  const limit = last.collected ? 30 : 150;
  check.report(grown <= limit, `after ${restarts} restarts, the memory is near the first run's`,
    `${(first.bytes / 2 ** 20).toFixed(1)} -> ${(last.bytes / 2 ** 20).toFixed(1)} MiB, ${last.what} ` +
    `(limit +${limit} MiB${last.collected ? '' : ': no forced collection, so garbage not yet collected counts'})`);
  return web;
}

// A lost context ends the run in words; a restored one starts it again with
// the same pair, and the cloud is back.
export async function lostContextPage(open, check) {
  const web = await open();
  await running(web, 0);
  await pause(2000);
  let before = await web.statesSoFar();
  await web.loseContext();
  const lost = await web.waitForState('ended', 5000, before);
  const said = (await web.read(() => document.getElementById('run').textContent)).includes('GL context away');
  check.report(lost.status === 'context-lost' && said, `a lost GL context ends the run and says so`,
    `state "${lost.state}", status "${lost.status}", ${said ? 'in words' : 'no words'}`);
  before = await web.statesSoFar();
  await web.restoreContext();
  const back = await running(web, before);
  await pause(3000);
  const diff = difference(await web.shot(check.picture(`restored`)), check.reference.rest);
  check.report(back && check.withinLimits(diff), `a restored GL context starts the run again`,
    back ? `${diff.text} from the native window at rest` : 'no run started');
  return web;
}

// A pair that lacks the scene's uniforms makes the library write a line at
// every set, megabytes a minute: the page shows only the newest part, says
// how much it leaves out and makes no download until asked, so its work
// per frame stays the same. The frame rates after 5 and 60 s are figures,
// not limits: the machine's load moves them more than the page does.
export async function floodingPage(open, check) {
  const web = await open();
  await running(web, 0);
  const pair = pairWithoutUniforms();
  const before = await web.statesSoFar();
  await web.choosePair(pair);
  const started = await running(web, before);
  removePair(pair);
  const rate = async () => Number(/\(([\d.]+) FPS\)/.exec(await web.title())?.[1] ?? 0);
  await pause(5000);
  const early = await rate();
  await pause(55000);
  const late = await rate();
  const shown = await web.read(() => ({
    lines: document.getElementById('log').textContent.split('\n').length - 1,
    leftOut: !document.getElementById('left-out').hidden && document.getElementById('left-out').textContent,
    download: document.getElementById('download').getAttribute('href'),
  }));
  check.report(started && shown.leftOut && shown.lines <= 400 && shown.download === '#',
    'a pair that floods the log: the page shows its newest part and makes no download unasked',
    `${shown.lines} lines shown, "${shown.leftOut}"; ${early} frames/s after 5 s, ${late} after 60 s`);
  return web;
}

// The editor: an edit draws, an error is marked on its line and the last
// picture stays, Escape in the editor does not end the run, and the share
// link opens the same pair in a fresh page.
export async function editorPage(open, check) {
  const web = await open();
  await running(web, 0);
  const pair = Object.fromEntries(passThroughPair().map((file) => [path.basename(file), file]));
  const text = (stage) => fs.readFileSync(pair[stage], 'utf8');
  const shown = await web.read(() => [...document.querySelectorAll('[data-stage] .cm-content')].map((e) => e.innerText));
  check.report(shown[0].includes('uniform') && shown[1].includes('gl_FragColor'),
    `the editors hold the running pair`, `${shown[0].length} and ${shown[1].length} characters`);
  await web.typeInEditor('Quorvel.vert', text('Quorvel.vert'));
  await web.typeInEditor('Quorvel.frag', text('Quorvel.frag'));
  const built = await pollUntil(8000, async () => (await web.says('build')) === 'Your edit draws.');
  await pause(1000);
  const edited = await web.shot(check.picture(`edited`));
  const diff = difference(edited, check.reference.ownPair);
  check.report(built && check.withinLimits(diff), `a typed pair draws as the native program draws it`,
    `${diff.text}; the page says "${await web.says('build')}"`);

  const broken = `${text('Quorvel.frag')}\nvoid broken() {\n  gl_FragColor = notDeclared;\n}\n`;
  const brokenLine = broken.split('\n').findIndex((line) => line.includes('notDeclared')) + 1;
  await web.typeInEditor('Quorvel.frag', broken);
  // The marks come with the build's sentence, which a busy machine may take
  // seconds to reach.
  await pollUntil(15000, async () => (await web.says('build')).includes('does not compile'));
  const marked = await web.markedLines('Quorvel.frag');
  const kept = difference(await web.shot(check.picture(`edit-broken`)), edited);
  const sentence = await web.says('build');
  check.report(marked.includes(brokenLine) && kept.peak <= 16 && (await web.state()).state === 'running',
    `a typed error is marked on its line and the last good picture stays`,
    `marked lines ${JSON.stringify(marked)} (the error on ${brokenLine}); "${sentence}"; ${kept.text} from before`);

  await web.pressEscapeIn('[data-stage="Quorvel.frag"] .cm-content');
  await pause(1000);
  check.report((await web.state()).state === 'running', `Escape in the editor does not end the run`,
    `state "${(await web.state()).state}"`);

  await web.typeInEditor('Quorvel.frag', text('Quorvel.frag'));
  await pause(3000);
  await web.click('share');
  // The pair is compressed before the address takes it.
  const link = await pollUntil(5000, () => web.read(() => (location.hash.startsWith('#pair=') ? location.href : '')));
  await linkedPage(open, check, link, text('Quorvel.frag'));
  return web;
}

// A link's pair waits in the editors for "Run this pair"; an address
// without a pair brings the shipped one back, and Back the link's; a bomb
// of a link is refused with the shipped pair running.
async function linkedPage(open, check, link, fragment) {
  const linked = await open(link);
  const waits = (await running(linked, 0)) && (await linked.read(() => !document.getElementById('run-linked').hidden));
  const shown = await linked.read(() => document.querySelector('[data-stage="Quorvel.frag"] .cm-content').innerText);
  let before = await linked.statesSoFar();
  await linked.click('run-linked');
  const runs = await running(linked, before);
  await pause(3000);
  const same = difference(await linked.shot(check.picture(`linked`)), check.reference.ownPair);
  before = await linked.statesSoFar();
  await linked.read(() => { location.hash = ''; });
  const shipped = await running(linked, before);
  await linked.read(() => history.back());
  const back = await pollUntil(5000, () => linked.read(() => !document.getElementById('run-linked').hidden));
  check.report(waits && shown.includes(fragment.trim().split('\n').at(-1)) && runs && check.withinLimits(same) &&
               shipped && back, 'a link\'s pair waits to be run, then draws; the page follows its address',
  `${link.length} characters; ${waits ? 'waits' : 'does not wait'}; ${same.text}; "${await linked.says('pairs')}"`);
  await linked.close();

  const bomb = await open(`${link.split('#')[0]}#pair=${deflateRawSync(Buffer.alloc(100 << 20, 32)).toString('base64url')}`);
  const says = (await running(bomb, 0)) ? await bomb.says('pairs') : 'no run';
  check.report(says.includes('more than the page takes'), 'a link that inflates to 100 MB is refused', `"${says}"`);
  await bomb.close();
}

// File names taken as the user means them, a large pair, a message that
// goes with its run, a changed pixel ratio, a drag released elsewhere and a
// hidden page.
export async function faultsPage(open, check) {
  const web = await open();
  await running(web, 0);
  const upper = namedStages({ 'QUORVEL.FRAG': 'Quorvel.frag' });
  let before = await web.statesSoFar();
  await web.choosePair(upper);
  const upperRuns = await running(web, before);
  removePair(upper);
  const upperSays = await web.says('pairs');
  check.report(upperRuns && upperSays.includes('QUORVEL.FRAG as Quorvel.frag'),
    `a stage's file is taken by its ending in any case`, `"${upperSays}"`);
  const two = namedStages({ 'a.frag': 'Quorvel.frag', 'b.frag': 'Quorvel.frag' });
  before = await web.statesSoFar();
  await web.choosePair(two);
  await pause(1000);
  removePair(two);
  const twoSays = await web.says('pairs');
  check.report(twoSays.includes('choose one') && (await web.statesSoFar()) === before,
    `two files for one stage are refused in words`, `"${twoSays}"`);

  const large = largeFragmentStage(24);
  before = await web.statesSoFar();
  await web.choosePair(large);
  const largeRuns = (await web.waitForState('running', 60000 + startLimitMs, before)).state === 'running';
  removePair(large);
  const largeSays = await web.says('pairs');
  check.report(largeRuns && largeSays.startsWith('Your Quorvel.frag') && (await web.says('message')) === '',
    `a 24 MB fragment stage runs`,
    `state "${(await web.state()).state}", "${largeSays}", message "${await web.says('message')}"`);
  before = await web.statesSoFar();
  await web.click('shipped');
  await running(web, before);

  await web.withControl('pixelRatio', check, 'the backing store follows a changed pixel ratio', async () => {
    await web.setPixelRatio(2);
    await pause(2000);
    const { store } = await web.canvas();
    await web.setPixelRatio(1);
    return [store[0] === 800 && store[1] === 600, `${store.join(' x ')} at a ratio of 2`];
  });

  await web.withControl('away', check, 'a drag released in another tab ends', async () => {
    await web.moveMouse(200, 150);
    await web.setLeftButton(true);
    await pause(1000);
    await web.moveMouse(240, 170);
    await pause(1000);
    await web.away(async () => web.setLeftButton(false));
    await pause(1000);
    const still = await web.shot(check.picture(`released-away`));
    await web.moveMouse(100, 60);
    await pause(1500);
    const after = difference(await web.shot(check.picture(`moved-after`)), still);
    return [after.peak <= 16, `${after.text} after the free pointer moved`];
  });

  await web.withControl('away', check, 'a hidden page idles, and tells a true rate when seen', async () => {
    const seen = await web.title();
    let hidden = '';
    await web.away(async () => {
      await pause(3000);
      hidden = await web.title();
      await pause(2500);
      hidden = hidden === (await web.title()) ? hidden : 'changed';
    });
    await pause(2500);
    const rate = Number(/\(([\d.]+) FPS\)/.exec(await web.title())?.[1] ?? -1);
    return [hidden !== 'changed' && rate > 0 && rate < 200,
      `title "${seen}" before, ${hidden === 'changed' ? 'changing' : 'still'} while hidden, ${rate} frames/s after`];
  });
  return web;
}

// Opened from a file, the page says that it must come over HTTP and how.
export async function fromFilePage(open, check, dist) {
  const web = await open(pathToFileURL(path.join(dist, 'index.html')).href);
  await pause(2000);
  const { state, status, message } = await web.state();
  check.report(status === 'not-served' && message.includes('scripts/web --serve'),
    `opened from a file, the page says how to serve it`, `state "${state}", status "${status}", "${message}"`);
  return web;
}
