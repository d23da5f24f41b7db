// What the page decides without the DOM: a build's sentence and marks, the
// newest part of a flooding log, and which chosen file is which stage.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { describeBuild } from '../../app/web/build.js';
import { LogTail } from '../../app/web/log.js';
import { FrameCost } from '../../app/web/frame_cost.js';
import { frameLengths, measuredSentence, phases } from '../../app/web/measure.js';
import { pairSentence, stagesOf } from '../../app/web/stages.js';

test("a build is summed up in a sentence and its messages go on the stage's own lines", () => {
  const report = (failure, stage = null, messages = [], log = '', missingUniforms = []) => ({
    failure,
    stage,
    messages,
    log,
    missingUniforms,
  });
  const messages = [
    { line: 10, text: 'x undeclared' },
    { line: null, text: 'terminated' },
  ];
  const terminated = [{ line: null, text: 'terminated' }];
  const keeps = '; the last good pair still draws.';
  const cases = [
    [
      report('fragmentCompile', 'Quorvel.frag', messages),
      { running: true },
      `Quorvel.frag does not compile: line 10: x undeclared${keeps}`,
      { 'Quorvel.frag': messages },
    ],
    [
      report('vertexCompile', 'Quorvel.vert', terminated),
      {},
      'Quorvel.vert does not compile: terminated.',
      { 'Quorvel.vert': terminated },
    ],
    [report('vertexFile', 'Quorvel.vert'), { running: true }, `Quorvel.vert cannot be read (is it empty?)${keeps}`, {}],
    [
      report('link', null, [], 'error: haze not written\nmore'),
      {},
      'The pair does not link: error: haze not written.',
      {},
    ],
    [report('none'), { edited: true }, 'Your edit draws.', {}],
    [report('none'), {}, '', {}],
    [
      report('none', null, [], '', ['zPosition', 'lightPos']),
      { edited: true },
      'Your edit draws. The pair lacks the uniforms zPosition, lightPos, which the scene sets: each set writes a line ' +
        'to the log.',
      {},
    ],
  ];
  for (const [built, context, text, marks] of cases) {
    const failed = built.failure !== 'none' || built.missingUniforms.length > 0;
    assert.deepEqual(describeBuild(built, context), { failed, text, marks });
  }
});

test('the log shows its newest 400 lines and 64 kB, and counts what it leaves out', () => {
  const log = new LogTail();
  for (let i = 0; i < 1000; ++i) log.add(`line ${i}\n`);
  assert.deepEqual([log.lines, log.leftOut, log.tail.split('\n')[0]], [1000, 600, 'line 600']);
  log.add(`${'x'.repeat(100 * 1024)}\nlast\n`);
  assert.deepEqual([log.tail, log.chunks.length], ['last\n', 1001]);
});

test('chosen files are stages by their ending in any case, one of each at most', () => {
  assert.deepEqual(stagesOf(['a.txt', 'CLOUD.FRAG', 'b.Vert']), { chosen: { 'Quorvel.frag': 1, 'Quorvel.vert': 2 } });
  assert.match(stagesOf(['notes.txt']).refused, /ends in \.vert or \.frag/);
  assert.equal(
    stagesOf(['a.frag', 'b.frag']).refused,
    'a.frag and b.frag are both fragment stages: choose one of them.',
  );
  const own = { 'Quorvel.frag': { name: 'CLOUD.FRAG' } };
  assert.equal(
    pairSentence(own, { linked: true }),
    'Your CLOUD.FRAG as Quorvel.frag runs with the shipped ' +
      "Quorvel.vert. This pair came with the page's link: it is not the shipped one.",
  );
  assert.match(pairSentence({}, { waiting: true }), /has not run.*Until then the shipped pair runs/);
});

test('"Measure" alternates the pair and the floor and compares their median frames', () => {
  assert.deepEqual(phases(3), ['pair', 'floor', 'floor', 'pair', 'pair', 'floor']);
  assert.deepEqual(frameLengths([0, 10, 30, 40]), [10, 20, 10]);
  assert.equal(
    measuredSentence([20, 50, 30], [60, 60, 90, 100]),
    'Your pair: 30.0 ms a frame, 2.50 times the floor ' +
      '(the pass-through pair, 75.0 ms a frame): medians of 3 and 4 frames drawn in turns.',
  );
  assert.match(measuredSentence([1000], [1000], { unseen: true }), /^The picture was out of view/);
});

test("a frame's cost is the median of the last second, with the GPU's time where a timer tells it", () => {
  const cost = new FrameCost();
  for (const time of [0, 1100, 1140, 1180, 1230]) cost.add(time, time > 1100 ? 12 : undefined);
  assert.equal(
    cost.sentence(false),
    '40.0 ms a frame (the median of the last second); this browser offers no GPU ' +
      'timer (EXT_disjoint_timer_query).',
  );
  assert.equal(
    cost.sentence(true),
    "40.0 ms a frame (the median of the last second); the GPU's timer gives 12.0 ms " + 'a frame.',
  );
});
