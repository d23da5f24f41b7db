// "Measure": the running pair timed against the floor of this design, the
// pass-through pair (shaders/floor: the same uniforms, one constant colour,
// nothing culled), in the same page, in turn, as scripts/bench does on the
// desktop.

// The order of the phases: the pair first, as it runs already, then the
// floor and the pair in turns whose order alternates, so that neither
// always follows a rebuild and a change costs a build only where the phase
// changes.
export function phases(rounds) {
  return Array.from({ length: rounds }, (_, round) => (round % 2 ? ['floor', 'pair'] : ['pair', 'floor'])).flat();
}

export function median(values) {
  if (values.length === 0) return undefined;
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

// The frames' lengths in milliseconds from the times they were shown.
export function frameLengths(times) {
  return times.slice(1).map((time, i) => time - times[i]);
}

// The sentence for the medians of each side's frame lengths: the ratio is
// the floor's time over the pair's, so that above 1 the pair is the faster.
// A browser slows the frames of a picture it does not show (Firefox to one a
// second), so frames timed while it was out of view or the page hidden say
// nothing of the pair.
export function measuredSentence(pairLengths, floorLengths, { unseen = false } = {}) {
  if (unseen) {
    return (
      'The picture was out of view for part of the measurement, and a browser slows what it does not show: ' +
      'measure again with the picture in view.'
    );
  }
  const [pair, floor] = [median(pairLengths), median(floorLengths)];
  return (
    `Your pair: ${pair.toFixed(1)} ms a frame, ${(floor / pair).toFixed(2)} times the floor (the pass-through ` +
    `pair, ${floor.toFixed(1)} ms a frame): medians of ${pairLengths.length} and ${floorLengths.length} frames ` +
    'drawn in turns.'
  );
}

const measureRounds = 3;
// Each phase leaves out its first frames after a build, then takes at least
// this many and this long.
const settleFrames = 2;
const phaseFrames = 8;
const phaseMs = 1500;

// Times the pair that draws and the floor in turns, in this run, and gives
// the sentence; the pair that drew draws again afterwards. `flush` brings
// the user's edits in first, `sight` tells whether the picture left the
// view meanwhile.
export async function measurePair(run, { floor, flush, sight }) {
  await flush();
  const release = run.hold('measure');
  if (!release) return null;
  const drawn = { ...run.good };
  const lengths = { pair: [], floor: [] };
  let shown = 'pair';
  let said;
  try {
    for (const phase of phases(measureRounds)) {
      if (phase !== shown) await buildFor(run, phase === 'floor' ? floor : drawn);
      shown = phase;
      lengths[phase].push(...(await timedFrames(run)));
    }
    said = measuredSentence(lengths.pair, lengths.floor, { unseen: sight.unseen() });
  } catch (stopped) {
    said = `The measurement stopped: ${stopped.message}.`;
  }
  if (shown === 'floor' && run.state === 'running') await buildFor(run, drawn).catch(() => {});
  release();
  return said;
}

async function buildFor(run, pair) {
  run.write(pair).catch(() => {});
  const report = await run.next('build');
  if (report.failure !== 'none') throw new Error(`a build of the pair failed (${report.failure})`);
}

async function timedFrames(run) {
  const times = [];
  while (times.length <= settleFrames + phaseFrames || times.at(-1) - times[settleFrames] < phaseMs) {
    times.push((await run.next('frame')).time);
  }
  return frameLengths(times.slice(settleFrames));
}
