// The pair's two stages in editors, each with its Save button, which gives
// the stage as a file under its own name.
import { download } from './download.js';
import { createEditor, lockEditor, markLines, setText, textOf } from './editor.js';

// `edited(stage, text, immediate)` is told of each edit of the user's.
export function createStageEditors(stages, edited) {
  const views = {};
  for (const stage of stages) {
    const section = document.querySelector(`[data-stage="${stage}"]`);
    views[stage] = createEditor(section.querySelector('.editor'), (text, now) => edited(stage, text, now));
    const save = () => download(new Blob([textOf(views[stage])], { type: 'text/plain;charset=utf-8' }), stage);
    section.querySelector('.save').addEventListener('click', save);
  }
  return {
    views,
    text: (stage) => textOf(views[stage]),
    texts: () => Object.fromEntries(stages.map((stage) => [stage, textOf(views[stage])])),
    // A pair comes into the editors, as no edit of the user's.
    show(texts) {
      for (const stage of stages) {
        if (textOf(views[stage]) !== texts[stage]) setText(views[stage], texts[stage]);
      }
    },
    // The compiler's messages on their lines, by stage.
    mark(marks) {
      for (const stage of stages) markLines(views[stage], marks[stage] ?? []);
    },
    lock(busy) {
      for (const stage of stages) lockEditor(views[stage], busy);
    },
  };
}
