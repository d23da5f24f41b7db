// The page around the program: each run in a frame of its own, the pair's
// two stages in editors, the log as it grows, and a link that carries the
// pair. A frame removed takes with it everything that the module and its
// runtime hung on its window and document, and its GL context is given back
// first, so that no run outlives the next one. What the page decides
// without the DOM lies in the modules beside this one.
import { describeBuild } from './build.js';
import { createEditor, lockEditor, markLines, setText, textOf } from './editor.js';
import { addressLimit, linkFor, linkPrefix, pairOf, stageLimit } from './link.js';
import { FrameCost } from './frame_cost.js';
import { LogTail } from './log.js';
import { frameLengths, measuredSentence, phases } from './measure.js';
import { createNumbers } from './number_panel.js';
import { ArrayBufferTarget, Muxer } from 'webm-muxer';
import { pairSentence, stages, stagesOf } from './stages.js';
import floorFragment from '../../shaders/floor/Quorvel.frag';
import floorVertex from '../../shaders/floor/Quorvel.vert';

const $ = (id) => document.getElementById(id);
// A pause this long in typing rebuilds the pair.
const typingPauseMs = 500;
// A build that has not reported by then no longer holds back the next
// write of the pair.
const buildLimitMs = 10000;
const logReadMs = 250;

// The user's own stages: { text, name, edited } by stage file name; the
// shipped ones lie in the module's file system.
let ownPair = {};
// The user's stages as the running program last built them, { name,
// edited } by stage: what the page says runs, whatever the last edit did.
let builtOwn = {};
// The running pair came with the page's address.
let linkedPair = false;
// A pair that came with the address and waits in the editors for the user
// to run it: { text by stage file name }, or null.
let waiting = null;
// Why the page did not take the pair that its address holds, or ''.
let linkNote = '';
// The address whose pair the page took last, so that each is followed once.
let followedHash = '';
let shippedPairMissing = '';
// The run in progress or last ended: { frame, canvas, instance, poll, lost }.
let run = null;
const editors = {};
let numbers = null;
// Pictures saved from the page so far, to number their files.
let picturesSaved = 0;
// The log read so far, and its size in bytes: the next read starts there.
let log = new LogTail();
let logSize = 0;
// Frames shown on the page, all runs together: scripts wait on the count
// that <body> carries.
let framesShown = 0;

function setState(state, status) {
  document.body.dataset.state = state;
  if (status === undefined) delete document.body.dataset.status;
  else document.body.dataset.status = String(status);
}

function say(runText, message = '') {
  $('run').textContent = runText;
  $('message').textContent = message;
}

// Ends with a state of its own where no run can start at all.
function nothingRuns(status, message) {
  setState('ended', status);
  say('Nothing runs.', message);
}

// ---- The log -------------------------------------------------------------

function resetLog() {
  log = new LogTail();
  logSize = 0;
  showLog();
}

// Reads what the program added to its log since the last read: only the
// new part is read, kept and shown.
function readLog(current) {
  const FS = current.instance.FS;
  let size;
  try {
    size = FS.stat('logfile.txt').size;
  } catch (missing) {
    return;
  }
  if (size < logSize) resetLog();
  if (size === logSize) return;
  const bytes = new Uint8Array(size - logSize);
  const stream = FS.open('logfile.txt', 'r');
  FS.read(stream, bytes, 0, bytes.length, logSize);
  FS.close(stream);
  logSize = size;
  log.add(new TextDecoder().decode(bytes));
  showLog();
}

function showLog() {
  const shown = $('log');
  const following = shown.scrollTop + shown.clientHeight >= shown.scrollHeight - 4;
  shown.textContent = log.tail;
  if (following) shown.scrollTop = shown.scrollHeight;
  $('left-out').hidden = log.leftOut <= 0;
  $('left-out').textContent = `The log's first ${log.leftOut} lines are left out here; the download has all ` +
                              `${log.lines} (${Math.round(logSize / 1024)} kB).`;
}

// The download is made when it is asked for: the log may be megabytes.
function offerLog() {
  const link = $('download');
  if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
  link.href = URL.createObjectURL(new Blob(log.chunks, { type: 'text/plain;charset=utf-8' }));
}

