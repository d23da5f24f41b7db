// The web build in Chromium, Firefox and WebKit against the native program on
// the same machine: one suite per engine, one test per behaviour a user
// meets, each printing its figures. What an engine's driver cannot do skips
// its test with the reason (engines.mjs). Waits are on what the page says:
// its data-state and data-status, the frames its <body> counts, its
// sentences.
//
// Usage: node --test-reporter=tap page.test.mjs --dist DIR --native PATH/quorvel
// $QUORVEL_WEB_ENGINES (e.g. chromium,firefox) picks the engines. The
// pictures go to a temporary folder, kept and named when a test fails, or
// to $QUORVEL_WEB_PICTURES when set.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { deflateRawSync } from 'node:zlib';

import { linkFor, pairOf } from '../../app/web/link.js';
import { stages } from '../../app/web/stages.js';
import { cannot, chosenEngines, openEngine } from '../../scripts/browser/engines.mjs';
import { NativeProgram } from '../../scripts/browser/native.mjs';
import {
  brokenVertexStage,
  largeFragmentStage,
  namedStages,
  pairWithoutUniforms,
  passThroughPair,
  removePair,
  starterPair,
} from '../../scripts/browser/pairs.mjs';
import { difference, readPicture, within } from '../../scripts/browser/pictures.mjs';
import { serveFolder } from '../../scripts/browser/serve.mjs';
import { pause, pollUntil } from '../../scripts/browser/timing.mjs';
import { WebProgram, parseArguments, withWatcher } from '../../scripts/browser/web_program.mjs';
import { gifFrames } from './gif.mjs';
import { webmFrameTimes } from './webm.mjs';

// Rounding and the two rasterisers' edge rules, not drawing: a peak of 16
// levels, with 1 pixel in 10,000 let past it (12 at 400 x 300).
const limits = { peak: 16, mean: 1, strays: 1 };
// A page's way from loading to its first frame-rate title, and a run's
// start; a 24 MB stage takes up to two minutes more.
const titleLimitMs = 10000;
const startLimitMs = 15000;
// The same drag for both programs, in window (CSS) pixels. The turn depends
// only on the motion between press and release; the vertical part tilts
// the blue axis off the red one so that all three show.
const dragFrom = [200, 150];
const dragTo = [260, 200];
const glReportLine = /^OpenGL (Vendor|Renderer|Version): /;

const { dist, native } = parseArguments('page.test.mjs');
const pictures = process.env.QUORVEL_WEB_PICTURES ?? fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-web-check-'));
fs.mkdirSync(pictures, { recursive: true });
process.on('exit', () => {
  if (process.exitCode || process.env.QUORVEL_WEB_PICTURES) console.log(`pictures: ${pictures}`);
  else fs.rmSync(pictures, { recursive: true, force: true });
});
// The user's own pair: the starter pair, a cloud of its own with the cull,
// the depth write and the slab integration that a pair author starts from.
const ownPair = starterPair();
const ownTexts = Object.fromEntries(ownPair.map((file) => [path.basename(file), fs.readFileSync(file, 'utf8')]));
const server = await serveFolder(dist, { html: withWatcher });
const sharedLink = (await linkFor(ownTexts)).hash;
const reference = await nativeReference();
after(() => {
  removePair(ownPair);
  server.stop();
});

// ---- The native program --------------------------------------------------

// What the native program shows and logs with the shipped pair: at rest, at
// 800 x 600, during and after the drag, its log after Escape; and the
// user's own pair at rest. It publishes no frame count, so its waits are
// pauses long enough for a few frames on a loaded machine.
async function nativeReference() {
  const picture = (name) => path.join(pictures, `native-${name}.png`);
  const shipped = await NativeProgram.start(native);
  let found;
  try {
    assert.ok(await shipped.waitForFrameRate(), `no native frame rate; log:\n${shipped.log()}`);
    await pause(2000);
    found = { rest: shipped.shot(picture('rest')), title: shipped.title() };
    shipped.resize(800, 600);
    await pause(2000);
    found.large = shipped.shot(picture('800x600'));
    shipped.resize(400, 300);
    await pause(2000);
    await dragThrough(
      shipped,
      () => pause(2000),
      () => {
        found.during = shipped.shot(picture('during-drag'));
      },
    );
    found.after = shipped.shot(picture('after-drag'));
    assert.equal(await shipped.quit(), 0, 'the native program ends with 0 after Escape');
    found.log = shipped.log();
  } finally {
    shipped.remove();
  }
  const own = await NativeProgram.start(native, ownPair);
  try {
    assert.ok(await own.waitForFrameRate(), `no native frame rate; log:\n${own.log()}`);
    found.ownPair = own.shot(picture('own-pair'));
    await own.quit();
  } finally {
    own.remove();
  }
  console.log(`native program: "${found.title}", pictures in ${pictures}`);
  return found;
}

