// The pair's numbers: which declarations get a control as the compiler
// reads the stage, what a move, a preset and Reset write, and the undo of
// drags, on crafted stages that each hold one fault that real stages have.
import assert from 'node:assert/strict';
import { test } from 'node:test';

// The page's own copies of CodeMirror, which its editors use.
import { redo, undo } from '../../app/web/node_modules/@codemirror/commands/dist/index.js';
import { EditorState } from '../../app/web/node_modules/@codemirror/state/dist/index.js';

import { editHistory, moveNumbers, replaceText } from '../../app/web/editor.js';
import { numbersOf } from '../../app/web/numbers.js';
import { PairNumbers, frameOf, hexOf, rgbOf, spelling } from '../../app/web/pair_numbers.js';

const million = `0.${'0'.repeat(999998)}1`;
// Each row: a stage, its numbers as `NAME literal,literal`, its
// declarations left out as `NAME why`, and what else a user meets there.
const stages = [
  [
    'a comment',
    '/* const float C = 1.0; */\nconst float D = 2.0; // const float E = 3.0;\n' +
      '/*/ const float F = 1.0; */\n#define G /* a comment\nconst float H = 1.0; */ 2',
    ['D 2.0'],
    [],
  ],
  [
    '#if 0, and a branch GL ES leaves out',
    '#if 0\nconst float A = 1.0;\n#elif defined(GL_ES) && __VERSION__ >= 100\n' +
      'const float B = 2.0;\n#else\nconst float C = 3.0;\n#endif',
    ['B 2.0'],
    [],
  ],
  [
    'macros in a condition, #undef, a dead branch inside a dead one',
    '#define N 2\n#if N > 1 && !defined(M)\n' +
      'const float A = 1.0;\n#endif\n#undef N\n#ifdef N\nconst float B = 2.0;\n#elif 1\n#if 0\n#else\n#endif\n#else\n' +
      'const float C = 3.0;\n#endif',
    ['A 1.0'],
    [],
  ],
  [
    '#elif and #else after a condition only the browser decides',
    '#ifdef GL_OES_standard_derivatives\n' +
      'const float A = 1.0;\n#elif 0\nconst float B = 2.0;\n#else\nconst float C = 3.0;\n#endif\nconst float D = 4.0;',
    ['D 4.0'],
    ['A', 'C'].map(
      (name) => `${name} lies under #ifdef GL_OES_standard_derivatives, which only the browser can decide`,
    ),
  ],
  [
    'a name defined once a branch',
    '#ifndef GL_ES\nconst float Q = 3.0;\n#else\nconst float Q = 2.0;\n#endif',
    ['Q 2.0'],
    [],
  ],
  [
    'a condition only the browser decides',
    '#ifdef GL_FRAGMENT_PRECISION_HIGH\nconst float H = 1.0;\n#else\n' + 'const float H = 2.0;\n#endif',
    [],
    Array(2).fill('H lies under #ifdef GL_FRAGMENT_PRECISION_HIGH, which only the ' + 'browser can decide'),
  ],
  ['a macro and its continuation', '#define M 1.0 \\\nconst float C = 2.0;\nconst float D = 3.0;', ['D 3.0'], []],
  ['a function body', 'void f() {\nconst float L = 1.0;\n}\nconst float T = 4.0;', ['T 4.0'], []],
  ['CRLF', 'const float A = 1.0;\r\n// [0, 1]\r\nconst float B = 2.5;  // [0, 5]\r\n', ['A 1.0', 'B 2.5'], []],
  [
    'alignment, a tab, a precision, vec3(x), a comment between',
    'const   highp float\tA  =  -.5 /* c */;\n' + 'const vec3 G = vec3( 0.25 );\nconst float X = 1.0, Y = 2e1;',
    ['A -.5', 'G 0.25', 'X 1.0', 'Y 2e1'],
    [],
  ],
  [
    '1e400, an expression, an array, a name the program needs',
    'const float BIG = 1e400;\n' +
      'const float W = 3.0 / 31.0;\nconst float K[2] = float[2](1.0, 2.0);\nconst float CELL = 3.0;',
    [],
    [
      'BIG is beyond what a float holds',
      'W is worked out, not written as a number',
      'K is an array',
      'CELL is needed by the program as it is',
    ],
  ],
  [
    '010 and 08',
    'const vec3 I = vec3(010, 0x10, 1);\nconst float O = 010;\nconst vec3 N = vec3(08, 0, 0);',
    ['I 010,0x10,1'],
    ['O is an integer, which a float constant cannot take', 'N has 08, which is no GLSL number'],
  ],
  [
    'a colour above 1',
    '// The colour of the sunlight\nconst vec3 SUN = vec3(1.5, 1.26, 0.93);',
    ['SUN 1.5,1.26,0.93'],
    [],
  ],
  ['a line of a million digits', `const float M = ${million};`, [`M ${million}`], []],
];

