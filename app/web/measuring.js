// "Measure": the pair that draws timed against the floor in this run, in
// turns (measure.js), with the picture kept in view, as a browser slows
// what it does not show.
import floorFragment from '../../shaders/floor/Quorvel.frag';
import floorVertex from '../../shaders/floor/Quorvel.vert';
import { measurePair } from './measure.js';

// The pass-through pair that every pair is timed against.
const floor = { 'Quorvel.vert': floorVertex, 'Quorvel.frag': floorFragment };

export function createMeasuring({ button, said, picture, flush }) {
  let run = null;
  button.addEventListener('click', async () => {
    const current = run;
    if (current?.state !== 'running' || current.holder) return;
    said.textContent = 'Measuring: the picture turns to the floor and back a few times.';
    const sight = watchSight(picture);
    const sentence = await measurePair(current, { floor, flush, sight });
    sight.stop();
    if (sentence) said.textContent = sentence;
  });
  return {
    attach(next) {
      run = next;
    },
  };
}

// Brings the picture into view and tells whether it ever left it, or the
// page was hidden, until stopped.
function watchSight(element) {
  element.scrollIntoView({ block: 'nearest' });
  let unseen = false;
  const observer = new IntersectionObserver(([entry]) => {
    unseen ||= !entry.isIntersecting;
  });
  const hidden = () => {
    unseen ||= document.hidden;
  };
  observer.observe(element);
  document.addEventListener('visibilitychange', hidden);
  return {
    unseen: () => unseen,
    stop() {
      observer.disconnect();
      document.removeEventListener('visibilitychange', hidden);
    },
  };
}
