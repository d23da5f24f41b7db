// The pair's numbers as controls: one for each number of either stage, a
// number that both stages define alike being one control; their ranges,
// colours and spellings, and the record that Reset puts back.
import { largestFloat, numbersOf } from './numbers.js';

// The controls for a pair's numbers ({ stage: numbersOf(text) }): a number
// that every stage defining it gives the same value is one control that
// moves it in all of them; one whose values differ (EXTINCTION, by design)
// is a control a stage, labelled with it. Each control: { label, name,
// type, value, range, colour, places ([{ stage, index }]) }; ranged ones
// first, in the stages' order.
function controlsOf(found) {
  const byName = new Map();
  for (const [stage, { numbers }] of Object.entries(found)) {
    numbers.forEach((number, index) => {
      if (!byName.has(number.name)) byName.set(number.name, []);
      byName.get(number.name).push({ number, place: { stage, index } });
    });
  }
  const controls = [];
  for (const [name, defined] of byName) {
    const key = ({ number }) => `${number.type} ${number.value}`;
    const same = defined.every((definition) => key(definition) === key(defined[0]));
    for (const group of same ? [defined] : defined.map((definition) => [definition])) {
      const { number, place } = group[0];
      controls.push({
        label: same ? name : `${name} (${place.stage.endsWith('.vert') ? 'vertex' : 'fragment'})`,
        name,
        type: number.type,
        value: number.value,
        colour: number.colour,
        range: group.find((definition) => definition.number.range)?.number.range ?? null,
        places: group.map((definition) => definition.place),
      });
    }
  }
  return [...controls.filter((control) => control.range), ...controls.filter((control) => !control.range)];
}

// The slider's range for a value: the comment's, widened to take a value
// beyond it; without one, from 0 to twice the value.
function rangeFor(value, given) {
  const values = [value].flat();
  if (given) return [Math.min(given[0], ...values), Math.max(given[1], ...values)];
  const largest = Math.max(...values.map(Math.abs));
  if (largest === 0) return [-1, 1];
  if (values.every((v) => v >= 0)) return [0, 2 * largest];
  return values.every((v) => v <= 0) ? [-2 * largest, 0] : [-2 * largest, 2 * largest];
}

// What a control's widgets are scaled to: the slider's range, and a
// colour's intensity. The control in hand keeps its frame, widened only
// where a value leaves it, so that the slider stays under the hand; every
// other takes the frame of its value.
export function frameOf(control, kept) {
  if (control.colour) {
    const intensity = kept ? Math.max(kept.intensity, ...control.value) : intensityOf(control.value);
    // An intensity of 0 would leave no hue to show.
    const high = kept ? Math.max(kept.range[1], intensity) : Math.max(2, 2 * intensity);
    return { intensity, range: [0.01, high] };
  }
  return { range: rangeFor(control.value, kept ? kept.range : control.range) };
}

// A step of a power of ten, about a thousandth of the range.
export function stepFor([low, high]) {
  return 10 ** Math.floor(Math.log10((high - low) / 1000));
}

// The shortest spelling that reads back as the same number, with a point
// or an exponent, as GLSL wants of a float; null for what no float holds.
export function spelling(value) {
  if (!(Math.abs(value) <= largestFloat)) return null;
  const text = String(value);
  return /[.e]/.test(text) ? text : `${text}.0`;
}

// A colour above 1 is its hue as #rrggbb and an intensity that scales it.
function intensityOf(rgb) {
  return Math.max(1, ...rgb);
}

export function hexOf(rgb, intensity) {
  const channel = (c) => Math.round(Math.min(Math.max(c / intensity, 0), 1) * 255);
  return `#${rgb.map((c) => channel(c).toString(16).padStart(2, '0')).join('')}`;
}

// The colour that `hex` at `intensity` picks; a channel that the picker
// shows as it was keeps its value, and a new one takes the shortest decimal
// that the picker shows as that channel.
export function rgbOf(hex, intensity, previous) {
  return [1, 3, 5].map((at, k) => {
    const channel = parseInt(hex.slice(at, at + 2), 16);
    const shows = (c) => Math.round((c / intensity) * 255) === channel;
    if (shows(previous[k])) return previous[k];
    const exact = (channel / 255) * intensity;
    for (let digits = 1; digits < 17; digits++) {
      const value = Number(exact.toPrecision(digits));
      if (shows(value)) return value;
    }
    return exact;
  });
}

