// One run of the program, inside its frame: starts the module when the page
// says so, and from then on is the only thing that touches the module, its
// file system and its canvas. The page talks to it by messages alone (see
// run.js), so that the frame may live in a process of its own, and a pair
// that never finishes a frame holds up only this frame.
import { Clock } from './clock.js';

(() => {
  const canvas = document.getElementById('canvas');
  const logReadMs = 250;
  // The page's window, and its origin once it has spoken.
  const page = window.parent;
  let pageOrigin = null;
  let instance = null;
  let timer = null;
  let clock = new Clock();
  // What waits for the next frame drawn: pictures and stills asked for.
  let onNextFrame = [];
  let logRead = 0;
  const logText = new TextDecoder();

  function tell(event, detail) {
    if (pageOrigin) page.postMessage({ from: 'quorvel-run', event, detail }, pageOrigin);
  }

  // ---- Start ----------------------------------------------------------------

  // The user's stages, the sun's light and the sky, and how the clock runs
  // go in before the program starts.
  async function start({ stages, light, sky, clock: settings }) {
    canvas.addEventListener('webglcontextlost', contextLost);
    canvas.addEventListener('webglcontextrestored', () => tell('restored'));
    try {
      instance = await window.Quorvel({ canvas, onBuild: (report) => tell('build', report), onFrame: frameShown });
    } catch (error) {
      tell('failed', String(error));
      return;
    }
    for (const [stage, text] of Object.entries(stages)) writeStage(stage, text);
    if (light) instance.setLight(...light);
    if (sky) instance.setSky(...sky);
    clock = new Clock(settings);
    // The shipped stages that the page did not give, as the program reads them.
    const shipped = ['Quorvel.vert', 'Quorvel.frag'].filter((stage) => !(stage in stages));
    tell('started', {
      stages: Object.fromEntries(shipped.map((stage) => [stage, instance.FS.readFile(stage, { encoding: 'utf8' })])),
    });
    followTitle();
    const poll = setInterval(readLog, logReadMs);
    let status;
    try {
      status = await instance.ccall('main', 'number', [], [], { async: true });
    } catch (error) {
      status = 1;
      tell('stopped', String(error));
    }
    clearInterval(poll);
    readLog();
    tell('ended', status);
  }

  // The browser gives a lost context back only to a page that asked for it.
  function contextLost(event) {
    event.preventDefault();
    if (instance) instance.closeRequested = true;
    tell('lost');
  }

  // The program sets the frame's title about once a second once it draws.
  function followTitle() {
    const title = document.querySelector('title');
    new MutationObserver(() => tell('title', document.title)).observe(title, {
      childList: true,
      characterData: true,
      subtree: true,
    });
  }

  // ---- Each frame -------------------------------------------------------------

  // Told in the task that drew the frame, while the canvas's drawing buffer
  // still holds it: pictures and stills are taken here.
  let clocked = false;
  function frameShown() {
    const time = performance.now();
    instance.setTime(clock.tick(time));
    if (instance.pairHasClock() !== clocked) {
      clocked = !clocked;
      tell('clocked', clocked);
    }
    tell('frame', { time, gpuMs: timeGpu(), size: [canvas.width, canvas.height], clock: clock.time });
    const waiting = onNextFrame;
    onNextFrame = [];
    for (const taken of waiting) taken();
  }

  // The GPU's time for the frames, where the browser offers a timer query: a
  // query runs from one frame's end to the next's and is read once the GPU
  // has its answer, a frame or two later. Gives the time of the latest
  // frame answered, if any. The context is the program's, asked for once it
  // has made it: asked before, the canvas would make one of its own kind.
  function timeGpu() {
    if (!timer) {
      const gl = canvas.getContext('webgl');
      timer = { gl, query: gl.getExtension('EXT_disjoint_timer_query'), pending: [] };
      tell('timer', Boolean(timer.query));
    }
    const { gl, query: ext, pending } = timer;
    if (!ext) return undefined;
    if (timer.current) {
      ext.endQueryEXT(ext.TIME_ELAPSED_EXT);
      pending.push(timer.current);
    }
    timer.current = ext.createQueryEXT();
    ext.beginQueryEXT(ext.TIME_ELAPSED_EXT, timer.current);
    let gpuMs;
    while (pending.length && ext.getQueryObjectEXT(pending[0], ext.QUERY_RESULT_AVAILABLE_EXT)) {
      const done = pending.shift();
      if (!gl.getParameter(ext.GPU_DISJOINT_EXT)) gpuMs = ext.getQueryObjectEXT(done, ext.QUERY_RESULT_EXT) / 1e6;
      ext.deleteQueryEXT(done);
    }
    return gpuMs;
  }

  // The log's new part since the last read, decoded as one stream: a
  // character split between two reads comes out whole.
  function readLog() {
    let size;
    try {
      size = instance.FS.stat('logfile.txt').size;
    } catch {
      // No log yet.
      return;
    }
    if (size <= logRead) return;
    const bytes = new Uint8Array(size - logRead);
    const stream = instance.FS.open('logfile.txt', 'r');
    instance.FS.read(stream, bytes, 0, bytes.length, logRead);
    instance.FS.close(stream);
    logRead = size;
    tell('log', { text: logText.decode(bytes, { stream: true }), size });
  }

  // A stage is written beside its file and renamed over it, as editors save,
  // so that every write is a new file to the program: the clock of the
  // browser's file system has whole seconds, in which two writes of one size
  // would look alike and the later one would never be built.
  function writeStage(stage, text) {
    instance.FS.writeFile(`${stage}.new`, text);
    instance.FS.rename(`${stage}.new`, stage);
  }

  // `take` runs in the task that drew the next frame, while the canvas's
  // drawing buffer still holds it.
  const nextFrame = (take) =>
    new Promise((resolve, reject) => {
      onNextFrame.push(() => {
        try {
          resolve(take());
        } catch (error) {
          reject(error);
        }
      });
    });

  // ---- What the page asks -------------------------------------------------

  const asked = {
    // Answered at once: the run's end is told as an event.
    start: (args) => {
      start(args);
    },
    write: ({ stages }) => {
      for (const [stage, text] of Object.entries(stages)) writeStage(stage, text);
    },
    // Gives the context back, so that the browser does not keep it until the
    // frame is collected: browsers hold only so many.
    retire: () => {
      if (instance) instance.closeRequested = true;
      canvas.getContext('webgl')?.getExtension('WEBGL_lose_context')?.loseContext();
    },
    turn: ({ x, y }) => instance.setTurn(x, y),
    turned: () => instance.turn(),
    light: ({ light }) => instance.setLight(...light),
    sky: ({ sky }) => instance.setSky(...sky),
    // The clock's time goes to the program at once, for the next frame.
    clock: (settings) => {
      const set = clock.set(settings);
      instance.setTime(set.time);
      return set;
    },
    // The next frame drawn, as a PNG file and as pixels for a film.
    picture: () => nextFrame(() => new Promise((resolve) => canvas.toBlob(resolve, 'image/png'))),
    still: () => nextFrame(() => createImageBitmap(canvas)),
    // Keeps this frame's thread busy, for the page to see whether it shares it.
    busy: ({ ms }) => {
      for (const end = performance.now() + ms; performance.now() < end; );
    },
  };

  // ---- The sun over the picture ------------------------------------------

  // A drag with Shift held, or with the right button, points at where the
  // sun should stand; the program never sees it, so the left drag still
  // turns the cloud. Heard on the window before the program's own
  // listeners, which it adds as it starts.
  let pointingSun = false;
  const sunPointer = (event) => {
    const starts = event.type === 'mousedown' && (event.button === 2 || (event.button === 0 && event.shiftKey));
    if (!pointingSun && !starts) return;
    event.stopImmediatePropagation();
    event.preventDefault();
    pointingSun = event.type !== 'mouseup';
    const box = canvas.getBoundingClientRect();
    tell('sun', { x: event.clientX - box.left, y: event.clientY - box.top });
  };
  for (const type of ['mousedown', 'mousemove', 'mouseup']) window.addEventListener(type, sunPointer, true);
  canvas.addEventListener('contextmenu', (event) => event.preventDefault());

  window.addEventListener('message', async (message) => {
    const { to, id, op, args } = message.data ?? {};
    if (to !== 'quorvel-run' || message.source !== page) return;
    pageOrigin ??= message.origin;
    if (message.origin !== pageOrigin) return;
    let reply;
    try {
      reply = { value: await asked[op](args ?? {}) };
    } catch (error) {
      reply = { error: String(error?.message ?? error) };
    }
    if (id !== undefined) page.postMessage({ from: 'quorvel-run', reply: id, ...reply }, pageOrigin);
  });
})();