// ---- What a build of the pair gave ----------------------------------------

// The program reports each build as it ends: at start-up and after each
// edit that it noticed.
function buildReported(current, report) {
  if (run !== current) return;
  if (current.busy) {
    deliver(current, 'build', report);
    return;
  }
  const { failed, text, marks } = describeBuild(report, {
    running: document.body.dataset.state === 'running',
    edited: writeEdits.awaited,
    linesAhead: current.instance?.linesAhead,
  });
  writeEdits.awaited = false;
  for (const stage of stages) markLines(editors[stage], marks[stage] ?? []);
  $('build').classList.toggle('failed', failed);
  $('build').textContent = text;
  if (report.failure === 'none') {
    builtOwn = namesOf(ownPair);
    describePair();
  }
  // Last, as it may start the build of a stage edited meanwhile, whose
  // result the next report tells.
  buildDone(current);
}

const namesOf = (pair) => Object.fromEntries(Object.entries(pair).map(([stage, { name, edited }]) => [stage,
  { name, edited }]));

function frameShown(current) {
  if (run !== current) return;
  document.body.dataset.frames = String(++framesShown);
  const now = performance.now();
  current.cost.add(now, timeGpu(current));
  if (current.pictureWanted) savePictureOf(current);
  if (current.busy) deliver(current, 'frame', now);
}

// The GPU's time for the frames, where the browser offers a timer query: a
// query runs from one frame's end to the next's and is read once the GPU
// has its answer, a frame or two later. Gives the time of the latest
// frame answered, if any. The context is the program's, asked for once it
// has made it: asked before, the canvas would make one of its own kind.
function timeGpu(current) {
  if (current.timer === undefined) {
    current.gl = current.canvas.getContext('webgl');
    current.timer = current.gl.getExtension('EXT_disjoint_timer_query');
    current.queries = [];
  }
  const { timer, gl } = current;
  if (!timer) return undefined;
  if (current.query) {
    timer.endQueryEXT(timer.TIME_ELAPSED_EXT);
    current.queries.push(current.query);
  }
  current.query = timer.createQueryEXT();
  timer.beginQueryEXT(timer.TIME_ELAPSED_EXT, current.query);
  let gpuMs;
  while (current.queries.length && timer.getQueryObjectEXT(current.queries[0], timer.QUERY_RESULT_AVAILABLE_EXT)) {
    const query = current.queries.shift();
    if (!gl.getParameter(timer.GPU_DISJOINT_EXT)) gpuMs = timer.getQueryObjectEXT(query, timer.QUERY_RESULT_EXT) / 1e6;
    timer.deleteQueryEXT(query);
  }
  return gpuMs;
}

// ---- Runs ----------------------------------------------------------------

// Gives the run's context back and removes its frame; whatever the run was
// still waiting for then finds that it is no longer the run.
function retire() {
  if (!run) return;
  const old = run;
  run = null;
  stopBusy(old, 'the run was replaced');
  clearTimeout(old.building);
  delete document.body.dataset.building;
  clearInterval(old.poll);
  old.titles?.disconnect();
  if (old.instance) old.instance.closeRequested = true;
  old.canvas?.getContext('webgl')?.getExtension('WEBGL_lose_context')?.loseContext();
  // A frame removed with its loads still going can outlive them (Firefox
  // keeps it for good): they are stopped first.
  old.frame.contentWindow?.stop();
  old.frame.remove();
}

function frameLoaded(frame) {
  return new Promise((resolve) => frame.addEventListener('load', resolve, { once: true }));
}

