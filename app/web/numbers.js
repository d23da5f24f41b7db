// The pair's numbers, for a control each: every top-level `const float` and
// `const vec3` whose value is written as literals, in the text that the
// page's WebGL compiles, found with a GLSL tokenizer: comments, macros,
// function bodies and the preprocessor branches that GL ES leaves out are
// never read as numbers. A move rewrites only the literals whose values
// change, and Reset puts back each literal as it was spelled before the
// first move since the text last changed otherwise.
import tokenize from 'glsl-tokenizer/string.js';

// Numbers that the program needs as they are: the slices' geometry and the
// lookup textures' encoding.
const fixedNames = new Set(['SLICE_STEP', 'CELL', 'HALF_EXTENT', 'TEXEL', 'GRADIENT_SCALE']);
const largestFloat = 3.4028234663852886e38;
const precisions = new Set(['highp', 'mediump', 'lowp']);
const colourWords = /colou?r/i;

// ---- Finding them ----------------------------------------------------------

// A stage's numbers, in the order they stand: { name, type ('float',
// 'vec3', or 'splat' for vec3(x)), literals ([{ from, to, text, value }]),
// value (a number, or three), range (the comment's [low, high], or null),
// colour, line }, and the declarations left without one: { name, line,
// why }.
export function numbersOf(text) {
  const stage = { text, comments: commentsOf(text), lines: lineStarts(text) };
  const tokens = tokenize(codeOf(stage));
  const branches = new Branches();
  const found = { numbers: [], leftOut: [] };
  let depth = 0;
  let statementStart = true;
  // Where the code before the next token ends: the comments between count
  // as the next declaration's, and those above a run of declarations as
  // every one's.
  let codeEnd = 0;
  let runAbove = null;
  for (let i = 0; i < tokens.length; i++) {
    const { type, data, position } = tokens[i];
    if (type === 'whitespace') continue;
    if (type === 'preprocessor') {
      branches.follow(data);
      statementStart = true;
    } else if (branches.state !== 'dead') {
      if (depth === 0 && statementStart && data === 'const') {
        const above = commentsAbove(stage, codeEnd, position, runAbove);
        const end = declaration(tokens, i, { ...stage, branches, found, above });
        if (end > i) {
          i = end;
          codeEnd = trailingComment(stage, tokens[end].position).end;
          runAbove = above;
          continue;
        }
      }
      runAbove = null;
      if (data === '{') depth++;
      if (data === '}') depth--;
      statementStart = data === ';' || data === '{' || data === '}';
    }
    codeEnd = position + data.length;
  }
  findRepeats(found);
  for (const literal of found.numbers.flatMap((number) => number.literals)) {
    literal.text = text.slice(literal.from, literal.to);
  }
  return found;
}

// The comments of a stage, [{ from, to }], found as the compiler's first
// phase finds them, before any directive: the tokenizer would end a comment
// that starts `/*/` at once, and a block comment begun on a directive's line
// at that line's end, and read the rest as code.
function commentsOf(text) {
  const comments = [];
  for (let at = text.indexOf('/'); at >= 0 && at < text.length; at = text.indexOf('/', at)) {
    let to = at + 1;
    if (text[at + 1] === '*') {
      const close = text.indexOf('*/', at + 2);
      to = close < 0 ? text.length : close + 2;
    } else if (text[at + 1] === '/') {
      // A backslash at a line's end carries the comment on, as it carries a
      // directive.
      do to = text.indexOf('\n', to + 1);
      while (to > 0 && /\\\r?$/.test(text.slice(to - 2, to)));
      if (to < 0) to = text.length;
    }
    if (to > at + 1) comments.push({ from: at, to });
    at = to;
  }
  return comments;
}

// The text the tokenizer reads: each comment a run of spaces as long, as
// the compiler takes a comment for a space (so a directive goes on after
// one that spans lines), and each CRLF an LF and a space, since the
// tokenizer would drop the CR and move every token after it.
function codeOf({ text, comments }) {
  const parts = [];
  let at = 0;
  for (const { from, to } of comments) {
    parts.push(text.slice(at, from), ' '.repeat(to - from));
    at = to;
  }
  parts.push(text.slice(at));
  return parts.join('').replaceAll('\r\n', '\n ');
}

function lineStarts(text) {
  const starts = [0];
  for (let at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1)) starts.push(at + 1);
  return starts;
}

// The line (from 1) of a position, and the first comment from a position.
function lineOf({ lines }, position) {
  return firstAtOrAfter(lines, (start) => start > position);
}

