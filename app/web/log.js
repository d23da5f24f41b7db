// The log as the page shows it: all of it for the download, and the newest
// part on the page, 400 lines and 64 kB at most, with how much it leaves
// out. A pair that lacks a uniform writes a line at every set, megabytes in
// minutes, and the page's work a frame must not grow with it.
const shownLines = 400;
const shownChars = 64 * 1024;

const lineCount = (text) => text.split('\n').length - 1;

export class LogTail {
  constructor() {
    this.chunks = [];
    this.lines = 0;
    this.tail = '';
  }

  add(text) {
    this.chunks.push(text);
    this.lines += lineCount(text);
    this.tail = newestPart(this.tail + text);
  }

  get leftOut() {
    return this.lines - lineCount(this.tail);
  }
}

function newestPart(text) {
  let part = text.length > shownChars ? text.slice(text.indexOf('\n', text.length - shownChars) + 1) : text;
  const lines = part.split('\n');
  if (lines.length > shownLines + 1) part = lines.slice(-shownLines - 1).join('\n');
  return part;
}