async function startRun() {
  retire();
  const current = { frame: document.createElement('iframe') };
  run = current;
  setState('starting');
  say('Starting.');
  $('restart').hidden = true;
  $('build').textContent = '';
  $('cost').textContent = '';
  resetLog();
  current.frame.title = 'Quorvel';
  current.frame.src = 'quorvel.html';
  $('stage').replaceChildren(current.frame);
  await frameLoaded(current.frame);
  if (run !== current) return;
  const frameWindow = current.frame.contentWindow;
  current.canvas = frameWindow.document.getElementById('canvas');
  current.canvas.addEventListener('webglcontextlost', (event) => contextLost(current, event));
  current.canvas.addEventListener('webglcontextrestored', () => {
    if (run === current) startRun();
  });
  try {
    current.instance = await frameWindow.Quorvel({
      canvas: current.canvas,
      onBuild: (report) => buildReported(current, report),
      onFrame: () => frameShown(current),
    });
  } catch (error) {
    if (run === current) nothingRuns('not-loaded', `The program could not be loaded: ${error}`);
    return;
  }
  if (run !== current) return;
  if (current.lost) {
    runEnded(current, 'context-lost');
    return;
  }
  preparePair(current.instance);
  current.cost = new FrameCost();
  followTitle(current, frameWindow.document);
  current.poll = setInterval(() => readLog(current), logReadMs);
  let status;
  try {
    status = await current.instance.ccall('main', 'number', [], [], { async: true });
  } catch (error) {
    status = 1;
    if (run === current) say('', `The program stopped on an error: ${error}`);
  }
  if (run === current) runEnded(current, current.lost ? 'context-lost' : status);
}

// The user's own stages go into the program's working directory before it
// starts; the editors show what it will read, unless a linked pair waits
// in them.
function preparePair(instance) {
  for (const stage of stages) {
    if (stage in ownPair) writeStage(instance.FS, stage, ownPair[stage].text);
  }
  showRunningPair();
}

// A stage is written beside its file and renamed over it, as editors save,
// so that every write is a new file to the program: the clock of the
// browser's file system has whole seconds, in which two writes of one size
// would look alike and the later one would never be built.
function writeStage(FS, stage, text) {
  FS.writeFile(`${stage}.new`, text);
  FS.rename(`${stage}.new`, stage);
}

function showRunningPair() {
  if (waiting || !run?.instance) return;
  showPair(Object.fromEntries(stages.map((stage) => [stage, run.instance.FS.readFile(stage, { encoding: 'utf8' })])));
}

// A pair comes into the editors.
function showPair(pair) {
  for (const stage of stages) {
    if (textOf(editors[stage]) !== pair[stage]) setText(editors[stage], pair[stage]);
  }
}

// The program sets its frame's title, about once a second once it draws:
// the page takes it over, and the first one says that the run draws.
function followTitle(current, frameDocument) {
  current.titles = new MutationObserver(() => {
    document.title = frameDocument.title;
    $('cost').textContent = current.cost.sentence(Boolean(current.timer));
    if (document.body.dataset.state !== 'starting') return;
    setState('running');
    say('Running.', $('message').textContent);
  });
  current.titles.observe(frameDocument.querySelector('title'), { childList: true, characterData: true, subtree: true });
}

function runEnded(current, status) {
  stopBusy(current, 'the run ended');
  clearInterval(current.poll);
  current.titles?.disconnect();
  readLog(current);
  setState('ended', status);
  const message = $('message').textContent;
  if (status === 'context-lost') {
    say('The browser took the GL context away and the run stopped; it starts again when the browser gives it back.',
        message);
  } else {
    say(`The run ended with status ${status}.`, message);
  }
  $('restart').hidden = false;
}

// The browser gives a lost context back only to a page that asked for it.
function contextLost(current, event) {
  if (run !== current) return;
  event.preventDefault();
  current.lost = true;
  if (current.instance) current.instance.closeRequested = true;
  setState('ended', 'context-lost');
  say('The browser took the GL context away; the run stops, and starts again when the browser gives it back.');
}

// Starts a run unless the browser cannot draw the pair that would run.
function start() {
  builtOwn = namesOf(ownPair);
  describePair();
  if (shippedPairMissing && !stages.every((stage) => stage in ownPair)) {
    retire();
    nothingRuns('webgl-lacks', shippedPairMissing);
    return;
  }
  startRun();
}

// ---- The pair ------------------------------------------------------------

function describePair() {
  const text = pairSentence(builtOwn, { linked: linkedPair, waiting: Boolean(waiting) });
  $('pairs').textContent = linkNote ? `${linkNote} ${text}` : text;
  $('run-linked').hidden = !waiting;
}

