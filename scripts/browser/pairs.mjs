// Shader pairs that the drivers give the page and the native program, as
// files named as the program reads them, in a temporary folder.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { repo } from './native.mjs';

function writePair(stages) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-pair-'));
  return Object.entries(stages).map(([name, text]) => {
    fs.writeFileSync(path.join(folder, name), text);
    return path.join(folder, name);
  });
}

// The native benchmark's pass-through pair (the same uniforms, one constant
// colour, nothing culled), taken from its source so that every benchmark
// times the same floor. The web's shading language takes no #version line,
// and the desktop's 1.10 needs none for these stages.
export function passThroughPair() {
  const source = fs.readFileSync(path.join(repo, 'bench/cloud_bench.cpp'), 'utf8');
  const stage = (name) => {
    const text = new RegExp(`${name} = R"\\(([^]*?)\\)";`).exec(source)?.[1];
    if (!text) throw new Error(`bench/cloud_bench.cpp holds no ${name}`);
    return text.replace(/^#version .*\n/, '');
  };
  return writePair({ 'Quorvel.vert': stage('kPassThroughVertex'), 'Quorvel.frag': stage('kPassThroughFragment') });
}

// A vertex stage alone, which does not compile.
export function brokenVertexStage() {
  return writePair({ 'Quorvel.vert': 'void main() {\n  gl_Position = notDeclared;\n}\n' });
}

export function removePair(files) {
  fs.rmSync(path.dirname(files[0]), { recursive: true, force: true });
}
