// The share link: a pair's two stages as JSON, compressed (deflate-raw) and
// written in base64url after `#pair=`. A link is input from whoever sent
// it, so reading one is bounded while it inflates: a few hundred kilobytes
// of address can hold gigabytes of text.

export const linkPrefix = '#pair=';
// Far above any real stage (the shipped pair is about 30 kB).
export const stageLimit = 1 << 20;
// JSON escapes at most double a shader's text (a line break is two
// characters), and the names and braces are a few bytes more.
const packedTextLimit = 4 * stageLimit + 1024;
// What Firefox and Chromium both open; Firefox refuses 1.36 MB.
export const addressLimit = 64 * 1024;

// The link for `pair` ({ 'Quorvel.vert': text, 'Quorvel.frag': text }),
// with the page's `settings` (the sun and the clock) beside it: { hash },
// or { refused: 'stage-too-large' | 'address-too-long', size } where a
// browser would not open it or the page would not read it back.
export async function linkFor(pair, settings) {
  const largest = Math.max(...Object.values(pair).map((text) => text.length));
  if (largest > stageLimit) return { refused: 'stage-too-large', size: largest };
  const packed = await compressed(new TextEncoder().encode(JSON.stringify(settings ? { ...pair, settings } : pair)));
  const hash = linkPrefix + base64url(packed);
  if (hash.length > addressLimit) return { refused: 'address-too-long', size: hash.length };
  return { hash };
}

// The pair that `hash` holds: { pair, settings }; { refused: 'too-large' }
// past the bounds, found before more than the bound is ever inflated;
// { refused: 'unreadable' }; or null when the hash holds no pair at all.
// Settings that are not as the page writes them are left out.
export async function pairOf(hash, stages) {
  if (!hash.startsWith(linkPrefix)) return null;
  try {
    const packed = fromBase64url(hash.slice(linkPrefix.length));
    // Deflate never makes text much longer, so a longer stream is no link
    // that the page could have made.
    if (packed.length > packedTextLimit) return { refused: 'too-large' };
    const text = await inflatedWithin(packed, packedTextLimit);
    if (text === null) return { refused: 'too-large' };
    const pair = JSON.parse(text);
    if (!stages.every((stage) => typeof pair?.[stage] === 'string')) return { refused: 'unreadable' };
    if (stages.some((stage) => pair[stage].length > stageLimit)) return { refused: 'too-large' };
    return {
      pair: Object.fromEntries(stages.map((stage) => [stage, pair[stage]])),
      settings: settingsOf(pair.settings),
    };
  } catch {
    return { refused: 'unreadable' };
  }
}

// The sun ({ height, around } in degrees) and the clock ({ speed,
// playing }) of a link, each only as the page can take it.
function settingsOf(given) {
  const number = (value, low, high) => Number.isFinite(value) && value >= low && value <= high;
  const settings = {};
  const { sun, clock } = given ?? {};
  if (number(sun?.height, -90, 90) && number(sun?.around, -180, 180)) {
    settings.sun = { height: sun.height, around: sun.around };
  }
  if (number(clock?.speed, 0, 100) && typeof clock?.playing === 'boolean') {
    settings.clock = { speed: clock.speed, playing: clock.playing };
  }
  return settings;
}

async function compressed(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate-raw'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

// The inflated text, or null as soon as it grows past `limit` bytes: the
// stream is read a chunk at a time and cancelled there. A browser inflates
// each chunk it is given whole, so the compressed bytes go in by the
// kilobyte, which inflates to a megabyte at most.
async function inflatedWithin(packed, limit) {
  let at = 0;
  const kilobytes = new ReadableStream(
    {
      pull(controller) {
        if (at >= packed.length) controller.close();
        else {
          controller.enqueue(packed.slice(at, at + 1024));
          at += 1024;
        }
      },
    },
    { highWaterMark: 0 },
  );
  const reader = kilobytes.pipeThrough(new DecompressionStream('deflate-raw')).getReader();
  const chunks = [];
  let size = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    size += value.length;
    if (size > limit) {
      await reader.cancel();
      return null;
    }
    chunks.push(value);
  }
  return new TextDecoder('utf-8', { fatal: true }).decode(await new Blob(chunks).arrayBuffer());
}

function base64url(bytes) {
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function fromBase64url(text) {
  const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
  return Uint8Array.from(binary, (c) => c.charCodeAt(0));
}