async function usePair(files) {
  const found = stagesOf(files.map((file) => file.name));
  if (found.refused) {
    $('pairs').textContent = found.refused;
    return;
  }
  ownPair = {};
  for (const [stage, index] of Object.entries(found.chosen)) {
    ownPair[stage] = { text: await files[index].text(), name: files[index].name };
  }
  leaveLink();
  start();
}

// An edit goes into the running program's working directory once typing
// pauses, a number's at once; the program notices the changed file and
// builds the pair again.
function edited(stage, text, immediate) {
  // A linked pair that waits is read and edited, never run, until asked.
  if (waiting) return;
  ownPair[stage] = { text, name: stage, edited: true };
  clearTimeout(edited.pending?.[stage]);
  if (immediate) writeEdits([stage]);
  else edited.pending = { ...edited.pending, [stage]: setTimeout(() => writeEdits([stage]), typingPauseMs) };
}

// The program builds one edit at a time: while it builds one, the newest
// text of each stage waits for it, so that a dragged slider never queues
// more than one build and ends on the value let go.
function writeEdits(stagesEdited) {
  // A measurement puts the pair back as the editors hold it when it ends;
  // a recording locks the editors.
  if (run?.busy) return;
  $('build').classList.remove('failed');
  if (document.body.dataset.state === 'ended') {
    $('build').textContent = 'Your edit runs at the next start.';
    return;
  }
  // A run still loading writes the pair as it starts.
  if (!run?.instance) return;
  const current = run;
  current.waitingStages ??= new Set();
  for (const stage of stagesEdited) current.waitingStages.add(stage);
  if (current.building) return;
  const FS = current.instance.FS;
  const changed = [...current.waitingStages].filter((stage) => FS.readFile(stage, { encoding: 'utf8' }) !==
                                                                ownPair[stage].text);
  current.waitingStages.clear();
  if (changed.length === 0) return;
  for (const stage of changed) writeStage(FS, stage, ownPair[stage].text);
  current.building = setTimeout(() => buildDone(current), buildLimitMs);
  // Scripts wait for the edits' builds to be over.
  document.body.dataset.building = '';
  writeEdits.awaited = true;
  $('build').textContent = 'Building your edit.';
}

function buildDone(current) {
  clearTimeout(current.building);
  current.building = null;
  delete document.body.dataset.building;
  if (current.waitingStages?.size) writeEdits([]);
}

function saveStage(stage) {
  download(new Blob([textOf(editors[stage])], { type: 'text/plain;charset=utf-8' }), stage);
}

// ---- Pictures -------------------------------------------------------------

// The canvas is read in the task that drew the frame, while its drawing
// buffer still holds it, at the backing store's size.
function savePicture() {
  if (document.body.dataset.state === 'running') run.pictureWanted = true;
}

function savePictureOf(current) {
  current.pictureWanted = false;
  current.canvas.toBlob((blob) => download(blob, `quorvel-${++picturesSaved}.png`), 'image/png');
}

// ---- How fast the pair is -------------------------------------------------

const floorPair = { 'Quorvel.vert': floorVertex, 'Quorvel.frag': floorFragment };
const measureRounds = 3;
// Each phase leaves out its first frames after a build, then takes at least
// this many and this long.
const settleFrames = 2;
const phaseFrames = 8;
const phaseMs = 1500;
const eventLimitMs = 30000;

// Times the running pair and the floor in turns, in this run, and says how
// they compare; the pair the editors hold is put back afterwards.
async function measurePair() {
  const current = beginBusy();
  if (!current) return;
  $('measured').textContent = 'Measuring: the picture turns to the floor and back a few times.';
  const sight = watchSight();
  const FS = current.instance.FS;
  const running = Object.fromEntries(stages.map((stage) => [stage, FS.readFile(stage, { encoding: 'utf8' })]));
  const lengths = { pair: [], floor: [] };
  let shown = 'pair';
  try {
    for (const phase of phases(measureRounds)) {
      if (phase !== shown) await buildForMeasure(current, phase === 'floor' ? floorPair : running);
      shown = phase;
      lengths[phase].push(...(await timedFrames(current)));
    }
    $('measured').textContent = measuredSentence(lengths.pair, lengths.floor, { unseen: sight.unseen });
  } catch (stopped) {
    $('measured').textContent = `The measurement stopped: ${stopped.message}.`;
  }
  sight.stop();
  const editorsHold = Object.fromEntries(stages.map((stage) => [stage, ownPair[stage]?.text ?? running[stage]]));
  if (run === current && shown === 'floor') await buildForMeasure(current, editorsHold).catch(() => {});
  endBusy(current);
}

