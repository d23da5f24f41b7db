// The compiler's messages in the GL's `0:LINE:` forms (`0:12(5): error: ...`
// from Mesa, `ERROR: 0:12: ...` from ANGLE) as { line, text } on the stage's
// own lines: the GL emulation puts `ahead` lines of its own before the
// stage's. A message that names no line (`ERROR: 0:?: ...`) is kept with a
// null line.
export function compilerMessages(section, ahead) {
  const messages = [];
  for (const line of section.split('\n')) {
    if (line.startsWith('***')) break;
    const found = /^(?:ERROR: |WARNING: )?0:(\d+|\?)(?:\(\d+\))?: ?(.*)$/.exec(line.trim());
    if (found) messages.push({ line: found[1] === '?' ? null : Number(found[1]) - ahead, text: found[2] });
  }
  return messages;
}