test("a stage's numbers are the ones the compiler reads, and each moves its own literals and no other byte", () => {
  for (const [fault, text, numbers, leftOut] of stages) {
    const found = numbersOf(text);
    const written = found.numbers.map((n) => `${n.name} ${n.literals.map((l) => text.slice(l.from, l.to))}`);
    assert.deepEqual(written, numbers, fault);
    assert.deepEqual(
      found.leftOut.map(({ name, why }) => `${name} ${why}`),
      leftOut,
      fault,
    );
    const pair = new PairNumbers(['s']);
    pair.read('s', text, 'other');
    assert.deepEqual(pair.reset(), { s: [] }, `${fault}: Reset of an untouched stage changes it`);
    for (const control of pair.controls) {
      const value = [control.value].flat().map((v) => v + 0.5);
      const { changes } = pair.move(control, control.type === 'vec3' ? value : value[0]);
      const spans = control.places.flatMap(({ index }) => found.numbers[index].literals);
      assert.ok(
        changes.s.every((c) => spans.some((l) => l.from === c.from && l.to === c.to)),
        `${fault}: ${control.label} moved other bytes than its literals'`,
      );
      const moved = apply(text, changes.s);
      pair.read('s', moved, 'own');
      assert.deepEqual([numbersOf(moved).numbers.find((n) => n.name === control.name).value].flat(), value, fault);
      assert.equal(apply(moved, pair.reset().s), text, `${fault}: Reset after ${control.label} moved`);
      pair.read('s', text, 'own');
    }
  }
});