// Presses at dragFrom, moves to dragTo, calls `whileHeld`, releases; `settle`
// lets the frames after each step show it. Both programs read the pointer
// once a frame, and a drag starts where the first frame with the button
// down finds it.
async function dragThrough(program, settle, whileHeld) {
  await program.moveMouse(...dragFrom);
  await program.setLeftButton(true);
  await settle();
  await program.moveMouse(...dragTo);
  await settle();
  await whileHeld();
  await program.setLeftButton(false);
  await settle();
}

// ---- What the tests share --------------------------------------------------

function expectPicture(t, what, page, nativePicture) {
  const diff = difference(page, nativePicture, limits.peak);
  t.diagnostic(`${what}: ${diff.text}`);
  assert.ok(
    within(diff, limits),
    `${what}: ${diff.text} (limits ${limits.peak} but for ${limits.strays} pixel in ` + `10,000, mean ${limits.mean})`,
  );
}

// The page's log has the native log's lines but for the GL's own names of
// itself and its version.
function expectNativeLog(t, pageLog) {
  const pageLines = pageLog.split('\n');
  const nativeLines = reference.log.split('\n');
  const differing = [];
  for (let i = 0; i < Math.max(pageLines.length, nativeLines.length); ++i) {
    const [line, expected] = [pageLines[i] ?? '(none)', nativeLines[i] ?? '(none)'];
    if (line === expected) continue;
    if (glReportLine.test(line) && line.match(glReportLine)[0] === expected.match(glReportLine)?.[0]) continue;
    differing.push(`line ${i + 1}: "${line}" where the native log has "${expected}"`);
  }
  t.diagnostic(`${nativeLines.length} lines, the GL report lines aside`);
  assert.deepEqual(differing, []);
}

// The page drags as a person would, each step shown by two frames.
const dragPage = (web, whileHeld) => dragThrough(web, () => web.waitForFrames(2), whileHeld);

// Each kind of problem once, with how often it came.
function describeProblems(problems) {
  const counts = new Map();
  for (const problem of problems) counts.set(problem, (counts.get(problem) ?? 0) + 1);
  return [...counts].map(([problem, count]) => (count > 1 ? `${problem} (${count} times)` : problem));
}

// ---- One engine --------------------------------------------------------------

for (const name of chosenEngines()) {
  describe(name, () => {
    const engine = { name, cannot: cannot[name], problems: [] };
    before(async () => {
      engine.driver = await openEngine(name);
    });
    after(async () => {
      await engine.driver?.close();
    });

    // Tests on one page, opened before them and closed after; its problems
    // go to the engine's last test.
    engine.page = (title, options, tests) => {
      describe(title, () => {
        const on = {};
        before(async () => {
          on.web = await WebProgram.open(engine.driver, options.url ?? server.url, options);
          // The starter pair drifts on the clock; the native program draws it
          // at its first frame.
          await on.web.pauseClock();
        });
        // A test that needs the shipped pair drawing at rest makes it so,
        // whatever the test before it left.
        on.shipped = async () => {
          const before = await on.web.statesSoFar();
          await on.web.click('shipped');
          assert.ok(await on.web.running(before, 2 * startLimitMs), 'the shipped pair does not run');
          await on.web.waitForFrames(3);
        };
        after(async () => {
          if (!on.web) return;
          engine.problems.push(...(await on.web.allProblems()));
          await on.web.close();
        });
        tests(on);
      });
    };
    engine.picture = (file) => path.join(pictures, `${name}-${file}.png`);

    mainPage(engine);
    highDensityPage(engine);
    touchPage(engine);
    editorPage(engine);
    numbersPage(engine);
    restartsPage(engine);
    lostContextPage(engine);
    faultsPage(engine);
    floodingPage(engine);
    fromFilePage(engine);

    test('no exception, console error or WebGL error on any page', async (t) => {
      if (name === 'chromium') await sayMemory(t, engine);
      const problems = [...engine.problems, ...server.failures.splice(0)];
      assert.deepEqual(describeProblems(problems), []);
    });

    test('a browser without WebGL gets a message, and only what is true shows', async (t) => {
      const driver = await openEngine(name, { webgl: false });
      try {
        const web = await WebProgram.open(driver, server.url);
        await web.waitForState('ended', startLimitMs);
        const { state, status, message } = await web.state();
        const [run, pairsHidden] = await web.read(() => [
          document.getElementById('run').textContent,
          document.getElementById('pairs').hidden,
        ]);
        t.diagnostic(`state "${state}", status "${status}", "${run}", message "${message}"`);
        assert.deepEqual(
          [state, status, run, pairsHidden, message !== ''],
          ['ended', 'no-webgl', 'Nothing runs.', true, true],
        );
      } finally {
        await driver.close();
      }
    });
  });
}

