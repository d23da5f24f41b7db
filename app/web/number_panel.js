// The pair's numbers as a panel (lil-gui) beside the editors: a slider for
// each float, a colour picker and an intensity for each colour, a slider
// for each part of another vec3, with Reset and the presets above them.
// A move goes into the editors as an edit of the user's (`input.number`),
// which the page builds at once; the moves of one drag are one step of the
// editors' undo. Everything the panel shows it reads back from the editors'
// text after each change.
import GUI from 'lil-gui';

import { followEdits, moveNumbers, replaceText, textOf } from './editor.js';
import { PairNumbers, frameOf, hexOf, rgbOf, stepFor } from './pair_numbers.js';
import { presets } from './presets.js';

const parts = ['x', 'y', 'z'];

// The panel in `container` for the `editors` ({ stage: view }); lock(busy)
// holds it still while a measurement or a recording holds the run. `reset()`
// and `preset(look)` are told when the user asks for them, for what else a
// look holds (its sun).
export function createNumbers(container, editors, { reset = () => {}, preset = () => {} } = {}) {
  const pair = new PairNumbers(Object.keys(editors));
  const gui = new GUI({ container: container.querySelector('.panel'), title: "The pair's numbers" });
  const said = container.querySelector('.said');
  let rows = [];
  let layout = '';
  // The drag in hand: { label, time, first }, or null.
  let drag = null;
  let locked = false;
  let refreshing = false;

  const refreshSoon = () => {
    if (refreshing) return;
    refreshing = true;
    // Once every stage that the move changed is read: one stage read before
    // the other would split a shared number in two.
    queueMicrotask(() => {
      refreshing = false;
      refresh();
    });
  };
  for (const [stage, view] of Object.entries(editors)) {
    pair.read(stage, textOf(view), 'other');
    followEdits(view, (text, how) => {
      pair.read(stage, text, how);
      if (how !== 'own') drag = null;
      refreshSoon();
    });
  }

  // Each control's value as one move of a drag; the value let go (`done`)
  // ends it.
  const moved = (row, value, done) => {
    if (locked) return;
    if (drag && drag.label !== row.control.label) endDrag();
    drag ??= { label: row.control.label, time: Date.now(), first: true };
    const result = pair.move(row.control, value);
    said.textContent = result.refused ?? '';
    // A refused value leaves the text as it was, which the widget shows again.
    if (result.refused) refreshSoon();
    for (const stage of new Set(row.control.places.map((place) => place.stage))) {
      moveNumbers(editors[stage], result.changes?.[stage] ?? [], { time: drag.time, first: drag.first, last: done });
    }
    drag.first = false;
    if (!done) return;
    drag = null;
    // The control let go takes the frame of its value again.
    refreshSoon();
  };
  const endDrag = () => {
    for (const stage of Object.keys(editors)) moveNumbers(editors[stage], [], { time: drag.time, last: true });
    drag = null;
  };
  const setAll = (changes) => {
    if (locked) return;
    if (drag) endDrag();
    said.textContent = '';
    for (const [stage, list] of Object.entries(changes)) replaceText(editors[stage], list);
  };

  function refresh() {
    const offered = presets.filter((look) => pair.offers(look));
    const controls = pair.controls;
    const shape = JSON.stringify([
      controls.map(({ label, type, colour }) => [label, type, colour]),
      offered.map((look) => look.name),
    ]);
    if (shape !== layout) {
      layout = shape;
      for (const child of [...gui.children]) child.destroy();
      const resetAll = () => {
        if (locked) return;
        setAll(pair.reset());
        reset();
      };
      gui.add({ reset: resetAll }, 'reset').name('Reset').domElement.dataset.action = 'reset';
      const looks = gui.addFolder('Presets');
      for (const look of offered) {
        const take = () => {
          if (locked) return;
          setAll(pair.preset(look));
          preset(look);
        };
        looks.add({ [look.name]: take }, look.name).domElement.dataset.preset = look.name;
      }
      looks.domElement.hidden = offered.length === 0;
      rows = controls.map((control) => addRow(gui, control, moved));
    }
    for (const [i, control] of controls.entries()) showRow(rows[i], control, drag?.label === control.label);
    container.hidden = controls.length === 0 && pair.leftOut.length === 0;
    showLeftOut(container.querySelector('.left-out'), pair.leftOut);
  }
  refresh();

  return {
    lock(busy) {
      locked = busy;
      container.inert = busy;
    },
  };
}

// A control's widgets, each marked with its label and part for scripts.
function addRow(gui, control, moved) {
  const frame = frameOf(control, null);
  const [low, high] = frame.range;
  const row = { control, frame, model: modelOf(control, frame), widgets: [] };
  const add = (part, controller) => {
    row.widgets.push({ part, controller: mark(controller, control.label, part) });
    return controller;
  };
  if (control.colour) {
    add('colour', gui.addColor(row.model, 'colour').name(control.label));
    const intensity = gui.add(row.model, 'intensity', low, high, stepFor(frame.range));
    add('intensity', intensity.name(`${control.label} intensity`));
    const pick = (done) => () => moved(row, rgbOf(row.model.colour, row.model.intensity, row.control.value), done);
    for (const { controller } of row.widgets) controller.onChange(pick(false)).onFinishChange(pick(true));
  } else if (control.type === 'vec3') {
    for (const [k, part] of parts.entries()) {
      const controller = add(part, gui.add(row.model, part, low, high, stepFor(frame.range)));
      controller.name(`${control.label}.${part}`);
      const move = (done) => (value) =>
        moved(
          row,
          row.control.value.map((v, j) => (j === k ? value : v)),
          done,
        );
      controller.onChange(move(false)).onFinishChange(move(true));
    }
  } else {
    const controller = add('value', gui.add(row.model, 'value', low, high, stepFor(frame.range)).name(control.label));
    controller.onChange((value) => moved(row, value, false)).onFinishChange((value) => moved(row, value, true));
  }
  return row;
}

function mark(controller, label, part) {
  controller.domElement.dataset.number = label;
  controller.domElement.dataset.part = part;
  return controller;
}

function modelOf(control, frame) {
  if (control.colour) return { colour: hexOf(control.value, frame.intensity), intensity: frame.intensity };
  if (control.type === 'vec3') return Object.fromEntries(parts.map((part, k) => [part, control.value[k]]));
  return { value: control.value };
}

// Shows the control's value in its widgets; the widget in hand shows it
// already, and a colour's intensity in hand is the one the hand set.
function showRow(row, control, inHand) {
  row.control = control;
  if (inHand && control.colour) row.frame.intensity = row.model.intensity;
  const before = row.frame.range;
  row.frame = frameOf(control, inHand ? row.frame : null);
  const [low, high] = row.frame.range;
  const model = modelOf(control, row.frame);
  for (const { part, controller } of row.widgets) {
    const rescaled = part !== 'colour' && (low !== before[0] || high !== before[1]);
    if (rescaled) controller.min(low).max(high).step(stepFor(row.frame.range));
    if (row.model[part] === model[part] && !rescaled) continue;
    row.model[part] = model[part];
    controller.updateDisplay();
  }
}

// The declarations without a control, each with the reason.
function showLeftOut(details, leftOut) {
  details.hidden = leftOut.length === 0;
  details.querySelector('summary').textContent = `Declarations without a control (${leftOut.length})`;
  details.querySelector('ul').replaceChildren(
    ...leftOut.map(({ stage, name, line, why }) => {
      const item = document.createElement('li');
      item.textContent = `${name} (${stage}${line === null ? '' : `, line ${line}`}) ${why}.`;
      return item;
    }),
  );
}
