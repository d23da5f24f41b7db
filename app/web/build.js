// What a build of the pair gave, as the page says it: a sentence under the
// canvas and the compiler's messages on the lines of the stage's editor.
// The program reports each build (failure: none, vertexFile, fragmentFile,
// vertexCompile, fragmentCompile or link; the GL's log of the failed step;
// the compiler's messages with their lines, 0 for none).

const failedStages = {
  vertexFile: 'Quorvel.vert', vertexCompile: 'Quorvel.vert', fragmentFile: 'Quorvel.frag', fragmentCompile: 'Quorvel.frag',
};
// The GL's names of the stage types, under which the GL emulation counts the
// lines that it puts ahead of a stage's own.
const stageTypes = { 'Quorvel.vert': 0x8b31, 'Quorvel.frag': 0x8b30 };

// { failed, text, marks: { stage: [{ line, text }] } }: `running` says
// whether a run goes on to keep the last good pair drawing, `edited` whether
// the build was of the user's edit; `linesAhead` is the emulation's count.
export function describeBuild(report, { running, edited, linesAhead = {} }) {
  const stage = failedStages[report.failure];
  const keeps = running ? '; the last good pair still draws.' : '.';
  if (report.failure.endsWith('Compile')) {
    const ahead = linesAhead[stageTypes[stage]] ?? 0;
    const messages = report.messages.map((message) => ({ ...message, line: message.line > 0 ? message.line - ahead
      : null }));
    const [first] = messages;
    const said = first ? `: ${first.line === null ? '' : `line ${first.line}: `}${first.text}` : '';
    return { failed: true, text: `${stage} does not compile${said}${keeps}`, marks: { [stage]: messages } };
  }
  if (stage) return { failed: true, text: `${stage} cannot be read (is it empty?)${keeps}`, marks: {} };
  if (report.failure === 'link') {
    return { failed: true, text: `The pair does not link: ${report.log.trim().split('\n')[0]}${keeps}`, marks: {} };
  }
  const drawn = edited ? 'Your edit draws.' : '';
  const missing = report.missingUniforms;
  if (missing.length === 0) return { failed: false, text: drawn, marks: {} };
  const lacks = `The pair lacks the uniform${missing.length > 1 ? 's' : ''} ${missing.join(', ')}, which the scene ` +
                'sets: each set writes a line to the log.';
  return { failed: true, text: drawn ? `${drawn} ${lacks}` : lacks, marks: {} };
}