// The memory that the browser holds with the main page's engine after all
// the pages, as a figure.
async function sayMemory(t, engine) {
  const { bytes, what } = await engine.driver.memory();
  t.diagnostic(`memory after the pages: ${(bytes / 2 ** 20).toFixed(1)} MiB (${what})`);
}

// ---- The pages -------------------------------------------------------------

// The page as the native program: the title, the canvas at rest and through
// a drag, the log, Escape and starting again, a pair of one's own, a broken
// one and the shipped pair again.
function mainPage(engine) {
  engine.page('the main page', {}, (on) => {
    test('the title shows the frame rate', async (t) => {
      const started = Date.now();
      const title = await on.web.waitForFrameRate(titleLimitMs);
      t.diagnostic(`"${title}" ${((Date.now() - started) / 1000).toFixed(1)} s after loading`);
      assert.notEqual(title, '', `no frame rate; state ${JSON.stringify(await on.web.state())}`);
      // The frame's cost comes with the next title.
      const cost = await pollUntil(5000, () => on.web.says('cost'));
      const timer = await on.web.read(() =>
        Boolean(document.createElement('canvas').getContext('webgl').getExtension('EXT_disjoint_timer_query')),
      );
      t.diagnostic(`"${cost}"`);
      assert.match(cost, timer ? /ms a frame .*GPU's timer gives [\d.]+ ms/ : /ms a frame .*offers no GPU timer/);
    });

    test('the canvas at rest, then during and after a drag, draws as the native window', async (t) => {
      await on.shipped();
      expectPicture(t, 'at rest', await on.web.shot(engine.picture('page-rest')), reference.rest);
      await dragPage(on.web, async () => {
        const during = await on.web.shot(engine.picture('page-during-drag'));
        expectPicture(t, 'during the drag (axes and preview)', during, reference.during);
      });
      expectPicture(t, 'after the drag', await on.web.shot(engine.picture('page-after-drag')), reference.after);
    });

    test('the log on the page is the native log, while the program runs and after Escape', async (t) => {
      await on.shipped();
      // The page reads the log a few times a second.
      const lines = reference.log.split('\n').length;
      await pollUntil(5000, async () => (await on.web.log()).split('\n').length >= lines);
      expectNativeLog(t, await on.web.log());
      const before = await on.web.statesSoFar();
      await on.web.pressEscape();
      await expectEnded(on.web, 0, before);
      expectNativeLog(t, await on.web.log());
    });

    test('the download link gives logfile.txt as the page shows it', async () => {
      const file = path.join(engine.driver.downloads, 'logfile.txt');
      fs.rmSync(file, { force: true });
      assert.ok(await pollUntil(10000, async () => (await on.web.log()).length > 0), 'no log to download');
      await on.web.click('download');
      await pollUntil(5000, () => fs.existsSync(file) && fs.readFileSync(file, 'utf8').length > 0);
      assert.equal(fs.existsSync(file) && fs.readFileSync(file, 'utf8'), await on.web.log());
    });

    test('the ended run offers to start again, and does', async () => {
      await on.shipped();
      let before = await on.web.statesSoFar();
      await on.web.pressEscape();
      await expectEnded(on.web, 0, before);
      assert.ok(await on.web.read(() => !document.getElementById('restart').hidden), 'no button shown');
      before = await on.web.statesSoFar();
      await on.web.click('restart');
      assert.ok(await on.web.running(before, titleLimitMs));
    });

    test('a vertex stage that does not compile ends the run with 1, its compiler lines on the page', async (t) => {
      const broken = brokenVertexStage();
      const before = await on.web.statesSoFar();
      await on.web.choosePair(broken);
      await expectEnded(on.web, 1, before);
      removePair(broken);
      const log = await on.web.log();
      const compilerLine = log.split('***COMPILER ERROR (Vertex Shader):\n')[1]?.split('\n')[0] ?? log.slice(-200);
      t.diagnostic(`"${compilerLine}"`);
      assert.match(compilerLine, /notDeclared/);
    });

    test('a pair of both stages chosen together draws as in the native window', async (t) => {
      const before = await on.web.statesSoFar();
      await on.web.choosePair(ownPair);
      assert.ok(
        await on.web.running(before, titleLimitMs),
        (await on.web.log()).trim().split('\n').slice(-2).join(' / '),
      );
      await on.web.waitForFrames(3);
      expectPicture(t, 'own pair', await on.web.shot(engine.picture('page-own-pair')), reference.ownPair);
    });

    test('the shipped pair chosen again draws the clouds', async (t) => {
      const before = await on.web.statesSoFar();
      await on.web.click('shipped');
      assert.ok(await on.web.running(before, titleLimitMs));
      await on.web.waitForFrames(3);
      expectPicture(t, 'shipped again', await on.web.shot(engine.picture('page-shipped-again')), reference.rest);
    });
  });
}

// The page ends a run after its first `after` states with `status` and
// says so.
async function expectEnded(web, status, after) {
  const now = await web.waitForState('ended', 10000, after);
  const text = await web.read(() => document.body.textContent);
  assert.deepEqual(
    [now.state, now.status, text.includes(`The run ended with status ${status}`)],
    ['ended', String(status), true],
  );
}

function highDensityPage(engine) {
  engine.page('at a device pixel ratio of 2', { scale: 2 }, (on) => {
    test('the backing store is 800 x 600 and draws as the native window at 800 x 600', async (t) => {
      assert.notEqual(await on.web.waitForFrameRate(titleLimitMs), '', 'no frame rate');
      await on.web.waitForFrames(3);
      const canvas = await on.web.canvas();
      t.diagnostic(`${canvas.store.join(' x ')} for ${canvas.width} x ${canvas.height} CSS pixels`);
      assert.deepEqual([...canvas.store, canvas.width, canvas.height], [800, 600, 400, 300]);
      expectPicture(t, 'at a ratio of 2', await on.web.shot(engine.picture('page-dpr2')), reference.large);
    });
  });
}

function touchPage(engine) {
  if (engine.cannot.touch) {
    test('a one-finger drag turns the cloud as the mouse does', { skip: engine.cannot.touch });
    return;
  }
  engine.page('on a touch screen', { touch: true }, (on) => {
    test('a one-finger drag turns the cloud as the mouse does', async (t) => {
      assert.notEqual(await on.web.waitForFrameRate(titleLimitMs), '', 'no frame rate');
      await on.web.touch('start', ...dragFrom);
      await on.web.waitForFrames(2);
      await on.web.touch('move', ...dragTo);
      await on.web.waitForFrames(2);
      expectPicture(t, 'during', await on.web.shot(engine.picture('page-during-touch')), reference.during);
      await on.web.touch('end');
      await on.web.waitForFrames(2);
      expectPicture(t, 'after', await on.web.shot(engine.picture('page-after-touch')), reference.after);
    });
  });
}

// The editor: an edit draws, an error is marked on its line and the last
// picture stays, Escape in the editor does not end the run; the share link
// shows its pair in a fresh page, which follows its address; a bomb of a
// link is refused.
function editorPage(engine) {
  const pair = ownTexts;
  const says = (web, text) => pollUntil(15000, async () => (await web.says('build')).includes(text));
  // The user's own pair runs, chosen as files.
  const ownPairRuns = async (web) => {
    const before = await web.statesSoFar();
    await web.choosePair(ownPair);
    assert.ok(await web.running(before), "the pair of one's own does not run");
    await web.waitForFrames(3);
  };
  engine.page('the editor', {}, (on) => {
    test('the editors hold the running pair, and a typed pair draws as the native program draws it', async (t) => {
      await on.shipped();
      const shown = await on.web.read(() =>
        [...document.querySelectorAll('[data-stage] .cm-content')].map((e) => e.textContent),
      );
      assert.ok(shown[0].includes('uniform') && shown[1].includes('gl_FragColor'), 'the shipped pair is not shown');
      await on.web.typeInEditor('Quorvel.vert', pair['Quorvel.vert']);
      await on.web.typeInEditor('Quorvel.frag', pair['Quorvel.frag']);
      await on.web.editsBuilt();
      assert.match(await on.web.says('build'), /^Your edit draws\./);
      await on.web.waitForFrames(3);
      expectPicture(t, 'typed pair', await on.web.shot(engine.picture('edited')), reference.ownPair);
    });

    test('"Measure" times the pair against the floor in turns, and the pair draws again after', async (t) => {
      await ownPairRuns(on.web);
      await on.web.click('measure');
      const said = await pollUntil(120000, async () => {
        const text = await on.web.says('measured');
        return /ms a frame, [\d.]+ times the floor/.test(text) && text;
      });
      t.diagnostic(`"${said || (await on.web.says('measured'))}"`);
      assert.ok(said, await on.web.says('measured'));
      await pollUntil(15000, () => on.web.read(() => !document.getElementById('measure').disabled));
      await on.web.waitForFrames(3);
      expectPicture(t, 'after measuring', await on.web.shot(engine.picture('measured')), reference.ownPair);
    });

    test('a typed error is marked on its line and the last good picture stays', async (t) => {
      await ownPairRuns(on.web);
      const broken = `${pair['Quorvel.frag']}\nvoid broken() {\n  gl_FragColor = notDeclared;\n}\n`;
      const brokenLine = broken.split('\n').findIndex((line) => line.includes('notDeclared')) + 1;
      await on.web.typeInEditor('Quorvel.frag', broken);
      assert.ok(await says(on.web, 'does not compile'), await on.web.says('build'));
      const marked = await on.web.markedLines('Quorvel.frag');
      const kept = difference(await on.web.shot(engine.picture('edit-broken')), reference.ownPair);
      t.diagnostic(`marked lines ${JSON.stringify(marked)}; "${await on.web.says('build')}"; ${kept.text}`);
      assert.ok(marked.includes(brokenLine) && kept.peak <= limits.peak, `the error is on ${brokenLine}`);
      assert.equal((await on.web.state()).state, 'running');
    });

    test('Escape in the editor does not end the run', async () => {
      await on.shipped();
      await on.web.pressEscapeIn('[data-stage="Quorvel.frag"] .cm-scroller');
      // Escape on the canvas ends the run within a frame or two.
      await on.web.waitForFrames(3);
      assert.equal((await on.web.state()).state, 'running');
    });

    test('"Share this pair" puts the pair into the address', async (t) => {
      await ownPairRuns(on.web);
      await on.web.click('share');
      const hash = await pollUntil(5000, () =>
        on.web.read(() => (location.hash.startsWith('#pair=') ? location.hash : '')),
      );
      t.diagnostic(`${hash.length} characters`);
      assert.deepEqual((await pairOf(hash, stages)).pair, pair);
    });
  });

  // The link as "Share this pair" makes it, made here.
  engine.page('a shared link', { url: server.url + sharedLink }, (on) => {
    // The linked pair that waits runs.
    const runLinked = async () => {
      const before = await on.web.statesSoFar();
      await on.web.click('run-linked');
      assert.ok(await on.web.running(before), 'the linked pair does not run');
    };

    test('its pair waits in the editors for "Run this pair", then draws', async (t) => {
      assert.ok(await on.web.running(0), 'the shipped pair does not run');
      const [waits, shown] = await on.web.read(() => [
        !document.getElementById('run-linked').hidden,
        window.quorvel.editorText('Quorvel.vert'),
      ]);
      assert.ok(waits && shown === pair['Quorvel.vert'], 'no linked pair waits');
      await runLinked();
      await on.web.waitForFrames(3);
      expectPicture(t, 'linked pair', await on.web.shot(engine.picture('linked')), reference.ownPair);
      assert.match(await on.web.says('pairs'), /not the shipped one/);
    });

    test("the page follows its address: the shipped pair without a link, the link's pair on Back", async (t) => {
      if (await on.web.read(() => !document.getElementById('run-linked').hidden)) await runLinked();
      const before = await on.web.statesSoFar();
      await on.web.read(() => {
        location.hash = '';
      });
      assert.ok(await on.web.running(before), 'the shipped pair does not start');
      await on.web.read(() => history.back());
      const back = await pollUntil(5000, () => on.web.read(() => !document.getElementById('run-linked').hidden));
      t.diagnostic(`"${await on.web.says('pairs')}"`);
      assert.ok(back, "the link's pair does not wait again");
    });
  });

  const bomb = `#pair=${deflateRawSync(Buffer.alloc(100 << 20, 32)).toString('base64url')}`;
  engine.page('a link that inflates to 100 MB', { url: server.url + bomb }, (on) => {
    test('is refused in words, and the shipped pair runs', async (t) => {
      assert.ok(await on.web.running(0));
      const said = await on.web.says('pairs');
      t.diagnostic(`${bomb.length} characters of address; "${said}"`);
      assert.match(said, /more than the page takes/);
    });
  });
}

// The pair's numbers: a slider moves the picture as it is dragged and ends
// on the value let go, in one step of the editor's undo; a preset rewrites
// the numbers and Reset gives the stage back byte for byte; "Save picture"
// gives the canvas as drawn.
function numbersPage(engine) {
  engine.page("the pair's numbers and pictures", {}, (on) => {
    const fragment = () => on.web.editorText('Quorvel.frag');
    // The edits' builds are over, and their picture shown.
    const built = async () => {
      await on.web.editsBuilt();
      await on.web.waitForFrames(3);
      return on.web.shot(engine.picture('numbers'));
    };
    const differs = (picture, from) => difference(picture, from).mean > 2;

    test('a slider moves the picture and ends on the value let go, in one undo step', async (t) => {
      await on.shipped();
      const letGo = await on.web.read(async () => {
        // The panel marks each control with its number's label; the drag is
        // the hand's: pressed on the slider, moved across it a frame at a
        // time, let go.
        const row = document.querySelector('#numbers [data-number="EXPOSURE"]');
        const slider = row.querySelector('.lil-slider');
        const { left, width } = slider.getBoundingClientRect();
        const at = (value) => ({ clientX: left + ((value - 0.5) / 1.5) * width, bubbles: true });
        slider.dispatchEvent(new MouseEvent('mousedown', at(1.2)));
        for (const value of [1.4, 1.6, 1.8]) {
          // One move a frame, as a hand drags.
          await new Promise((resolve) =>
            new MutationObserver((_, seen) => resolve(seen.disconnect())).observe(document.body, {
              attributeFilter: ['data-frames'],
            }),
          );
          window.dispatchEvent(new MouseEvent('mousemove', at(value)));
        }
        window.dispatchEvent(new MouseEvent('mouseup', at(1.8)));
        return row.querySelector('input').value;
      });
      const moved = await built();
      t.diagnostic(`let go at ${letGo}; ${difference(moved, reference.rest).text} from the shipped pair at rest`);
      assert.ok(Math.abs(Number(letGo) - 1.8) < 0.02, `let go at ${letGo}`);
      assert.match(await fragment(), new RegExp(`^const float EXPOSURE = ${letGo.replace('.', '\\.')};`, 'm'));
      assert.ok(differs(moved, reference.rest), 'the picture did not change');
      await on.web.read(() => {
        const content = document.querySelector('[data-stage="Quorvel.frag"] .cm-content');
        content.focus();
        content.dispatchEvent(
          new KeyboardEvent('keydown', {
            key: 'z',
            code: 'KeyZ',
            keyCode: 90,
            ctrlKey: true,
            bubbles: true,
            cancelable: true,
          }),
        );
      });
      assert.match(await fragment(), /^const float EXPOSURE = 1\.0;/m, 'one undo does not undo the drag');
    });

    test('a preset gives its look in one click, and Reset the pair as it was', async (t) => {
      await on.shipped();
      const shipped = await fragment();
      await on.web.press('#numbers [data-preset="Evening light"] button');
      const evening = await built();
      assert.match(await fragment(), /^const vec3 SUN = vec3\(1\.0, 0\.58, 0\.32\);/m);
      assert.ok(differs(evening, reference.rest), 'the picture did not change');
      await on.web.press('#numbers [data-action="reset"] button');
      expectPicture(t, 'reset', await built(), reference.rest);
      assert.equal(await fragment(), shipped, 'Reset did not give the stage back byte for byte');
    });

    test('the sun follows a drag with Shift held, with the sky, and Reset puts both back', async (t) => {
      await on.shipped();
      await on.web.moveMouse(320, 40);
      await on.web.pressKey('Shift', true);
      await on.web.setLeftButton(true);
      await on.web.moveMouse(330, 240);
      await on.web.setLeftButton(false);
      await on.web.pressKey('Shift', false);
      await on.web.waitForFrames(3);
      const low = await on.web.shot(engine.picture('sun-low'));
      t.diagnostic(`${difference(low, reference.rest).text} from the shipped pair at rest`);
      assert.ok(differs(low, reference.rest), 'the sun did not move');
      await on.web.press('#numbers [data-action="reset"] button');
      await on.web.waitForFrames(3);
      expectPicture(t, 'reset', await on.web.shot(engine.picture('sun-reset')), reference.rest);
    });

    // A film a browser writes: its frames and when each shows.
    const filmed = async (t, kind, format) => {
      const name = `quorvel-${kind === 'both' ? 'turn-and-clock' : kind}.${format}`;
      const file = path.join(engine.driver.downloads, name);
      fs.rmSync(file, { force: true });
      await on.web.read(
        (kind, format) => {
          const form = document.getElementById('films');
          form.querySelector('[name=kind]').value = kind;
          form.querySelector('[name=format]').value = format;
        },
        kind,
        format,
      );
      await on.web.click('record');
      // The sentence that names this film's file, or says why there is none.
      const said = await pollUntil(300000, async () => {
        const text = await on.web.says('film');
        return (text.includes(`saved as ${name}`) || text.startsWith('The recording stopped')) && text;
      });
      t.diagnostic(`"${said}"`);
      assert.ok(await pollUntil(10000, () => fs.existsSync(file) && fs.statSync(file).size > 0), said);
      return fs.readFileSync(file);
    };

    test('"Record" films at exact steps: a turn with the clock as a GIF, and a turn as WebM where written', async (t) => {
      const frames = gifFrames(await filmed(t, 'both', 'gif'));
      t.diagnostic(`${frames.length} GIF frames of ${frames[0]?.delay} ms`);
      assert.equal(frames.length, 30, 'one frame a step of 12 degrees');
      const doubled = frames.some(
        (frame, i) => frame.delay !== 100 || (i > 0 && frame.image.equals(frames[i - 1].image)),
      );
      assert.ok(!doubled, "a frame shown twice, or not for its step's time");
      const writable = await on.web.read(() => !document.querySelector('#films [value=webm]').disabled);
      assert.equal(writable, await on.web.read(() => window.MediaRecorder?.isTypeSupported('video/webm') ?? false));
      if (!writable) return t.diagnostic('WebM not offered: the browser writes none');
      const times = webmFrameTimes(await filmed(t, 'turn', 'webm'));
      const steps = Array.from({ length: 30 }, (_, i) => 100 * i);
      assert.deepEqual(times, steps, 'a frame dropped, doubled or off its step');
    });

    test('"Save picture" gives the canvas as drawn, at its backing store\'s size', async (t) => {
      const file = path.join(engine.driver.downloads, 'quorvel-1.png');
      await on.web.click('save-picture');
      assert.ok(await pollUntil(10000, () => fs.existsSync(file) && fs.statSync(file).size > 0), 'no picture came');
      expectPicture(t, 'saved picture', readPicture(file), await on.web.shot(engine.picture('canvas')));
    });
  });
}

// After 30 restarts of every kind, one run holds memory, and no more than
// the first run held. A GL context that a retired run kept would show as
// the browsers' warning of too many contexts, which the last test of each
// engine fails on.
function restartsPage(engine) {
  engine.page('restarts', {}, (on) => {
    test('after 30 restarts of four kinds the page holds one run, and the memory of the first', async (t) => {
      const { web } = on;
      assert.ok(await web.running(0));
      await web.waitForFrames(3);
      const first = await web.memory();
      const pair = passThroughPair();
      const kinds = {
        'Start again': async () => {
          const before = await web.statesSoFar();
          await web.pressEscape();
          await web.waitForState('ended', startLimitMs, before);
          await web.click('restart');
        },
        'a pair chosen': () => web.choosePair(pair),
        'the shipped pair': () => web.click('shipped'),
        'a click during start-up': async () => {
          await web.click('shipped');
          await web.click('shipped');
        },
      };
      try {
        for (let round = 0; round < 30; ++round) {
          const [kind, restart] = Object.entries(kinds)[round % 4];
          const before = await web.statesSoFar();
          await restart();
          assert.ok(await web.running(before), `after ${kind}, round ${round + 1}, no run`);
        }
      } finally {
        removePair(pair);
      }
      await web.waitForFrames(3);
      const last = await web.memory();
      // The last run retired goes within a second.
      const runs = await pollUntil(5000, async () => (await web.runsOnPage()) === 1 && 1);
      const grown = (last.bytes - first.bytes) / 2 ** 20;
      const limit = last.collected ? 30 : 150;
      const figures =
        `${runs} run frame(s) on the page; ${(first.bytes / 2 ** 20).toFixed(1)} -> ` +
        `${(last.bytes / 2 ** 20).toFixed(1)} MiB, ${last.what} (limit +${limit} MiB)`;
      t.diagnostic(figures);
      assert.ok(runs === 1 && grown <= limit, figures);
    });
  });
}

// A lost context ends the run in words; a restored one starts it again with
// the same pair, and the cloud is back.
function lostContextPage(engine) {
  engine.page('a lost GL context', {}, (on) => {
    test('ends the run and says so; restored, it starts the run again', async (t) => {
      const { web } = on;
      assert.ok(await web.running(0));
      await web.waitForFrames(3);
      let before = await web.statesSoFar();
      await web.loseContext();
      const lost = await web.waitForState('ended', 5000, before);
      assert.equal(lost.status, 'context-lost');
      assert.match(await web.says('run'), /GL context away/);
      before = await web.statesSoFar();
      await web.restoreContext();
      assert.ok(await web.running(before), 'no run started');
      await web.waitForFrames(3);
      expectPicture(t, 'restored', await web.shot(engine.picture('restored')), reference.rest);
    });
  });
}

// File names taken as the user means them, a large pair, a changed pixel
// ratio, a drag released elsewhere and a hidden page.
function faultsPage(engine) {
  const skips = (what) => ({ skip: engine.cannot[what] });
  engine.page('the smaller faults', {}, (on) => {
    test("a stage's file is taken by its ending in any case", async () => {
      assert.ok(await on.web.running(0));
      const upper = namedStages({ 'QUORVEL.FRAG': 'Quorvel.frag' });
      const before = await on.web.statesSoFar();
      await on.web.choosePair(upper);
      const runs = await on.web.running(before);
      removePair(upper);
      assert.ok(runs);
      assert.match(await on.web.says('pairs'), /QUORVEL\.FRAG as Quorvel\.frag/);
    });

    test('two files for one stage are refused in words', async () => {
      const two = namedStages({ 'a.frag': 'Quorvel.frag', 'b.frag': 'Quorvel.frag' });
      const before = await on.web.statesSoFar();
      await on.web.choosePair(two);
      const refused = await pollUntil(5000, async () => (await on.web.says('pairs')).includes('choose one'));
      removePair(two);
      assert.ok(refused, await on.web.says('pairs'));
      assert.equal(await on.web.statesSoFar(), before, 'a run started');
    });

    test('a 24 MB fragment stage runs', async (t) => {
      const large = largeFragmentStage(24);
      const before = await on.web.statesSoFar();
      await on.web.choosePair(large);
      // WebKit takes over a minute and a half on a loaded machine.
      const runs = await on.web.running(before, 120000 + startLimitMs);
      removePair(large);
      t.diagnostic(`"${await on.web.says('pairs')}"`);
      assert.ok(runs);
      assert.match(await on.web.says('pairs'), /^Your Quorvel\.frag/);
      assert.equal(await on.web.says('message'), '');
      const again = await on.web.statesSoFar();
      await on.web.click('shipped');
      assert.ok(await on.web.running(again));
    });

    test('the backing store follows a changed pixel ratio', skips('pixelRatio'), async () => {
      await on.web.setPixelRatio(2);
      const store = await pollUntil(5000, async () => {
        const now = (await on.web.canvas()).store;
        return now[0] === 800 && now[1] === 600 && now;
      });
      await on.web.setPixelRatio(1);
      assert.ok(store, `${(await on.web.canvas()).store.join(' x ')} at a ratio of 2`);
    });

    test('a drag released in another tab ends', skips('away'), async (t) => {
      await on.web.moveMouse(...dragFrom);
      await on.web.setLeftButton(true);
      await on.web.waitForFrames(2);
      await on.web.moveMouse(240, 170);
      await on.web.waitForFrames(2);
      await on.web.away(() => on.web.setLeftButton(false));
      await on.web.waitForFrames(2);
      const still = await on.web.shot(engine.picture('released-away'));
      await on.web.moveMouse(100, 60);
      await on.web.waitForFrames(3);
      const moved = difference(await on.web.shot(engine.picture('moved-after')), still);
      t.diagnostic(`${moved.text} after the free pointer moved`);
      assert.ok(moved.peak <= limits.peak);
    });

    test('a hidden page draws nothing, and tells a true rate when seen again', skips('away'), async (t) => {
      const seen = await on.web.title();
      let framesWhileHidden = -1;
      await on.web.away(async () => {
        const hidden = await on.web.frames();
        // Nothing to wait for: a hidden page shows no frame.
        await pause(3000);
        framesWhileHidden = (await on.web.frames()) - hidden;
      });
      const title = await pollUntil(5000, async () => {
        const now = await on.web.title();
        return now !== seen && now;
      });
      const rate = Number(/\(([\d.]+) FPS\)/.exec(title)?.[1] ?? -1);
      t.diagnostic(`title "${seen}" before, ${framesWhileHidden} frames while hidden, then "${title}"`);
      assert.ok(framesWhileHidden <= 1 && rate > 0 && rate < 200);
    });
  });
}

// A pair that lacks the scene's uniforms makes the library write a line at
// every set, megabytes a minute: the page shows only the newest part, says
// how much it leaves out and makes no download until asked. The frame rates
// at the start and the end are figures, not limits: the machine's load
// moves them more than the page does.
function floodingPage(engine) {
  engine.page('a log that floods', {}, (on) => {
    test('the page shows its newest part and makes no download unasked', async (t) => {
      const { web } = on;
      assert.ok(await web.running(0));
      const pair = pairWithoutUniforms();
      const before = await web.statesSoFar();
      await web.choosePair(pair);
      const started = await web.running(before);
      removePair(pair);
      assert.ok(started);
      const rate = async () => Number(/\(([\d.]+) FPS\)/.exec(await web.title())?.[1] ?? 0);
      const leftOut = () =>
        web.read(
          () =>
            !document.getElementById('left-out').hidden &&
            Number(/first (\d+) lines/.exec(document.getElementById('left-out').textContent)?.[1] ?? 0),
        );
      await web.waitForFrameRate(titleLimitMs);
      const early = await rate();
      // Far past both of the page's bounds, 400 lines and 64 kB.
      const flooded = await pollUntil(120000, async () => (await leftOut()) >= 5000);
      const shown = await web.read(() => ({
        lines: document.getElementById('log').textContent.split('\n').length - 1,
        download: document.getElementById('download').getAttribute('href'),
      }));
      t.diagnostic(
        `${shown.lines} lines shown, ${await leftOut()} left out; ${early} frames/s at first, ` +
          `${await rate()} at the end`,
      );
      assert.ok(flooded, 'the log did not grow past 5,000 lines');
      assert.ok(shown.lines <= 400);
      assert.equal(shown.download, '#');
    });
  });
}

// Opened from a file, the page says that it must come over HTTP and how.
function fromFilePage(engine) {
  engine.page('opened from a file', { url: pathToFileURL(path.join(dist, 'index.html')).href }, (on) => {
    test('says how to serve it', async () => {
      // A file's page has no watcher to keep its states: its state is read.
      await pollUntil(startLimitMs, async () => (await on.web.state()).state === 'ended');
      const { state, status, message } = await on.web.state();
      assert.equal(status, 'not-served', `state "${state}"`);
      assert.match(message, /scripts\/web --serve/);
    });
  });
}