function firstAtOrAfter(list, after) {
  let low = 0;
  let high = list.length;
  while (low < high) {
    const middle = (low + high) >> 1;
    if (after(list[middle])) high = middle;
    else low = middle + 1;
  }
  return low;
}

// The comments after a `;` on its line, with nothing but blanks between,
// and where the last ends.
function trailingComment({ text, comments }, semicolon) {
  let comment = '';
  let end = semicolon + 1;
  for (let k = firstAtOrAfter(comments, (c) => c.from > semicolon); k < comments.length; k++) {
    if (!/^[ \t]*$/.test(text.slice(end, comments[k].from))) break;
    comment += text.slice(comments[k].from, comments[k].to);
    end = comments[k].to;
  }
  return { comment, end };
}

// The comments between the code before a declaration and the declaration,
// after the last blank line among them; where there are none, those of the
// declaration just above (`runAbove`, null after other code).
function commentsAbove({ text, comments }, codeEnd, from, runAbove) {
  const between = text.slice(codeEnd, from);
  const blank = [...between.matchAll(/\n[ \t\r]*\n/g)].at(-1);
  const start = blank ? codeEnd + blank.index : codeEnd;
  let above = '';
  for (let k = firstAtOrAfter(comments, (c) => c.from >= start); comments[k]?.to <= from; k++) {
    above += text.slice(comments[k].from, comments[k].to);
  }
  return above || (blank ? '' : (runAbove ?? ''));
}

// Reads the declaration that starts at `tokens[at]` (its `const`) into
// `found`, and returns the index of its `;`, or `at` when it declares no
// float or vec3.
function declaration(tokens, at, stage) {
  const { branches, found, above } = stage;
  const next = significant(tokens, at + 1);
  let i = next();
  if (precisions.has(tokens[i]?.data)) i = next();
  const type = tokens[i]?.data;
  if (type !== 'float' && type !== 'vec3') return at;
  for (;;) {
    const nameAt = next();
    const name = tokens[nameAt]?.data;
    const after = tokens[next()]?.data;
    if (tokens[nameAt]?.type !== 'ident' || (after !== '=' && after !== '[')) return at;
    const init = [];
    let open = 0;
    for (i = next(); i < tokens.length; i = next()) {
      const { data } = tokens[i];
      if (open === 0 && (data === ',' || data === ';')) break;
      open += data === '(' ? 1 : data === ')' ? -1 : 0;
      init.push(tokens[i]);
    }
    if (i >= tokens.length) return at;
    const line = lineOf(stage, tokens[nameAt].position);
    const reading =
      branches.state === 'unknown'
        ? { why: `lies under ${branches.unknownWhy}, which only the browser can decide` }
        : fixedNames.has(name)
          ? { why: 'is needed by the program as it is' }
          : after === '['
            ? { why: 'is an array' }
            : readInit(type, init);
    const { comment } = trailingComment(stage, tokens[i].position);
    if (reading.why) found.leftOut.push({ name, line, why: reading.why });
    else found.numbers.push({ name, line, ...reading, ...rangeAndColour(reading, comment, above) });
    if (tokens[i].data === ';') return i;
  }
}

// The index of each next token after `from` that is not whitespace; a
// directive ends the declaration, which then has no number.
function significant(tokens, from) {
  let i = from - 1;
  return () => {
    for (i++; i < tokens.length; i++) {
      const { type } = tokens[i];
      if (type === 'preprocessor' || type === 'eof') return tokens.length;
      if (type !== 'whitespace') return i;
    }
    return i;
  };
}

// The initialiser's literals: a signed number for a float; three, or one,
// inside vec3( ) for a vec3.
function readInit(type, init) {
  const isVec3 = init[0]?.data === 'vec3' && init[1]?.data === '(' && init.at(-1)?.data === ')';
  if (type === 'float' && isVec3) return { why: 'is not a float' };
  const groups = type === 'float' ? [init] : isVec3 ? split(init.slice(2, -1)) : [];
  if (groups.length !== 1 && groups.length !== 3) return { why: 'is worked out, not written as a number' };
  const literals = [];
  for (const group of groups) {
    const literal = readLiteral(group, type === 'float');
    if (literal.why) return literal;
    literals.push(literal);
  }
  const values = literals.map((literal) => literal.value);
  if (type === 'float') return { type, literals, value: values[0] };
  return literals.length === 1 ? { type: 'splat', literals, value: values[0] } : { type, literals, value: values };
}

function split(tokens) {
  const groups = [[]];
  for (const token of tokens) {
    if (token.data === ',') groups.push([]);
    else groups.at(-1).push(token);
  }
  return groups;
}

