// The editor of one shader stage: CodeMirror 6 with a C-like mode for GLSL
// and the lint gutter for the compiler's messages.
import { defaultKeymap, history, historyKeymap, indentWithTab } from '@codemirror/commands';
import { StreamLanguage, bracketMatching, defaultHighlightStyle, syntaxHighlighting } from '@codemirror/language';
import { shader } from '@codemirror/legacy-modes/mode/clike';
import { lintGutter, setDiagnostics } from '@codemirror/lint';
import { Compartment, EditorState, Transaction } from '@codemirror/state';
import { EditorView, highlightActiveLine, keymap, lineNumbers } from '@codemirror/view';

// Whether the editor takes edits, one compartment for every editor.
const locked = new Compartment();

// An editor in `parent` that calls `changed(text, immediate)` on every
// edit; `immediate` for a number moved by its control, typing otherwise.
export function createEditor(parent, changed) {
  return new EditorView({
    parent,
    state: EditorState.create({
      extensions: [
        locked.of(EditorState.readOnly.of(false)),
        lineNumbers(),
        lintGutter(),
        history(),
        bracketMatching(),
        highlightActiveLine(),
        StreamLanguage.define(shader),
        syntaxHighlighting(defaultHighlightStyle),
        keymap.of([...defaultKeymap, ...historyKeymap, indentWithTab]),
        EditorView.updateListener.of((update) => {
          if (update.docChanged && !update.transactions.every((t) => t.isUserEvent('set'))) {
            changed(update.state.doc.toString(), update.transactions.some((t) => t.isUserEvent('input.number')));
          }
        }),
      ],
    }),
  });
}

export function textOf(view) {
  return view.state.doc.toString();
}

// Puts `text` in the editor without counting it as an edit.
export function setText(view, text) {
  view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text }, userEvent: 'set' });
}

export function lockEditor(view, lock) {
  view.dispatch({ effects: locked.reconfigure(EditorState.readOnly.of(lock)) });
}

// Puts in the `changes` ({ from, to, insert }, null for none) as the user's
// number moved; `history` false keeps them out of the undo history.
export function replaceText(view, changes, { history }) {
  const { doc } = view.state;
  const real = changes.filter((change) => change && doc.sliceString(change.from, change.to) !== change.insert);
  if (real.length === 0) return;
  view.dispatch({ changes: real, userEvent: 'input.number', annotations: Transaction.addToHistory.of(history) });
}

// Marks `messages` ({ line, severity, text }, lines from 1) on their lines;
// lines beyond the text go on the last one, and a message without a line on
// the first.
export function markLines(view, messages) {
  const { doc } = view.state;
  const diagnostics = messages.map(({ line, severity = 'error', text }) => {
    const at = doc.line(Math.min(Math.max(line ?? 1, 1), doc.lines));
    return { from: at.from, to: at.to, severity, message: text };
  });
  view.dispatch(setDiagnostics(view.state, diagnostics));
}
