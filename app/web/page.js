// The page around the program: each run in a frame of its own (run.js),
// the pair's two stages in editors, and the features that take a run:
// edits, the log, the frame's cost, Measure, pictures, films, links, the
// pair's numbers, the sun and the clock. This module keeps which pair runs,
// the page's state and the wiring; what the page decides lies in the
// modules it wires.
import { browserLacks } from './browser_lacks.js';
import { followChosenFiles } from './chosen_files.js';
import { download } from './download.js';
import { createEdits } from './edits.js';
import { followFrameCost } from './frame_cost.js';
import { createLightPanel } from './light_panel.js';
import { createLinks } from './links.js';
import { createLogPane } from './log_pane.js';
import { createMeasuring } from './measuring.js';
import { createNumbers } from './number_panel.js';
import { createPictures } from './pictures.js';
import { createRecorder } from './recorder.js';
import { Run, runAddress } from './run.js';
import { createStageEditors } from './stage_editors.js';
import { pairSentence, stages, stagesOf } from './stages.js';
import { defaultSun } from './sun.js';

const $ = (id) => document.getElementById(id);

// The page's state for scripts, mirrored to <body data-*> and never read
// back from there: the run's state and status, the frames shown by all runs
// together, whether an edit is on its way, which feature holds the run, and
// whether a run shares the page's process.
const page = { state: 'starting', status: undefined, frames: 0, building: false, held: null, message: '' };
// Which pair runs: the user's own stages ({ text, name, edited } by stage
// file name; the shipped ones lie in the program's files), what the
// running program last built of them, whether they came with the address,
// a linked pair waiting in the editors to be run, and why the address's
// pair was not taken.
const pair = { own: {}, built: {}, linked: false, waiting: null, note: '' };
let shippedMissing = '';
let run = null;
let editors = null;

// Writes only what changed, as the page's own state tells: a frame changes
// the count alone, and scripts that watch <body> hear of nothing else.
function mirror(changes) {
  const { dataset } = document.body;
  for (const [key, value] of Object.entries(changes)) {
    if (page[key] === value) continue;
    page[key] = value;
    const shown = key === 'building' ? (value ? '' : null) : value;
    if (shown === undefined || shown === null) delete dataset[key];
    else dataset[key] = String(shown);
  }
}

function say(runText, message = page.message) {
  page.message = message;
  $('run').textContent = runText;
  $('message').textContent = message;
}

function sayBuild(text, failed) {
  $('build').classList.toggle('failed', failed);
  $('build').textContent = text;
}

// Ends with a state of its own where no run can start at all.
function nothingRuns(status, message) {
  mirror({ state: 'ended', status });
  say('Nothing runs.', message);
}

const edits = createEdits({
  show({ failed, text, marks }) {
    if (marks) editors.mark(marks);
    sayBuild(text, failed);
  },
  building: (building) => mirror({ building }),
});
const logPane = createLogPane({ shown: $('log'), leftOut: $('left-out'), download: $('download') });
const pictures = createPictures({ say: (text) => ($('film').textContent = text), download });
const measuring = createMeasuring({
  button: $('measure'),
  said: $('measured'),
  picture: $('stage'),
  flush: edits.flush,
});
const recorder = createRecorder($('films'), {
  picture: $('stage'),
  say: (text) => ($('film').textContent = text),
  download,
  flush: edits.flush,
});
const light = createLightPanel($('light'), $('sun'));
const links = createLinks({
  pair,
  stages,
  editorPair: () => editors.texts(),
  showPair: (texts) => editors.show(texts),
  showRunningPair,
  describe: describePair,
  settings: light.settings,
  take: light.take,
  say: sayBuild,
});
let numbers = null;

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
  const own = Object.fromEntries(Object.entries(pair.own).map(([stage, { text }]) => [stage, text]));
  const current = new Run(own, light.startWith());
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
  for (const feature of [edits, logPane, pictures, measuring, recorder, light]) feature.attach(current);
  followFrameCost(current, (text) => ($('cost').textContent = text));
  mirror({ state: 'starting', status: undefined, held: null });
  say('Starting.');
  $('restart').hidden = true;
  sayBuild('', false);
  current.start($('stage'), runAddress(location.href, document.querySelector('meta[name=quorvel-runs]')?.content));
}

function runState(current, { state, status }) {
  mirror({ state, status });
  if (state === 'running') {
    say('Running.');
    askSharing();
  }
  if (state !== 'ended') return;
  if (status === 'not-loaded') {
    say('Nothing runs.', `The program could not be loaded: ${current.failure}`);
    return;
  }
  const lost = 'The browser took the GL context away and the run stopped; it starts again when it gives it back.';
  say(status === 'context-lost' ? lost : `The run ended with status ${status}.`);
  $('restart').hidden = false;
}

// A feature holds the run: the editors, the panels and the features that
// hold it stay as they are meanwhile.
function showHeld(holder) {
  mirror({ held: holder });
  $('measure').disabled = $('films').querySelector('[name=record]').disabled = Boolean(holder);
  editors.lock(Boolean(holder));
  numbers.lock(Boolean(holder));
  light.lock(Boolean(holder));
}

// ---- The pair ----------------------------------------------------------------

const namesOf = (own) =>
  Object.fromEntries(Object.entries(own).map(([stage, { name, edited }]) => [stage, { name, edited }]));

function describePair() {
  const text = pairSentence(pair.built, {
    linked: pair.linked,
    waiting: Boolean(pair.waiting),
    sharesPage: page.sharesPage,
  });
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
  if (!pair.waiting && texts && Object.keys(texts).length) editors.show(texts);
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

// ---- Start ---------------------------------------------------------------

function listen() {
  editors = createStageEditors(stages, edited);
  followChosenFiles($('pair'), usePair);
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
  $('save-picture').addEventListener('click', pictures.save);
  numbers = createNumbers($('numbers'), editors.views, {
    reset: light.reset,
    preset: (look) => light.setSun(look.sun ?? defaultSun),
  });
}

async function main() {
  listen();
  // What the page offers scripts beside its state on <body>: the editors'
  // whole texts and the size of the canvas's backing store.
  window.quorvel = { editorText: editors.text, canvasSize: () => run?.size ?? null };
  if (location.protocol === 'file:') {
    nothingRuns(
      'not-served',
      'This page must come over HTTP: browsers do not load its program from a file. ' +
        'Serve the folder (scripts/web --serve does) and open the address it prints.',
    );
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
