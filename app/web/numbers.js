// The pair's numbers, for a control each: every top-level `const float` and
// `const vec3` whose value is written as literals, in the text that the
// page's WebGL compiles, found with a GLSL tokenizer: comments, macros,
// function bodies and the preprocessor branches that GL ES leaves out are
// never read as numbers. A move rewrites only the literals whose values
// change, and Reset puts back each literal as it was spelled before the
// first move since the text last changed otherwise.
import tokenize from 'glsl-tokenizer/string.js';

import { codeOf, commentsAbove, commentsOf, lineOf, lineStarts, trailingComment } from './glsl_source.js';
import { Branches, integerValue } from './preprocessor.js';

// Numbers that the program needs as they are: the slices' geometry and the
// lookup textures' encoding.
const fixedNames = new Set(['SLICE_STEP', 'CELL', 'HALF_EXTENT', 'TEXEL', 'GRADIENT_SCALE']);
export const largestFloat = 3.4028234663852886e38;
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
