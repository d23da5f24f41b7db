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

// The floor, a pass-through pair (the same uniforms, one constant colour,
// nothing culled), read from the product's own folder so that "Measure" and
// every benchmark time the same floor; both shading languages take it as it
// is.
export function passThroughPair() {
  const stage = (name) => fs.readFileSync(path.join(repo, 'shaders/floor', name), 'utf8');
  return writePair({ 'Quorvel.vert': stage('Quorvel.vert'), 'Quorvel.frag': stage('Quorvel.frag') });
}

const shipped = (stage) => fs.readFileSync(path.join(repo, 'shaders', stage), 'utf8');

// The starter pair that pair authors copy (examples/pairs/starter): a cloud
// of its own, culled and integrated as the shipped one is, for the page as a
// pair of the user's own.
export function starterPair() {
  const stage = (name) => fs.readFileSync(path.join(repo, 'examples/pairs/starter', name), 'utf8');
  return writePair({ 'Quorvel.vert': stage('Quorvel.vert'), 'Quorvel.frag': stage('Quorvel.frag') });
}

// The pass-through pair with its uniforms renamed, so that the scene sets
// only uniforms that the program lacks.
export function pairWithoutUniforms() {
  const files = passThroughPair();
  const [vertex, fragment] = files.map((file) => fs.readFileSync(file, 'utf8'));
  removePair(files);
  const names = [...`${vertex}${fragment}`.matchAll(/uniform \w+ ([\w, ]+);/g)].flatMap((m) => m[1].split(/, */));
  const rename = (text) => text.replace(new RegExp(`\\b(${names.join('|')})\\b`, 'g'), 'unset_$1');
  return writePair({ 'Quorvel.vert': rename(vertex), 'Quorvel.frag': rename(fragment) });
}

// The shipped stages under other file names: { 'a.frag': 'Quorvel.frag' }.
export function namedStages(names) {
  return writePair(Object.fromEntries(Object.entries(names).map(([name, stage]) => [name, shipped(stage)])));
}

// The shipped fragment stage made `megabytes` long by a comment.
export function largeFragmentStage(megabytes) {
  const padding = `// ${'-'.repeat(1021)}\n`.repeat(megabytes * 1024);
  return writePair({ 'Quorvel.frag': padding + shipped('Quorvel.frag') });
}

// A vertex stage alone, which does not compile.
export function brokenVertexStage() {
  return writePair({ 'Quorvel.vert': 'void main() {\n  gl_Position = notDeclared;\n}\n' });
}

export function removePair(files) {
  fs.rmSync(path.dirname(files[0]), { recursive: true, force: true });
}