test('what a move, a preset and Reset write', () => {
  const pair = new PairNumbers(['Quorvel.vert', 'Quorvel.frag']);
  const vertex = 'const float EXTINCTION = 10.0;\nconst float LUMP = 0.38;  // [1, 0]\nconst float CLOUD = 1.13;';
  const fragment =
    'const float EXTINCTION = 40.0;\nconst float LUMP = 0.38;\n// The colour of the sunlight\n' +
    'const vec3 SUN = vec3(1.5, 1.26, 0.93);\nconst vec3 SKY = vec3(0.5, 1.1, 2.0);\n\n' +
    'const vec3 AXIS = vec3(0.5, 1.5, 0.0);\nconst float EXPOSURE = 1.0;  // [0.5, 2.0]';
  pair.read('Quorvel.vert', vertex, 'other');
  pair.read('Quorvel.frag', fragment, 'other');
  const control = (label) => pair.controls.find((c) => c.label === label);
  assert.deepEqual(
    pair.controls.map((c) => `${c.label} ${c.places.length}`),
    ['EXPOSURE 1', 'EXTINCTION (vertex) 1', 'EXTINCTION (fragment) 1', 'LUMP 2', 'CLOUD 1', 'SUN 1', 'SKY 1', 'AXIS 1'],
  );
  // The comment above a run of vec3s calls each a colour, not one past a
  // blank line.
  assert.deepEqual(
    ['SUN', 'SKY', 'AXIS'].map((label) => control(label).colour),
    [true, true, false],
  );
  // A range that is inverted is ignored, one that a value leaves widens,
  // and one without a comment stays as it was while the drag is in hand.
  assert.deepEqual(frameOf(control('LUMP'), null).range, [0, 0.76]);
  assert.deepEqual(frameOf({ ...control('EXPOSURE'), value: 3 }, null).range, [0.5, 3]);
  assert.deepEqual(frameOf({ ...control('CLOUD'), value: 2 }, { range: [0, 2.26] }).range, [0, 2.26]);
  // A colour above 1 keeps its intensity; the colour it shows, picked,
  // writes nothing; a picked channel takes its shortest decimal.
  const sun = control('SUN');
  const { intensity } = frameOf(sun, null);
  assert.equal(intensity, 1.5);
  assert.equal(hexOf(sun.value, intensity), '#ffd69e');
  assert.deepEqual(Object.values(pair.move(sun, rgbOf('#ffd69e', intensity, sun.value)).changes).flat(), []);
  assert.deepEqual(rgbOf('#808080', 1, [0, 0, 0]), [0.5, 0.5, 0.5]);
  assert.deepEqual(rgbOf('#ff0000', 1.5, [1, 0.9, 0.74]), [1.5, 0, 0]);
  assert.deepEqual([0.1 + 0.2, 10, 1e-7, -0, Infinity, 1e39].map(spelling), [
    '0.30000000000000004',
    '10.0',
    '1e-7',
    '0.0',
    null,
    null,
  ]);
  assert.match(pair.move(control('EXPOSURE'), Infinity).refused, /^EXPOSURE takes only numbers that a float holds/);
  // Presets find numbers by stage and name, whatever the labels, and only
  // where each has its kind; none has a name that the shipped pair lacks.
  const look = { values: { EXTINCTION: { 'Quorvel.frag': 35 }, LUMP: 0.3, SUN: [1, 0.58, 0.32] } };
  assert.ok(pair.offers(look));
  assert.equal(pair.offers({ values: { SUN: 1 } }), false);
  assert.equal(pair.offers({ values: { EXPOSURE: [1, 1, 1] } }), false);
  const changes = pair.preset(look);
  assert.deepEqual(
    Object.values(changes).map((list) => list.map((c) => c.insert)),
    [['0.3'], ['35.0', '0.3', '1.0', '0.58', '0.32']],
  );
  // A stage too large to tune by hand is left unread, with the reason.
  pair.read('Quorvel.vert', `${vertex}\n// ${'-'.repeat(1 << 20)}`, 'other');
  assert.deepEqual(
    pair.leftOut.filter((left) => left.stage === 'Quorvel.vert').map((left) => left.line),
    [null],
  );
});

test('undo and redo after drags give back each literal as it was', () => {
  const text = 'const float EXPOSURE = 1.0;  // [0.5, 2.0]\nconst float RIM = 1.50;\n';
  const pair = new PairNumbers(['s']);
  pair.read('s', text, 'other');
  // The editor's state and history as the page has them, without a view.
  let state = EditorState.create({ doc: text, extensions: editHistory });
  const view = {
    get state() {
      return state;
    },
    dispatch(...specs) {
      state = (Array.isArray(specs[0]) ? specs[0] : [state.update(...specs)]).at(-1).state;
      pair.read('s', state.doc.toString(), 'own');
    },
  };
  const drag = (label, values) =>
    values.forEach((value, i) => {
      const changes = pair.move(
        pair.controls.find((c) => c.label === label),
        value,
      ).changes.s;
      moveNumbers(view, changes, { time: 1000, first: i === 0, last: i === values.length - 1 });
    });
  const history = (command) => command({ state, dispatch: (tr) => (state = tr.state) });
  const texts = [text];
  drag('EXPOSURE', [1.2, 1.4, 1.5]);
  texts.push(state.doc.toString());
  drag('EXPOSURE', [1.7, 2.0]);
  texts.push(state.doc.toString());
  replaceText(view, pair.preset({ values: { RIM: 2 } }).s);
  texts.push(state.doc.toString());
  assert.match(texts[3], /EXPOSURE = 1\.0;.*\nconst float RIM = 2\.0;/s);
  for (const want of texts.slice(0, -1).reverse()) {
    history(undo);
    assert.equal(state.doc.toString(), want);
  }
  for (const want of texts.slice(1)) {
    history(redo);
    assert.equal(state.doc.toString(), want);
  }
});

function apply(text, changes) {
  return [...changes]
    .sort((a, b) => b.from - a.from)
    .reduce((result, { from, to, insert }) => result.slice(0, from) + insert + result.slice(to), text);
}
