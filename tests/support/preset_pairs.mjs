// The page's presets written into the shipped pair by the page's own code,
// for the native scene to draw: under OUT, a folder a preset with its two
// stages and look.txt, which holds the light's direction (x y z) and the
// sky (red green blue) that the page gives it.
//
// Usage: node preset_pairs.mjs SHADER_DIR OUT
import fs from 'node:fs';
import path from 'node:path';

import { PairNumbers } from '../../app/web/pair_numbers.js';
import { presets } from '../../app/web/presets.js';
import { defaultSun, lightOf, skyOf } from '../../app/web/sun.js';

const [shaders, out] = process.argv.slice(2);
const stages = ['Quorvel.vert', 'Quorvel.frag'];
for (const look of presets) {
  const texts = Object.fromEntries(stages.map((stage) => [stage, fs.readFileSync(path.join(shaders, stage), 'utf8')]));
  const pair = new PairNumbers(stages);
  for (const stage of stages) pair.read(stage, texts[stage], 'other');
  const folder = path.join(out, look.name.replace(/\W+/g, '-').toLowerCase());
  fs.mkdirSync(folder, { recursive: true });
  const { changes } = { changes: pair.preset(look) };
  for (const stage of stages) {
    let text = texts[stage];
    for (const { from, to, insert } of [...(changes[stage] ?? [])].sort((a, b) => b.from - a.from)) {
      text = text.slice(0, from) + insert + text.slice(to);
    }
    fs.writeFileSync(path.join(folder, stage), text);
  }
  const sun = look.sun ?? defaultSun;
  fs.writeFileSync(path.join(folder, 'look.txt'), `${lightOf(sun).join(' ')}\n${skyOf(sun).join(' ')}\n`);
}