// Far above any real stage (the shipped pair is about 30 kB): a larger one
// is left unread, as reading it would hold the page for seconds at each
// edit, and it is not a stage that anyone tunes by hand.
const readLimit = 1 << 20;
const wholeStageLeftOut = {
  numbers: [],
  leftOut: [
    { name: 'Every number', line: null, why: 'is left out: the stage is over 1 MiB, more than the panel reads' },
  ],
};

// The pair's numbers as its editors hold them, and what Reset needs: the
// literals of each number as they were spelled before the panel first
// changed it since the text last changed otherwise.
export class PairNumbers {
  constructor(stages) {
    this.found = Object.fromEntries(stages.map((stage) => [stage, { numbers: [], leftOut: [] }]));
    // { stage: Map(index of the number → its literals' { text, value }) }
    this.record = Object.fromEntries(stages.map((stage) => [stage, new Map()]));
    this.controls = [];
  }

  // Reads a stage's text after a change: 'own' for the panel's own moves,
  // 'history' for undo and redo, 'other' for anything else (typed, pasted,
  // opened), which starts the record afresh.
  read(stage, text, how) {
    const before = this.found[stage].numbers;
    this.found[stage] = text.length > readLimit ? wholeStageLeftOut : numbersOf(text);
    const after = this.found[stage].numbers;
    const sameShape =
      before.length === after.length &&
      before.every((number, i) => number.name === after[i].name && number.literals.length === after[i].literals.length);
    if (how === 'other' || !sameShape) {
      for (const record of Object.values(this.record)) record.clear();
    }
    this.controls = controlsOf(this.found);
  }

  get leftOut() {
    return Object.entries(this.found).flatMap(([stage, { leftOut }]) => leftOut.map((left) => ({ stage, ...left })));
  }

  // { changes: { stage: [{ from, to, insert }] } } that give a control its
  // new value, or { refused: sentence } for a value that no float holds.
  move(control, value) {
    const values = [value].flat();
    if (!values.every((v) => spelling(v) !== null)) {
      return { refused: `${control.label} takes only numbers that a float holds, not ${values.join(', ')}.` };
    }
    return {
      changes: this.changes(
        control.places.map((place) => ({ ...place, value })),
        false,
      ),
    };
  }

  reset() {
    return this.changes([], true);
  }

  // The look's numbers over the pair's own: `look.values` gives each name
  // a value, or a value for each stage ({ 'Quorvel.frag': 35 }).
  preset(look) {
    return this.changes(this.placesOf(look), true);
  }

  // Whether the pair has every number the look sets, of its kind.
  offers(look) {
    const places = this.placesOf(look);
    return places.length > 0 && places.every((place) => place.index >= 0);
  }

  placesOf(look) {
    return Object.entries(look.values).flatMap(([name, given]) => {
      const byStage =
        typeof given === 'object' && !Array.isArray(given)
          ? Object.entries(given)
          : Object.keys(this.found)
              .filter((stage) => this.found[stage].numbers.some((n) => n.name === name))
              .map((stage) => [stage, given]);
      return byStage.map(([stage, value]) => {
        const type = Array.isArray(value) ? 'vec3' : 'float';
        const numbers = this.found[stage]?.numbers ?? [];
        const index = numbers.findIndex((number) => number.name === name && number.type === type);
        return { stage, index, value };
      });
    });
  }

  // Rewrites the literals of the numbers that `places` ({ stage, index,
  // value }) name, and with `fromRecord` puts every recorded literal back
  // first; literals that keep their value keep their spelling.
  changes(places, fromRecord) {
    const result = {};
    for (const [stage, { numbers }] of Object.entries(this.found)) {
      const record = this.record[stage];
      const targets = new Map(fromRecord ? record : []);
      for (const { index, value } of places.filter((place) => place.stage === stage)) {
        const number = numbers[index];
        const start = targets.get(index) ?? number.literals;
        if (!record.has(index))
          record.set(
            index,
            number.literals.map(({ text, value }) => ({ text, value })),
          );
        targets.set(
          index,
          [value].flat().map((v, k) => (start[k].value === v ? start[k] : { text: spelling(v) })),
        );
      }
      result[stage] = [...targets]
        .flatMap(([index, wanted]) =>
          numbers[index].literals
            .map((literal, k) => ({ from: literal.from, to: literal.to, insert: wanted[k].text }))
            .filter((change, k) => change.insert !== numbers[index].literals[k].text),
        )
        .sort((a, b) => a.from - b.from);
    }
    return result;
  }
}
