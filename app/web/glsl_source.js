// A stage's text as the compiler's first phase sees it: its comments and
// lines, and the comments that belong to a declaration.

// The comments of a stage, [{ from, to }], found as the compiler's first
// phase finds them, before any directive: the tokenizer would end a comment
// that starts `/*/` at once, and a block comment begun on a directive's line
// at that line's end, and read the rest as code.
export function commentsOf(text) {
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
export function codeOf({ text, comments }) {
  const parts = [];
  let at = 0;
  for (const { from, to } of comments) {
    parts.push(text.slice(at, from), ' '.repeat(to - from));
    at = to;
  }
  parts.push(text.slice(at));
  return parts.join('').replaceAll('\r\n', '\n ');
}

export function lineStarts(text) {
  const starts = [0];
  for (let at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1)) starts.push(at + 1);
  return starts;
}

// The line (from 1) of a position, and the first comment from a position.
export function lineOf({ lines }, position) {
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
export function trailingComment({ text, comments }, semicolon) {
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
export function commentsAbove({ text, comments }, codeEnd, from, runAbove) {
  const between = text.slice(codeEnd, from);
  const blank = [...between.matchAll(/\n[ \t\r]*\n/g)].at(-1);
  const start = blank ? codeEnd + blank.index : codeEnd;
  let above = '';
  for (let k = firstAtOrAfter(comments, (c) => c.from >= start); comments[k]?.to <= from; k++) {
    above += text.slice(comments[k].from, comments[k].to);
  }
  return above || (blank ? '' : (runAbove ?? ''));
}
