// The sun as the page moves it and the clock a pair may read: the default
// sun is the desktop's light exactly, a point of the picture is where the
// sun then shows, a low sun warms the sky; a paused clock stays, a step is
// one frame.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { Clock, stepSeconds } from '../../app/web/clock.js';
import { defaultLight, defaultSun, lightOf, pointOf, skyOf, sunAt } from '../../app/web/sun.js';

test('the sun: its default is the fixed light, a pointed sun shows where it was pointed, a low one warms the sky', () => {
  assert.deepEqual(lightOf(defaultSun), defaultLight);
  assert.deepEqual(skyOf(defaultSun), [0.2, 0.2, 0.8]);
  for (const [x, y] of [
    [200, 150],
    [50, 20],
    [350, 170],
  ]) {
    const { x: shownX, y: shownY } = pointOf(sunAt(x, y));
    assert.ok(Math.abs(shownX - x) < 1e-9 && Math.abs(shownY - y) < 1e-9, `${x}, ${y}`);
  }
  assert.equal(pointOf({ height: 0, around: 120 }), null, 'a sun in front of the viewer has no mark');
  const evening = skyOf({ height: 2, around: -45 });
  assert.ok(evening[0] > 0.5 && evening[2] < 0.6, `${evening}`);
});

test('the clock plays at its speed, stays where a pause left it, and steps a frame', () => {
  const clock = new Clock({ speed: 2 });
  clock.tick(1000);
  assert.equal(clock.tick(1500), 1);
  clock.set({ playing: false });
  assert.equal(clock.tick(9000), 1);
  assert.deepEqual(clock.set({ step: true }), { time: 1 + 2 * stepSeconds, playing: false, speed: 2 });
});
