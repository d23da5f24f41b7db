// The page around the program: each run in a frame of its own (run.js),
// the pair's two stages in editors, and the features that take a run:
// edits, the log, the frame's cost, Measure, pictures, films, links and the
// pair's numbers. This module keeps which pair runs, the buttons and the
// wiring; what the page decides lies in the modules it wires.
import { createEdits } from './edits.js';
import { createEditor, lockEditor, markLines, setText, textOf } from './editor.js';
import { followFrameCost } from './frame_cost.js';
import { webmSink, webmWritable } from './films.js';
import { createLinks } from './links.js';
import { createLogPane } from './log_pane.js';
import { measurePair } from './measure.js';
import { createNumbers } from './number_panel.js';
import { createPictures } from './pictures.js';
import { filmTurn, turnSteps, filmFrameMicroseconds } from './recording.js';
import { Run, runAddress } from './run.js';
import { pairSentence, stages, stagesOf } from './stages.js';
import floorFragment from '../../shaders/floor/Quorvel.frag';
import floorVertex from '../../shaders/floor/Quorvel.vert';

const $ = (id) => document.getElementById(id);
const floorPair = { 'Quorvel.vert': floorVertex, 'Quorvel.frag': floorFragment };

// The page's state for scripts, mirrored to <body data-*> and never read
// back from there: the run's state and status, the frames shown by all runs
// together, whether an edit builds and which feature holds the run.
const page = { state: 'starting', status: undefined, frames: 0, building: false, held: null, message: '' };
// Which pair runs: the user's own stages ({ text, name, edited } by stage
// file name; the shipped ones lie in the program's files), what the
// running program last built of them, whether they came with the address,
// a linked pair waiting in the editors to be run, and why the address's
// pair was not taken.
const pair = { own: {}, built: {}, linked: false, waiting: null, note: '' };
let shippedMissing = '';
let run = null;
const editors = {};

function mirror(changes) {
  Object.assign(page, changes);
  const { dataset } = document.body;
  dataset.state = page.state;
  dataset.frames = String(page.frames);
  for (const [key, value] of [['status', page.status], ['building', page.building ? '' : undefined],
    ['held', page.held ?? undefined], ['sharesPage', page.sharesPage ?? undefined]]) {
    if (value === undefined) delete dataset[key];
    else dataset[key] = String(value);
  }
}

function say(runText, message = page.message) {
  page.message = message;
  $('run').textContent = runText;
  $('message').textContent = message;
}

// Ends with a state of its own where no run can start at all.
function nothingRuns(status, message) {
  mirror({ state: 'ended', status });
  say('Nothing runs.', message);
}

const edits = createEdits({
  show({ failed, text, marks }) {
    if (marks) for (const stage of stages) markLines(editors[stage], marks[stage] ?? []);
    $('build').classList.toggle('failed', failed);
    $('build').textContent = text;
  },
  building: (building) => mirror({ building }),
});
const logPane = createLogPane({ shown: $('log'), leftOut: $('left-out'), download: $('download') });
const pictures = createPictures({ say: (text) => ($('film').textContent = text), download });
const links = createLinks({
  pair, stages, editorPair, showPair, showRunningPair, describe: describePair,
  say(text, failed) {
    $('build').classList.toggle('failed', failed);
    $('build').textContent = text;
  },
});

// ---- Runs ------------------------------------------------------------------

// Starts a run of the pair, unless the browser cannot draw it.
function start() {
  pair.built = namesOf(pair.own);
  describePair();
  // The run that goes is no longer the page's as it goes.
  const retired = run;
  run = null;
  retired?.retire();
  if (shippedMissing && !stages.every((stage) => stage in pair.own)) {
    nothingRuns('webgl-lacks', shippedMissing);
    return;
  }
  const current = new Run(Object.fromEntries(Object.entries(pair.own).map(([stage, { text }]) => [stage, text])));
  run = current;
  const on = (kind, heard) => current.addEventListener(kind, ({ detail }) => run === current && heard(detail));
  on('state', (detail) => runState(current, detail));
  on('started', ({ stages: texts }) => showRunningPair(texts));
  on('build', (report) => {
    if (report.failure !== 'none' || current.holder) return;
    pair.built = namesOf(pair.own);
    describePair();
  });
  on('frame', () => mirror({ frames: page.frames + 1 }));
  on('title', (title) => (document.title = title));
  on('restored', start);
  on('stopped', (error) => say('', `The program stopped on an error: ${error}`));
  on('held', (holder) => showHeld(holder));
  edits.attach(current);
  logPane.attach(current);
  pictures.attach(current);
  followFrameCost(current, (text) => ($('cost').textContent = text));
  mirror({ state: 'starting', status: undefined, held: null });
  say('Starting.');
  $('restart').hidden = true;
  $('build').textContent = '';
  current.start($('stage'), runAddress(location.href, document.querySelector('meta[name=quorvel-runs]')?.content));
}

function runState(current, { state, status }) {
  mirror({ state, status });
  if (state === 'running') say('Running.');
  if (state === 'running') askSharing();
  if (state !== 'ended') return;
  if (status === 'not-loaded') {
    say('Nothing runs.', `The program could not be loaded: ${current.failure}`);
    return;
  }
  say(status === 'context-lost' ? 'The browser took the GL context away and the run stopped; it starts again ' +
      'when the browser gives it back.' : `The run ended with status ${status}.`);
  $('restart').hidden = false;
}