// Brings the picture into view and tells whether it ever left it, or the
// page was hidden, until stopped.
function watchSight() {
  $('stage').scrollIntoView({ block: 'nearest' });
  const sight = { unseen: false };
  const observer = new IntersectionObserver(([entry]) => {
    sight.unseen ||= !entry.isIntersecting;
  });
  const hidden = () => {
    sight.unseen ||= document.hidden;
  };
  observer.observe($('stage'));
  document.addEventListener('visibilitychange', hidden);
  sight.stop = () => {
    observer.disconnect();
    document.removeEventListener('visibilitychange', hidden);
  };
  return sight;
}

async function buildForMeasure(current, pair) {
  for (const stage of stages) writeStage(current.instance.FS, stage, pair[stage]);
  const report = await nextEvent(current, 'build');
  if (report.failure !== 'none') throw new Error(`a build of the pair failed (${report.failure})`);
}

async function timedFrames(current) {
  const times = [];
  while (times.length <= settleFrames + phaseFrames || times.at(-1) - times[settleFrames] < phaseMs) {
    times.push(await nextEvent(current, 'frame'));
  }
  return frameLengths(times.slice(settleFrames));
}

// ---- Measuring and recording ----------------------------------------------

// Measure and Record a turn each hold the run for a while: they wait for
// its builds and frames one at a time, and the editors and numbers stay as
// they are meanwhile.
function beginBusy() {
  const current = run;
  if (document.body.dataset.state !== 'running' || current.busy) return null;
  current.busy = {};
  showBusy(true);
  return current;
}

function endBusy(current) {
  current.busy = null;
  if (!run?.busy) showBusy(false);
}

function showBusy(busy) {
  $('measure').disabled = $('record').disabled = busy;
  for (const stage of stages) lockEditor(editors[stage], busy);
  numbers.lock(busy);
}

// The next build report or frame time of a busy run.
function nextEvent(current, kind) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`no ${kind} came`)), eventLimitMs);
    const settled = (settle) => (value) => {
      clearTimeout(timer);
      settle(value);
    };
    current.busy.next = { kind, resolve: settled(resolve), reject: settled(reject) };
  });
}

function deliver(current, kind, value) {
  const { next } = current.busy;
  if (next?.kind !== kind) return;
  current.busy.next = null;
  next.resolve(value);
}

function stopBusy(current, why) {
  current.busy?.next?.reject(new Error(why));
}

// ---- A filmed turn ----------------------------------------------------------

// One turn about the vertical axis in steps of a short drag, each released
// before its frame is filmed, so that every frame shows the cloud at rest:
// 12 degrees a step (60 pixels at 0.2 degrees a pixel), as
// scripts/turntable films the desktop program. Each frame is encoded with
// its own time in the film, so the film runs at its own rate whatever time
// the machine took.
const turnSteps = 30;
const stepPixels = 60;
const filmFrameMicroseconds = 100000;
const filmCodec = { codec: 'vp8', bitrate: 4000000 };

