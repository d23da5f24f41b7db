// What a build of the pair gave, as the page says it: a sentence under the
// canvas and the compiler's messages on the lines of the stage's editor.
// The program reports each build: its failure (none, vertexFile,
// fragmentFile, vertexCompile, fragmentCompile or link), the stage file
// that failed (null for none or a link), the GL's log of the failed step,
// the compiler's messages on the editor's lines (null for none) and the
// uniforms that the pair lacks.

// { failed, text, marks: { stage: [{ line, text }] } }: `running` says
// whether a run goes on to keep the last good pair drawing, `edited` whether
// the build was of the user's edit.
export function describeBuild(report, { running, edited }) {
  const { stage } = report;
  const keeps = running ? '; the last good pair still draws.' : '.';
  if (report.failure.endsWith('Compile')) {
    const [first] = report.messages;
    const said = first ? `: ${first.line === null ? '' : `line ${first.line}: `}${first.text}` : '';
    return { failed: true, text: `${stage} does not compile${said}${keeps}`, marks: { [stage]: report.messages } };
  }
  if (stage) return { failed: true, text: `${stage} cannot be read (is it empty?)${keeps}`, marks: {} };
  if (report.failure === 'link') {
    return { failed: true, text: `The pair does not link: ${report.log.trim().split('\n')[0]}${keeps}`, marks: {} };
  }
  const drawn = edited ? 'Your edit draws.' : '';
  const missing = report.missingUniforms;
  if (missing.length === 0) return { failed: false, text: drawn, marks: {} };
  const lacks =
    `The pair lacks the uniform${missing.length > 1 ? 's' : ''} ${missing.join(', ')}, which the scene ` +
    'sets: each set writes a line to the log.';
  return { failed: true, text: drawn ? `${drawn} ${lacks}` : lacks, marks: {} };
}
