// The share link read back, and refused where a browser would not open it
// or a hostile sender could make the page inflate gigabytes.
import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { test } from 'node:test';
import { deflateRawSync } from 'node:zlib';

import { addressLimit, linkFor, linkPrefix, pairOf, stageLimit } from '../../app/web/link.js';

const stages = ['Quorvel.vert', 'Quorvel.frag'];
const linkOf = (bytes) => linkPrefix + Buffer.from(bytes).toString('base64url');
const pairLink = (vert, frag, settings) =>
  linkOf(deflateRawSync(JSON.stringify({ 'Quorvel.vert': vert, 'Quorvel.frag': frag, settings })));
const tooLarge = 'x'.repeat(stageLimit + 1);

test('a shared pair comes back exactly with its sun and clock, or the link is refused', async () => {
  const pair = { 'Quorvel.vert': 'void main() {} // "é" \\ \u2603\n', 'Quorvel.frag': `// ${'-'.repeat(40000)}\n` };
  const settings = { sun: { height: 5, around: -60 }, clock: { speed: 2, playing: false } };
  assert.deepEqual(await pairOf((await linkFor(pair, settings)).hash, stages), { pair, settings });
  assert.deepEqual(await pairOf((await linkFor(pair)).hash, stages), { pair, settings: {} });
  const hostile = { sun: { height: Infinity, around: '0' }, clock: { speed: -1, playing: 'yes' } };
  assert.deepEqual((await pairOf(pairLink(pair['Quorvel.vert'], '', hostile), stages)).settings, {});
  const noise = randomBytes(addressLimit).toString('hex');
  assert.equal((await linkFor({ 'Quorvel.vert': noise, 'Quorvel.frag': '' })).refused, 'address-too-long');
  assert.equal((await linkFor({ 'Quorvel.vert': '', 'Quorvel.frag': tooLarge })).refused, 'stage-too-large');
});

test('an address is read as no pair, or refused when unreadable or too large', async () => {
  const cases = [
    ['#other', undefined],
    [`${linkPrefix}%%%`, 'unreadable'],
    [linkOf([0xff, 0xff, 0xff]), 'unreadable'],
    [linkOf(deflateRawSync('{')), 'unreadable'],
    [linkOf(deflateRawSync('{"Quorvel.vert": ""}')), 'unreadable'],
    [pairLink(tooLarge, ''), 'too-large'],
    // 64 MiB from 64 KiB: refused as it inflates, not read whole.
    [linkOf(deflateRawSync(Buffer.alloc(64 << 20, 32), { level: 9 })), 'too-large'],
  ];
  for (const [hash, refused] of cases) assert.equal((await pairOf(hash, stages))?.refused, refused, hash.slice(0, 40));
});
