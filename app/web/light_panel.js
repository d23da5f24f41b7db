// The sun and the clock as the page offers them (lil-gui): the sun's height
// and its direction around the cloud, a mark where it stands over the
// picture, which a drag with Shift or the right button moves; and, for a
// pair that declares `uniform float time`, its clock: play, pause, a step
// of a frame and a speed. The sky follows the sun. Each change reaches the
// running program for its next frame, with no rebuild; a new run starts
// with them.
import GUI from 'lil-gui';

import { aroundRange, defaultSun, heightRange, isDefault, lightOf, pointOf, skyOf, sunAt } from './sun.js';

// How long the sun's mark stays once it stops moving.
const markerMs = 1500;

// The panel goes in `container`; `marker` shows where the sun stands over
// the picture while it moves, and leaves the picture to itself after.
export function createLightPanel(container, marker) {
  const sun = { ...defaultSun };
  const clock = { playing: true, speed: 1, time: 0 };
  let run = null;
  let locked = false;
  const gui = new GUI({ container, title: 'The sun and the clock' });
  const sunFolder = gui.addFolder('Sun (or drag over the picture with Shift held)');
  const controls = [
    mark(sunFolder.add(sun, 'height', ...heightRange, 0.5).name('height (degrees)'), 'sun-height'),
    mark(sunFolder.add(sun, 'around', ...aroundRange, 1).name('around (degrees)'), 'sun-around'),
  ];
  for (const control of controls) control.onChange(() => sunMoved(true));
  const clockFolder = gui.addFolder('Clock');
  mark(clockFolder.add(clock, 'playing').name('plays'), 'clock-playing').onChange(() => clockSet({}));
  mark(clockFolder.add({ step: () => clockSet({ step: true }) }, 'step').name('step a frame'), 'clock-step');
  mark(clockFolder.add(clock, 'speed', 0, 4, 0.05).name('speed'), 'clock-speed').onChange(() => clockSet({}));
  const shownTime = mark(clockFolder.add(clock, 'time').name('seconds').disable(), 'clock-time');
  clockFolder.domElement.hidden = true;

  // The light and the sky go to the program for its next frame.
  // `marked` where the user moves the sun by hand: its mark shows where.
  function sunMoved(marked) {
    run?.ask('light', { light: lightOf(sun) }).catch(() => {});
    run?.ask('sky', { sky: skyOf(sun) }).catch(() => {});
    if (marked) showMarker();
    else marker.hidden = true;
  }

  function clockSet(settings) {
    if (locked) return;
    run?.ask('clock', { playing: clock.playing, speed: clock.speed, ...settings }).then(
      (set) => {
        Object.assign(clock, set);
        showAll();
      },
      () => {},
    );
  }

  function showAll() {
    for (const control of gui.controllersRecursive()) control.updateDisplay();
  }

  let markerShown = null;
  function showMarker() {
    const point = pointOf(sun);
    marker.hidden = !point;
    if (point) marker.style.transform = `translate(${point.x}px, ${point.y}px)`;
    clearTimeout(markerShown);
    markerShown = setTimeout(() => {
      marker.hidden = true;
    }, markerMs);
  }

  const setSun = (next, marked = false) => {
    Object.assign(sun, next);
    for (const control of controls) control.updateDisplay();
    sunMoved(marked);
  };

  return {
    // What the page's address carries.
    settings: () => ({
      sun: { height: sun.height, around: sun.around },
      clock: { speed: clock.speed, playing: clock.playing },
    }),
    // What a new run starts with: the default sun and sky cost it no call.
    startWith: () => ({
      light: isDefault(sun) ? null : lightOf(sun),
      sky: isDefault(sun) ? null : skyOf(sun),
      clock: { playing: clock.playing, speed: clock.speed },
    }),
    setSun,
    reset: () => setSun(defaultSun),
    // Settings that came with a link.
    take({ sun: linked, clock: clocked }) {
      if (linked) setSun(linked);
      if (clocked) Object.assign(clock, clocked);
      showAll();
    },
    attach(next) {
      run = next;
      clock.time = 0;
      const on = (kind, heard) => next.addEventListener(kind, ({ detail }) => run === next && heard(detail));
      on('sun', ({ x, y }) => !locked && setSun(sunAt(x, y), true));
      on('clocked', (declares) => {
        clockFolder.domElement.hidden = !declares;
      });
      on('title', () => {
        clock.time = Math.round(next.clock * 100) / 100;
        shownTime.updateDisplay();
      });
    },
    lock(busy) {
      locked = busy;
      container.inert = busy;
    },
  };
}

function mark(controller, name) {
  controller.domElement.dataset.setting = name;
  return controller;
}