// A browser records the film where its MediaRecorder writes WebM: its VP8
// encoder is then the one that WebCodecs offers. WebKitGTK offers WebCodecs
// without WebM recording, and asked to encode there it took the page down.
async function recordTurn() {
  const { width, height } = run?.canvas ?? {};
  const supported = window.MediaRecorder?.isTypeSupported('video/webm') && window.VideoEncoder &&
    (await VideoEncoder.isConfigSupported({ ...filmCodec, width, height }).then((answer) => answer.supported, () => false));
  if (!supported) {
    $('film').textContent = 'This browser cannot record a film of the canvas: it writes no WebM.';
    return;
  }
  const current = beginBusy();
  if (!current) return;
  const muxer = new Muxer({ target: new ArrayBufferTarget(), video: { codec: 'V_VP8', width, height,
    frameRate: 1e6 / filmFrameMicroseconds } });
  let failure = null;
  const encoder = new VideoEncoder({ output: (chunk, meta) => muxer.addVideoChunk(chunk, meta), error: (error) => {
    failure = error;
  } });
  encoder.configure({ ...filmCodec, width, height });
  try {
    for (let step = 0; step < turnSteps; ++step) {
      $('film').textContent = `Recording a turn: frame ${step + 1} of ${turnSteps}.`;
      if (step > 0) await turnOneStep(current);
      await filmOneFrame(current, encoder, step);
    }
    await encoder.flush();
    if (failure) throw failure;
    muxer.finalize();
    download(new Blob([muxer.target.buffer], { type: 'video/webm' }), 'quorvel-turn.webm');
    $('film').textContent = `Recorded a turn: ${turnSteps} frames at ${1e6 / filmFrameMicroseconds} frames a ` +
                            'second, saved as quorvel-turn.webm.';
  } catch (stopped) {
    $('film').textContent = `The recording stopped: ${stopped.message}.`;
  }
  if (encoder.state !== 'closed') encoder.close();
  endBusy(current);
}

// The program reads the pointer once a frame and a drag starts where the
// first frame with the button down finds it, so each move waits for one.
async function turnOneStep(current) {
  const y = 150;
  pointer(current, 'mousemove', 100, y);
  pointer(current, 'mousedown', 100, y);
  await nextEvent(current, 'frame');
  pointer(current, 'mousemove', 100 + stepPixels, y);
  await nextEvent(current, 'frame');
  pointer(current, 'mouseup', 100 + stepPixels, y);
  await nextEvent(current, 'frame');
}

function pointer(current, type, x, y) {
  const { MouseEvent } = current.frame.contentWindow;
  current.canvas.dispatchEvent(new MouseEvent(type, {
    bubbles: true, cancelable: true, button: 0, buttons: type === 'mouseup' ? 0 : 1, clientX: x, clientY: y,
  }));
}

// The frame after the release, at rest, taken in the task that drew it,
// while the canvas's drawing buffer still holds it.
async function filmOneFrame(current, encoder, step) {
  await nextEvent(current, 'frame');
  const frame = new VideoFrame(current.canvas, { timestamp: step * filmFrameMicroseconds,
    duration: filmFrameMicroseconds });
  encoder.encode(frame, { keyFrame: step === 0 });
  frame.close();
}

