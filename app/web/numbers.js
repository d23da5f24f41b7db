// The pair's numbers, for a slider each: every `const float NAME = value;`
// and `const vec3 NAME = vec3(r, g, b);` that starts a line of a stage,
// with its range from the line's comment (`// [0.0, 1.0]`) where the author
// gives one, and a colour picker for a vec3 that its name or comment calls
// a colour. Moving one rewrites that one value in the stage's text, so
// the share link and Save carry it.

// Numbers that the program needs as they are: the slices' geometry and the
// lookup textures' encoding.
const fixedNames = new Set(['SLICE_STEP', 'CELL', 'HALF_EXTENT', 'TEXEL', 'GRADIENT_SCALE']);
const literal = String.raw`[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?`;
const definition = new RegExp(String.raw`^const (float|vec3) (\w+) = (${literal}|vec3\(\s*${literal}\s*,\s*` +
                              String.raw`${literal}\s*,\s*${literal}\s*\));\s*(?://(.*))?$`);
const range = new RegExp(String.raw`\[\s*(${literal})\s*,\s*(${literal})\s*\]`);
const colourWords = /colou?r/i;

// Each number of a stage's text: { name, type, value (a number, or three),
// range ([low, high] or null), colour, from, to (the value's place in the
// text) }. The comment lines just above a run of definitions count as
// theirs: "The colours of the sunlight and of the sky" names SUN's kind.
export function numbersOf(text) {
  const numbers = [];
  let above = '';
  let at = 0;
  for (const line of text.split('\n')) {
    const found = definition.exec(line);
    if (found && !fixedNames.has(found[2])) {
      const [, type, name, written, comment = ''] = found;
      const from = at + line.indexOf(written, line.indexOf('='));
      const bounds = range.exec(comment);
      numbers.push({
        name,
        type,
        value: type === 'float' ? Number(written) : written.slice(5).match(new RegExp(literal, 'g')).map(Number),
        range: bounds ? [Number(bounds[1]), Number(bounds[2])] : null,
        colour: type === 'vec3' && (/^(SUN|SKY)(_|$)/.test(name) || colourWords.test(`${name} ${comment} ${above}`)),
        from,
        to: from + written.length,
      });
    } else if (!found) {
      const comment = /^\s*\/\/(.*)$/.exec(line);
      above = comment ? `${above} ${comment[1]}` : '';
    }
    at += line.length + 1;
  }
  return numbers;
}

// The sliders for a pair's stages ({ stage: text }): a number that every
// stage defining it gives the same value is one slider that moves in all of
// them; one whose values differ (EXTINCTION, by design) is a slider a stage,
// labelled with it. Numbers with a range come first, in the stages' order.
export function slidersOf(texts) {
  const byName = new Map();
  for (const [stage, text] of Object.entries(texts)) {
    for (const number of numbersOf(text)) {
      if (!byName.has(number.name)) byName.set(number.name, []);
      byName.get(number.name).push({ ...number, stage });
    }
  }
  const sliders = [];
  for (const [name, defined] of byName) {
    const same = defined.every((number) => String(number.value) === String(defined[0].value));
    const groups = same ? [defined] : defined.map((number) => [number]);
    for (const group of groups) {
      const [first] = group;
      const kind = first.stage.endsWith('.vert') ? 'vertex' : 'fragment';
      sliders.push({
        label: same ? name : `${name} (${kind})`,
        name,
        type: first.type,
        value: first.value,
        colour: first.colour,
        range: group.find((number) => number.range)?.range ?? rangeAround(first.value),
        given: group.some((number) => number.range),
        stages: group.map((number) => number.stage),
      });
    }
  }
  return [...sliders.filter((slider) => slider.given), ...sliders.filter((slider) => !slider.given)];
}

// A range about a value that no comment bounds: from 0 to twice it.
function rangeAround(value) {
  const largest = Math.max(...[value].flat().map(Math.abs));
  if (largest === 0) return [-1, 1];
  return Array.isArray(value) || value > 0 ? [0, 2 * largest] : [-2 * largest, 0];
}

// The change of `text` that gives the number `name` the value `value`:
// { from, to, insert }, or null when the text defines no such number.
export function numberChange(text, name, value) {
  const number = numbersOf(text).find((found) => found.name === name);
  if (!number) return null;
  const insert = number.type === 'float' ? glslFloat(value) : `vec3(${value.map(glslFloat).join(', ')})`;
  return { from: number.from, to: number.to, insert };
}

// Four significant digits, written as GLSL takes a float: with a point.
export function glslFloat(value) {
  const text = String(Number(value.toPrecision(4)));
  return /[.e]/.test(text) ? text : `${text}.0`;
}

// A colour of three numbers from 0 to 1 as #rrggbb, and back.
export function hexOf(rgb) {
  return `#${rgb.map((c) => Math.round(Math.min(Math.max(c, 0), 1) * 255).toString(16).padStart(2, '0')).join('')}`;
}

export function rgbOf(hex) {
  return [1, 3, 5].map((at) => Number((parseInt(hex.slice(at, at + 2), 16) / 255).toFixed(3)));
}