// A feature holds the run: the editors, numbers and the features that hold
// it stay as they are meanwhile.
function showHeld(holder) {
  mirror({ held: holder });
  $('measure').disabled = $('record').disabled = Boolean(holder);
  for (const stage of stages) lockEditor(editors[stage], Boolean(holder));
  numbers.lock(Boolean(holder));
}

// ---- The pair ----------------------------------------------------------------

const namesOf = (own) => Object.fromEntries(Object.entries(own).map(([stage, { name, edited }]) => [stage,
  { name, edited }]));

function editorPair() {
  return Object.fromEntries(stages.map((stage) => [stage, textOf(editors[stage])]));
}

function describePair() {
  const text = pairSentence(pair.built, { linked: pair.linked, waiting: Boolean(pair.waiting),
    sharesPage: page.sharesPage });
  $('pairs').textContent = pair.note ? `${pair.note} ${text}` : text;
  $('run-linked').hidden = !pair.waiting;
}

// Whether runs share the page's process, asked of a running run once a
// linked pair waits, so that the page says so before the user runs it.
async function askSharing() {
  if (!pair.waiting || page.sharesPage !== undefined || run?.state !== 'running') return;
  page.sharesPage = null;
  mirror({ sharesPage: await run.sharesPage().catch(() => undefined) });
  describePair();
}

// The editors show the pair the program runs, unless a linked pair waits
// in them.
function showRunningPair(texts = run?.written) {
  if (!pair.waiting && texts && Object.keys(texts).length) showPair(texts);
}

// A pair comes into the editors.
function showPair(texts) {
  for (const stage of stages) {
    if (textOf(editors[stage]) !== texts[stage]) setText(editors[stage], texts[stage]);
  }
}

async function usePair(files) {
  const found = stagesOf(files.map((file) => file.name));
  if (found.refused) {
    $('pairs').textContent = found.refused;
    return;
  }
  pair.own = {};
  for (const [stage, index] of Object.entries(found.chosen)) {
    pair.own[stage] = { text: await files[index].text(), name: files[index].name };
  }
  edits.forget();
  links.leave();
  start();
}

// An edit goes to the running program; a linked pair that waits is read and
// edited, never run, until asked.
function edited(stage, text, immediate) {
  if (pair.waiting) return;
  pair.own[stage] = { text, name: stage, edited: true };
  edits.edited(stage, text, immediate);
}

function saveStage(stage) {
  download(new Blob([textOf(editors[stage])], { type: 'text/plain;charset=utf-8' }), stage);
}

function download(blob, name) {
  const link = document.createElement('a');
  link.download = name;
  link.href = URL.createObjectURL(blob);
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

// ---- Measure and films ---------------------------------------------------------

async function measure() {
  if (run?.state !== 'running' || run.holder) return;
  $('measured').textContent = 'Measuring: the picture turns to the floor and back a few times.';
  const sight = watchSight($('stage'));
  const said = await measurePair(run, { floor: floorPair, flush: edits.flush, sight });
  sight.stop();
  if (said) $('measured').textContent = said;
}

// Brings the picture into view and tells whether it ever left it, or the
// page was hidden, until stopped: a browser slows what it does not show.
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

async function record() {
  if (run?.state !== 'running' || run.holder) return;
  const [width, height] = run.size;
  if (!(await webmWritable(width, height))) {
    $('film').textContent = 'This browser cannot record a film of the canvas: it writes no WebM.';
    return;
  }
  const sink = webmSink(width, height);
  const progress = (step, steps) => ($('film').textContent = `Recording a turn: frame ${step + 1} of ${steps}.`);
  try {
    const film = await filmTurn(run, { sink, progress, flush: edits.flush });
    if (!film) return;
    download(film, 'quorvel-turn.webm');
    $('film').textContent = `Recorded a turn: ${turnSteps} frames at ${1e6 / filmFrameMicroseconds} frames a ` +
                            'second, saved as quorvel-turn.webm.';
  } catch (stopped) {
    $('film').textContent = `The recording stopped: ${stopped.message}.`;
  } finally {
    sink.close();
  }
}

let numbers = null;

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
    pair.own = {};
    edits.forget();
    links.leave();
    start();
  });
  $('run-linked').addEventListener('click', () => {
    links.runLinked();
    start();
  });
  const follow = async () => {
    if (await links.follow()) start();
    askSharing();
  };
  window.addEventListener('hashchange', follow);
  window.addEventListener('popstate', follow);
  $('restart').addEventListener('click', start);
  $('share').addEventListener('click', links.share);
  $('measure').addEventListener('click', measure);
  $('save-picture').addEventListener('click', pictures.save);
  $('record').addEventListener('click', record);
  numbers = createNumbers($('numbers'), editors);
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
  // What the page offers scripts beside its state on <body>: the editors'
  // whole texts and the size of the canvas's backing store.
  window.quorvel = { editorText: (stage) => textOf(editors[stage]), canvasSize: () => run?.size ?? null };
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
  shippedMissing = lacks.shipped ?? '';
  await links.follow();
  start();
}

main();
