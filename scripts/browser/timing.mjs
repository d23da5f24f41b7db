export const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Asks `probe` every 100 ms until it gives something truthy, and gives that;
// gives what it last gave once `limitMs` has passed.
export async function pollUntil(limitMs, probe) {
  const deadline = Date.now() + limitMs;
  for (;;) {
    const found = await probe();
    if (found || Date.now() >= deadline) return found;
    await pause(100);
  }
}
