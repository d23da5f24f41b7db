// The features that take a run, against a run played without a browser:
// the edits' queue, Measure's turns and a filmed turn, each as the user
// meets them, edits made just before included.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { createEdits } from '../../app/web/edits.js';
import { measurePair } from '../../app/web/measure.js';
import { film, filmPlan } from '../../app/web/recording.js';
import { FakeRun } from './fake_run.mjs';

function editsOn(run) {
  const said = [];
  const edits = createEdits({ show: ({ text }) => said.push(text), building: () => {} });
  edits.attach(run);
  return { edits, said };
}

const floor = { 'Quorvel.vert': 'floor vertex', 'Quorvel.frag': 'floor fragment' };
const sight = { unseen: () => false };

test('edits reach the program one build at a time, each told, the newest text last', async () => {
  const run = new FakeRun();
  const { edits, said } = editsOn(run);
  // Both stages typed quickly, then a number moved twice while they build.
  edits.edited('Quorvel.vert', 'typed vertex', false);
  edits.edited('Quorvel.frag', 'typed fragment', false);
  await run.next('build');
  await run.next('build');
  await edits.flush();
  edits.edited('Quorvel.frag', 'moved 1', true);
  edits.edited('Quorvel.frag', 'moved 2', true);
  await edits.flush();
  // The second move waits for the first one's build, and nothing waits
  // behind it.
  assert.deepEqual(
    run.log.filter((entry) => entry !== 'built'),
    ['write typed vertex', 'write typed fragment', 'write moved 1', 'write moved 2'],
  );
  assert.deepEqual(said.filter((text) => text === 'Your edit draws.').length, 4);
  assert.equal(said.at(-1), 'Your edit draws.');
  // The same text written twice within a second is still a new write.
  edits.edited('Quorvel.frag', 'moved 1', true);
  await edits.flush();
  assert.equal(run.log.at(-2), 'write moved 1');
});

test('Measure takes an edit made just before it, times both pairs in turns, and leaves the pair that drew', async () => {
  const floorWrite = 'write floor vertex + floor fragment';
  const pairWrite = (fragment) => `write shipped vertex + ${fragment}`;
  const cases = [
    // An edit that builds draws in the pair's turns.
    ['edited fragment', [floorWrite, pairWrite('edited fragment')]],
    // One that fails leaves the last good pair to time, and goes in again.
    [
      'broken fragment',
      [pairWrite('shipped fragment'), floorWrite, pairWrite('shipped fragment'), 'write broken fragment'],
    ],
  ];
  for (const [edit, after] of cases) {
    const run = new FakeRun();
    const { edits } = editsOn(run);
    edits.edited('Quorvel.frag', edit, false);
    const said = await measurePair(run, { floor, flush: edits.flush, sight });
    await edits.flush();
    assert.match(said, /^Your pair: 100\.0 ms a frame, 1\.00 times the floor/, edit);
    const writes = run.log.filter((entry) => entry.startsWith('write'));
    assert.deepEqual(writes.slice(0, 2), [`write ${edit}`, floorWrite], edit);
    assert.deepEqual(writes.slice(-after.length), after, edit);
    assert.equal(run.holder, null);
  }
});

test('a film is one frame at each exact turn and time, and the cloud and its clock are put back', async () => {
  const run = new FakeRun();
  const { edits } = editsOn(run);
  run.turn = { x: 10, y: 20 };
  run.clockSet = { time: 5, playing: true, speed: 2 };
  edits.edited('Quorvel.frag', 'edited fragment', false);
  const frames = [];
  const sink = { add: (still, step) => frames.push(`${step} ${still.turn} ${still.time}`), finish: () => 'film' };
  const films = await film(run, {
    plan: filmPlan('both', { steps: 3, seconds: 6 }),
    sinks: [sink],
    progress: () => {},
    stopped: () => false,
    flush: edits.flush,
  });
  assert.deepEqual(films, ['film']);
  assert.deepEqual(frames, ['0 20 5', '1 140 7', '2 260 9']);
  assert.equal(
    run.log.find((entry) => entry.startsWith('write')),
    'write edited fragment',
  );
  assert.deepEqual(
    [run.turn, run.clockSet, run.holder],
    [{ x: 10, y: 20 }, { time: 5, playing: true, speed: 2 }, null],
  );
});
