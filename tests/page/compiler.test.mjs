import assert from 'node:assert/strict';
import { test } from 'node:test';

import { compilerMessages } from '../../app/web/compiler.js';

test('compiler messages in each GL\'s form go on the stage\'s own lines', () => {
  const section = '0:12(5): error: `x\' undeclared\nERROR: 0:7: \'y\' : undeclared\nERROR: 0:?: \'\' : terminated\n' +
                  'ERROR: 2 compilation errors.\n***GLSL Linker Log:\n0:99: not this stage\'s';
  assert.deepEqual(compilerMessages(section, 3), [
    { line: 9, text: 'error: `x\' undeclared' },
    { line: 4, text: '\'y\' : undeclared' },
    { line: null, text: '\'\' : terminated' },
  ]);
});
