// The pair's numbers as sliders: which lines give one, their ranges and
// kinds, one slider for a number both stages share, and a value rewritten
// in place.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { glslFloat, hexOf, numberChange, rgbOf, slidersOf } from '../../app/web/numbers.js';
import { presets, presetsFor } from '../../app/web/presets.js';

const vertex = [
  'const float SLICE_STEP = 3.0 / 31.0;',
  'const float HALF_EXTENT = 1.5;',
  'const float LUMP = 0.38;  // [0.0, 0.6]',
  'const float SHARED = 2.0;',
  'const float DIFFERS = 10.0;',
  '  const float INDENTED = 1.0;',
  'const vec3 OFFSET = vec3(0.5, -1.0, 0.0);',
].join('\n');
const fragment = [
  'const float SHARED = 2.0;',
  'const float DIFFERS = 40.0;  // [2.0, 100.0]',
  '// The colours of the sunlight and of the sky',
  'const vec3 SUN = vec3(1.0, 0.9, 0.74);',
  'const vec3 TINT = vec3(0.1, 0.2, 0.3);',
].join('\n');

test('each number of either stage gets a slider, ranged ones first, shared ones once', () => {
  const sliders = slidersOf({ 'Quorvel.vert': vertex, 'Quorvel.frag': fragment });
  assert.deepEqual(sliders.map(({ label, range, colour, stages }) => [label, range, colour, stages.length]), [
    ['LUMP', [0, 0.6], false, 1],
    ['DIFFERS (fragment)', [2, 100], false, 1],
    ['SHARED', [0, 4], false, 2],
    ['DIFFERS (vertex)', [0, 20], false, 1],
    ['OFFSET', [0, 2], false, 1],
    ['SUN', [0, 2], true, 1],
    ['TINT', [0, 0.6], true, 1],
  ]);
  assert.deepEqual(sliders.find((slider) => slider.label === 'OFFSET').value, [0.5, -1, 0]);
});

test('a value is rewritten in place as GLSL writes it', () => {
  const change = numberChange(fragment, 'SUN', [1, 0.5, 0.25]);
  const text = fragment.slice(0, change.from) + change.insert + fragment.slice(change.to);
  assert.match(text, /^const vec3 SUN = vec3\(1\.0, 0\.5, 0\.25\);$/m);
  assert.equal(numberChange(fragment, 'MISSING', 1), null);
  assert.deepEqual([10, 0.38, 1 / 3, 1e-7].map(glslFloat), ['10.0', '0.38', '0.3333', '1e-7']);
  assert.deepEqual(rgbOf(hexOf([1, 0.5, 0])), [1, 0.502, 0]);
});

test('a preset is offered where the sliders have all its numbers', () => {
  const labels = [...new Set(presets.flatMap((look) => Object.keys(look.values)))];
  assert.equal(presetsFor(labels.map((label) => ({ label }))).length, presets.length);
  assert.deepEqual(presetsFor(labels.slice(1).map((label) => ({ label }))).length < presets.length, true);
});