function download(blob, name) {
  const link = document.createElement('a');
  link.download = name;
  link.href = URL.createObjectURL(blob);
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

// ---- The link ------------------------------------------------------------

async function sharePair() {
  const pair = Object.fromEntries(stages.map((stage) => [stage, textOf(editors[stage])]));
  const link = await linkFor(pair);
  const build = $('build');
  build.classList.toggle('failed', !link.hash);
  if (link.refused === 'stage-too-large') {
    build.textContent = `A stage of ${link.size.toLocaleString('en')} characters is more than a link carries ` +
                        `(${stageLimit.toLocaleString('en')}): use "Save" for each stage instead.`;
  } else if (link.refused) {
    build.textContent = `This pair makes an address of ${link.size.toLocaleString('en')} characters, more than ` +
                        `browsers open (${addressLimit.toLocaleString('en')}): use "Save" for each stage instead.`;
  } else {
    history.replaceState(null, '', link.hash);
    followedHash = location.hash;
    build.textContent = 'The page\'s address now holds this pair: copy it from the address bar to share it.';
  }
}

const linkNotes = {
  'too-large': `The page's address holds more than the page takes (over ${stageLimit.toLocaleString('en')} ` +
               'characters a stage), so it was not read.',
  unreadable: 'The page\'s address holds no pair that it can read.',
};

// Takes the pair that the page's address holds into the editors to wait
// for the user, or, when the address holds none, leaves a pair that came
// with an earlier address. Says whether a run must start for it.
async function followAddress() {
  if (location.hash === followedHash) return false;
  const hash = location.hash;
  followedHash = hash;
  const found = await pairOf(hash, stages);
  // A newer address came while this one was read: it is followed instead.
  if (followedHash !== hash) return false;
  linkNote = linkNotes[found?.refused] ?? '';
  if (found?.pair) {
    waiting = found.pair;
    showPair(waiting);
    describePair();
    return false;
  }
  const linkedRuns = linkedPair;
  waiting = null;
  linkedPair = false;
  if (linkedRuns) ownPair = {};
  showRunningPair();
  describePair();
  return linkedRuns;
}

// The user asked for the linked pair that waits in the editors, as they
// now read.
function runLinkedPair() {
  ownPair = Object.fromEntries(stages.map((stage) => [stage, { text: textOf(editors[stage]), name: stage }]));
  waiting = null;
  linkedPair = true;
  linkNote = '';
  start();
}

// A pair chosen otherwise replaces the linked one, and the address no
// longer names it.
function leaveLink() {
  waiting = null;
  linkedPair = false;
  linkNote = '';
  if (location.hash.startsWith(linkPrefix)) history.replaceState(null, '', location.pathname + location.search);
  followedHash = location.hash;
}

// ---- Start ---------------------------------------------------------------

// What the browser lacks for WebGL or for the shipped pair, in words. The
// probe's context is given back at once: browsers keep only so many.
function browserLacks() {
  const gl = document.createElement('canvas').getContext('webgl');
  if (!gl) return { all: 'This browser offers no WebGL (or has it turned off), and Quorvel draws with it.' };
  const lacks = [];
  if (!gl.getExtension('EXT_frag_depth')) lacks.push('the EXT_frag_depth extension');
  if (gl.getParameter(gl.MAX_VERTEX_TEXTURE_IMAGE_UNITS) < 1) lacks.push('a texture unit in the vertex stage');
  if (gl.getShaderPrecisionFormat(gl.FRAGMENT_SHADER, gl.HIGH_FLOAT).precision === 0) {
    lacks.push('high precision in the fragment stage');
  }
  gl.getExtension('WEBGL_lose_context')?.loseContext();
  if (lacks.length === 0) return {};
  return { shipped: `This browser's WebGL lacks ${lacks.join(' and ')}, which the shipped shader pair needs; ` +
                    'a pair of your own that does without may still run.' };
}

function listen() {
  for (const stage of stages) {
    const section = document.querySelector(`[data-stage="${stage}"]`);
    editors[stage] = createEditor(section.querySelector('.editor'), (text, immediate) => edited(stage, text, immediate));
    section.querySelector('.save').addEventListener('click', () => saveStage(stage));
  }
  $('pair').addEventListener('change', (event) => {
    // Cleared at once, so that the same files chosen again count; the list
    // is live, so its files are taken first.
    usePair([...event.target.files]);
    event.target.value = '';
  });
  $('shipped').addEventListener('click', () => {
    ownPair = {};
    leaveLink();
    start();
  });
  $('run-linked').addEventListener('click', runLinkedPair);
  const follow = async () => {
    if (await followAddress()) start();
  };
  window.addEventListener('hashchange', follow);
  window.addEventListener('popstate', follow);
  $('restart').addEventListener('click', start);
  $('share').addEventListener('click', sharePair);
  $('measure').addEventListener('click', measurePair);
  $('save-picture').addEventListener('click', savePicture);
  $('record').addEventListener('click', recordTurn);
  numbers = createNumbers($('numbers'), editors);
  $('download').addEventListener('click', offerLog);
  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    document.body.classList.add('dropping');
  });
  document.addEventListener('dragleave', () => document.body.classList.remove('dropping'));
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    document.body.classList.remove('dropping');
    usePair([...event.dataTransfer.files]);
  });
}

async function main() {
  listen();
  if (location.protocol === 'file:') {
    nothingRuns('not-served', 'This page must come over HTTP: browsers do not load its program from a file. ' +
                              'Serve the folder (scripts/web --serve does) and open the address it prints.');
    return;
  }
  const lacks = browserLacks();
  if (lacks.all) {
    $('pairs').hidden = true;
    nothingRuns('no-webgl', lacks.all);
    return;
  }
  shippedPairMissing = lacks.shipped ?? '';
  await followAddress();
  start();
}

main();
