// Which branches of #if/#ifdef/#elif/#else the page's WebGL compiles: GL_ES
// is defined, as are the text's own macros where they are live; what a
// browser defines for itself (its extensions, GL_FRAGMENT_PRECISION_HIGH)
// cannot be known here, and the code under it is neither live nor dead.
export class Branches {
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

// A GLSL integer literal's value: hexadecimal, octal (a leading 0) or
// decimal; NaN for an octal with an 8 or a 9.
export function integerValue(written) {
  if (/^0x/i.test(written)) return parseInt(written, 16);
  if (/^0\d/.test(written)) return /^0[0-7]+$/.test(written) ? parseInt(written, 8) : NaN;
  return Number(written);
}
