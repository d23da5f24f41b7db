// Films of a run at exact steps: one turn of the cloud about the vertical
// axis, a stretch of its pair's clock, or both, each frame at its own turn
// and time, never the wall clock's. The turn is set, not dragged, so every
// frame shows the cloud at rest whatever the drag speed, and each frame
// goes into the film at its own time, so the film runs at its own rate
// whatever time the machine took.
export const filmSteps = 30;
export const filmFrameMicroseconds = 100000;
// A stretch of the clock, in its seconds.
export const filmSeconds = 30;

// Each frame's turn, in degrees from where the cloud stands, and its time
// on the clock, in seconds from where the clock stands.
export function filmPlan(kind, { steps = filmSteps, seconds = filmSeconds } = {}) {
  return Array.from({ length: steps }, (_, step) => ({
    turn: kind === 'clock' ? 0 : (360 * step) / steps,
    time: kind === 'turn' ? 0 : (seconds * step) / steps,
  }));
}

// Films the run through `plan`, each frame handed to every sink's
// `add(still, step)`, and gives what their `finish()` make; the turn and
// the clock are put back after. `progress(step, steps)` is told before each
// frame, and `stopped()` is asked: a film that the user stops ends with an
// error. `flush` brings the user's edits in first.
export async function film(run, { plan, sinks, progress, stopped, flush }) {
  await flush();
  const release = run.hold('recording');
  if (!release) return null;
  const turned = await run.ask('turned');
  const clock = await run.ask('clock', {});
  try {
    for (const [step, { turn, time }] of plan.entries()) {
      if (stopped()) throw new Error('you stopped it');
      progress(step, plan.length);
      await run.ask('turn', { x: turned.x, y: turned.y + turn });
      await run.ask('clock', { time: clock.time + time, playing: false });
      const still = await run.ask('still');
      for (const sink of sinks) await sink.add(still, step);
      still.close?.();
    }
    return await Promise.all(sinks.map((sink) => sink.finish()));
  } finally {
    await run.ask('turn', turned).catch(() => {});
    await run.ask('clock', clock).catch(() => {});
    release();
  }
}