// A literal with its sign, where it stands in the text. GLSL reads `010`
// as octal, and a float constant takes no integer in GLSL ES.
function readLiteral(tokens, wantsFloat) {
  const [sign, number] = tokens.length === 2 ? tokens : [null, tokens[0]];
  if (
    tokens.length > 2 ||
    (sign && sign.data !== '-' && sign.data !== '+') ||
    (number?.type !== 'float' && number?.type !== 'integer')
  ) {
    return { why: 'is worked out, not written as a number' };
  }
  if (number.type === 'integer' && wantsFloat) return { why: 'is an integer, which a float constant cannot take' };
  const magnitude = number.type === 'float' ? Number(number.data.replace(/f$/i, '')) : integerValue(number.data);
  if (Number.isNaN(magnitude)) return { why: `has ${number.data}, which is no GLSL number` };
  if (!(magnitude <= largestFloat)) return { why: 'is beyond what a float holds' };
  const from = (sign ?? number).position;
  const to = number.position + number.data.length;
  return { from, to, value: sign?.data === '-' ? -magnitude : magnitude };
}

function integerValue(written) {
  if (/^0x/i.test(written)) return parseInt(written, 16);
  if (/^0\d/.test(written)) return /^0[0-7]+$/.test(written) ? parseInt(written, 8) : NaN;
  return Number(written);
}

// The range the comment gives, where it is one ([low, high], both finite,
// low below high), and whether the value is a colour: a vec3 whose comment
// (on its line or just above) says so, or whose values all lie in [0, 1].
function rangeAndColour({ type, value }, comment, above) {
  const open = comment.indexOf('[');
  const close = comment.indexOf(']', open);
  const bounds = open >= 0 && close > open ? comment.slice(open + 1, close).split(',') : [];
  const [low, high] = bounds.map((bound) => (bound.trim() === '' ? NaN : Number(bound)));
  const range = bounds.length === 2 && Number.isFinite(low) && Number.isFinite(high) && low < high ? [low, high] : null;
  const colour = type === 'vec3' && (colourWords.test(comment + above) || value.every((c) => c >= 0 && c <= 1));
  return { range, colour };
}

// A name defined twice in the live text is an error to the compiler; it
// gets no control.
function findRepeats(found) {
  const counts = new Map();
  for (const { name } of found.numbers) counts.set(name, (counts.get(name) ?? 0) + 1);
  for (const { name, line } of found.numbers.filter((number) => counts.get(number.name) > 1)) {
    found.leftOut.push({ name, line, why: 'is defined more than once' });
  }
  found.numbers = found.numbers.filter((number) => counts.get(number.name) === 1);
}

// ---- The preprocessor's branches -------------------------------------------

// Which branches of #if/#ifdef/#elif/#else the page's WebGL compiles: GL_ES
// is defined, as are the text's own macros where they are live; what a
// browser defines for itself (its extensions, GL_FRAGMENT_PRECISION_HIGH)
// cannot be known here, and the code under it is neither live nor dead.
class Branches {
  constructor() {
    this.macros = new Map([
      ['GL_ES', '1'],
      ['__VERSION__', '100'],
    ]);
    // Each open #if: { state: 'live' | 'dead' | 'unknown', taken: whether
    // an earlier branch was (null: unknown), why }.
    this.open = [];
  }

  get state() {
    const states = this.open.map((branch) => branch.state);
    return states.includes('dead') ? 'dead' : states.includes('unknown') ? 'unknown' : 'live';
  }

  get unknownWhy() {
    return this.open.find((open) => open.state === 'unknown').why;
  }

