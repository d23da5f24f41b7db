// "Record a turn": one turn of the cloud about the vertical axis, a frame a
// step, each frame at its exact turn, as scripts/turntable films the
// desktop program. The turn is set, not dragged, so every frame shows the
// cloud at rest whatever the drag speed, and each frame is encoded with its
// own time in the film, so the film runs at its own rate whatever time the
// machine took.
export const turnSteps = 30;
export const filmFrameMicroseconds = 100000;

// The turns about the vertical axis, in degrees from where the cloud stands.
export function turnPlan(steps = turnSteps) {
  return Array.from({ length: steps }, (_, step) => (360 * step) / steps);
}

// Films the run through `plan`, each frame handed to `sink.add(still,
// step)`, and gives what `sink.finish()` makes; the turn is put back after.
// `progress(step, steps)` is told before each frame. `flush` brings the
// user's edits in first.
export async function filmTurn(run, { plan = turnPlan(), sink, progress, flush }) {
  await flush();
  const release = run.hold('recording');
  if (!release) return null;
  const from = await run.ask('turned');
  try {
    for (const [step, degrees] of plan.entries()) {
      progress(step, plan.length);
      await run.ask('turn', { x: from.x, y: from.y + degrees });
      await sink.add(await run.ask('still'), step);
    }
    return await sink.finish();
  } finally {
    await run.ask('turn', from).catch(() => {});
    release();
  }
}
