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
    return 'The picture was out of view for part of the measurement, and a browser slows what it does not show: ' +
           'measure again with the picture in view.';
  }
  const [pair, floor] = [median(pairLengths), median(floorLengths)];
  return `Your pair: ${pair.toFixed(1)} ms a frame, ${(floor / pair).toFixed(2)} times the floor (the pass-through ` +
         `pair, ${floor.toFixed(1)} ms a frame): medians of ${pairLengths.length} and ${floorLengths.length} frames ` +
         'drawn in turns.';
}