  follow(directive) {
    const text = directive.replace(/\\\n/g, ' ').trim();
    const [, keyword = '', rest = ''] = /^#\s*(\w*)\s*(.*)$/s.exec(text) ?? [];
    const outer = this.state;
    const top = this.open.at(-1);
    if (keyword === 'if' || keyword === 'ifdef' || keyword === 'ifndef') {
      const truth = outer === 'dead' ? false : this.truth(keyword, rest);
      this.open.push({ outerDead: outer === 'dead', ...branch(truth, outer === 'dead' || truth), why: null });
      if (truth === null) this.open.at(-1).why = text;
    } else if ((keyword === 'elif' || keyword === 'else') && top) {
      if (top.outerDead || top.taken === true) Object.assign(top, branch(false, true));
      else {
        const truth = keyword === 'else' ? true : this.truth('if', rest);
        // After a branch that may have been taken, this one may be too.
        if (top.taken === null) Object.assign(top, branch(truth === false ? false : null, null));
        else Object.assign(top, branch(truth, truth));
        if (truth === null) top.why ??= text;
      }
    } else if (keyword === 'endif') {
      this.open.pop();
    } else if (outer !== 'dead' && (keyword === 'define' || keyword === 'undef')) {
      const [, name, body = ''] = /^(\w+)(?:\([^)]*\))?\s*(.*)$/s.exec(rest) ?? [];
      if (keyword === 'undef') this.macros.delete(name);
      else if (name) this.macros.set(name, outer === 'unknown' ? null : body.trim());
    }
  }

  // true, false, or null where the condition cannot be worked out here.
  truth(keyword, condition) {
    if (keyword === 'if') {
      const value = evaluate(condition, this);
      return value === null ? null : value !== 0;
    }
    const isDefined = this.isDefined(condition.split(/\s/)[0]);
    return isDefined === null ? null : isDefined === (keyword === 'ifdef');
  }

  isDefined(name) {
    if (this.macros.has(name)) return this.macros.get(name) === null ? null : true;
    return /^(GL_|__)/.test(name) ? null : false;
  }

  // A macro's value where its body is an integer (or another such macro).
  valueOf(name, depth = 0) {
    const body = this.macros.get(name);
    if (body === null || body === undefined || depth > 16) return null;
    if (/^\d\w*$/.test(body)) return integerValueOrNull(body);
    return /^\w+$/.test(body) && this.macros.has(body) ? this.valueOf(body, depth + 1) : null;
  }
}

// A branch that is live, dead or unknown (truth null), and whether one of
// its chain was taken so far (null: perhaps).
function branch(truth, taken) {
  return { state: truth === null ? 'unknown' : truth ? 'live' : 'dead', taken };
}

function integerValueOrNull(written) {
  const value = integerValue(written);
  return Number.isNaN(value) ? null : value;
}

const binaryPrecedence = {
  '||': 1,
  '&&': 2,
  '|': 3,
  '^': 4,
  '&': 5,
  '==': 6,
  '!=': 6,
  '<': 7,
  '>': 7,
  '<=': 7,
  '>=': 7,
  '<<': 8,
  '>>': 8,
  '+': 9,
  '-': 9,
  '*': 10,
  '/': 10,
  '%': 10,
};

// An #if condition's integer value, or null where it names what only a
// browser knows, or is no expression at all.
function evaluate(condition, branches) {
  const tokens = condition.match(/\w+|&&|\|\||<<|>>|[<>=!]=|\S/g) ?? [];
  let at = 0;
  let failed = false;
  const unary = () => {
    const token = tokens[at++];
    if (token === 'defined') {
      const parenthesised = tokens[at] === '(';
      if (parenthesised) at++;
      const name = tokens[at++];
      if (parenthesised && tokens[at++] !== ')') failed = true;
      const isDefined = branches.isDefined(name);
      return isDefined === null ? null : Number(isDefined);
    }
    if (token === '(') {
      const value = binary(0);
      if (tokens[at++] !== ')') failed = true;
      return value;
    }
    if (token === '!' || token === '-' || token === '+' || token === '~') {
      const value = unary();
      if (value === null) return null;
      return { '!': Number(!value), '-': -value, '+': value, '~': ~value }[token];
    }
    if (/^\d/.test(token ?? '')) {
      const value = integerValueOrNull(token);
      failed ||= value === null;
      return value;
    }
    if (/^\w+$/.test(token ?? '')) return branches.valueOf(token);
    failed = true;
    return null;
  };
  const binary = (least) => {
    let left = unary();
    while (binaryPrecedence[tokens[at]] > least) {
      const operator = tokens[at++];
      const right = binary(binaryPrecedence[operator]);
      left = apply(operator, left, right);
    }
    return left;
  };
  const value = binary(0);
  return failed || at !== tokens.length ? null : value;
}

function apply(operator, left, right) {
  if (operator === '&&' && (left === 0 || right === 0)) return 0;
  if (operator === '||' && ((left !== null && left !== 0) || (right !== null && right !== 0))) return 1;
  if (left === null || right === null || ((operator === '/' || operator === '%') && right === 0)) return null;
  const result = {
    '||': left || right,
    '&&': left && right,
    '|': left | right,
    '^': left ^ right,
    '&': left & right,
    '==': left === right,
    '!=': left !== right,
    '<': left < right,
    '>': left > right,
    '<=': left <= right,
    '>=': left >= right,
    '<<': left << right,
    '>>': left >> right,
    '+': left + right,
    '-': left - right,
    '*': left * right,
    '/': Math.trunc(left / right),
    '%': left % right,
  }[operator];
  return Number(result);
}

// ---- Controls for the pair -------------------------------------------------

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

// ---- Writing them ----------------------------------------------------------

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
    this.found[stage] = numbersOf(text);
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
