// The pair's numbers as controls: a slider and a number field for each
// float, a colour picker for a colour, three sliders for another vec3, with
// Reset and the presets above them. What a move does to the pair is the
// page's: `moved(slider, value, done)` is called as the value moves, with
// `done` once it is let go or typed.
import { glslFloat, hexOf, rgbOf } from './numbers.js';

export function createNumberPanel(container, { moved, reset, preset }) {
  const rows = container.querySelector('.rows');
  const presets = container.querySelector('.presets');
  container.querySelector('.reset').addEventListener('click', reset);
  let shown = '';
  return {
    // Shows `sliders`, the presets whose numbers they all have, and keeps
    // the control in hand as it is.
    show(sliders, available) {
      const layout = JSON.stringify(sliders.map(({ label, type, colour, range }) => [label, type, colour, range]));
      container.hidden = sliders.length === 0;
      if (layout !== shown) {
        shown = layout;
        rows.replaceChildren(...sliders.map((slider) => row(slider, moved)));
        presets.replaceChildren(...available.map((look) => presetButton(look, preset)));
      }
      sliders.forEach((slider, i) => showValue(rows.children[i], slider));
    },
  };
}

function presetButton(look, preset) {
  const button = document.createElement('button');
  button.textContent = look.name;
  button.addEventListener('click', () => preset(look));
  return button;
}

// A row's controls act on the slider that it last showed, whose value they
// start from.
function row(slider, moved) {
  const line = document.createElement('div');
  line.className = 'number';
  line.slider = slider;
  const label = document.createElement('label');
  label.textContent = slider.label;
  line.append(label);
  if (slider.colour) {
    const picker = input('color');
    picker.addEventListener('input', () => moved(line.slider, rgbOf(picker.value), false));
    picker.addEventListener('change', () => moved(line.slider, rgbOf(picker.value), true));
    line.append(picker);
    return line;
  }
  const components = slider.type === 'vec3' ? [0, 1, 2] : [null];
  line.classList.toggle('vec3', slider.type === 'vec3');
  for (const component of components) line.append(...pair(line, component, moved));
  return line;
}

// A slider and a number field for one value: a float, or one component of
// a vec3 that is not a colour.
function pair(line, component, moved) {
  const [low, high] = line.slider.range;
  const range = input('range', { min: low, max: high, step: (high - low) / 1000 });
  const field = input('number', { step: 'any' });
  const valueWith = (text) => {
    if (component === null) return Number(text);
    const value = [...line.slider.value];
    value[component] = Number(text);
    return value;
  };
  range.addEventListener('input', () => moved(line.slider, valueWith(range.value), false));
  range.addEventListener('change', () => moved(line.slider, valueWith(range.value), true));
  field.addEventListener('change', () => {
    if (field.value !== '') moved(line.slider, valueWith(field.value), true);
  });
  range.dataset.component = field.dataset.component = component ?? '';
  return [range, field];
}

function input(type, attributes = {}) {
  const element = document.createElement('input');
  element.type = type;
  Object.assign(element, attributes);
  return element;
}

// Puts the slider's value in its row's controls, but for the one in hand.
function showValue(line, slider) {
  line.slider = slider;
  for (const control of line.querySelectorAll('input')) {
    if (control === document.activeElement) continue;
    if (control.type === 'color') control.value = hexOf(slider.value);
    else {
      const { component } = control.dataset;
      const value = component === '' ? slider.value : slider.value[Number(component)];
      control.value = control.type === 'number' ? glslFloat(value) : String(value);
    }
  }
}
