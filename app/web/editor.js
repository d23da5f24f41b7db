// The editor of one shader stage: CodeMirror 6 with a C-like mode for GLSL
// and the lint gutter for the compiler's messages.
import { defaultKeymap, history, historyKeymap, indentWithTab, isolateHistory } from '@codemirror/commands';
import { StreamLanguage, bracketMatching, defaultHighlightStyle, syntaxHighlighting } from '@codemirror/language';
import { shader } from '@codemirror/legacy-modes/mode/clike';
import { lintGutter, setDiagnostics } from '@codemirror/lint';
import { Annotation, Compartment, EditorState, StateEffect, Transaction } from '@codemirror/state';
import { EditorView, highlightActiveLine, keymap, lineNumbers } from '@codemirror/view';

// Whether the editor takes edits, one compartment for every editor.
const locked = new Compartment();
// Marks the moves of one drag of a number's control, which the history
// joins into one step.
const dragMove = Annotation.define();

// The undo history, with the moves of a drag as one step: each move is a
// change of its own, so that undo gives back exactly what each literal held
// (changes kept out of the history would instead be mapped over the older
// steps that wrote the same literal, and undoing those would then put the
// old value beside the new one).
export const editHistory = history({ joinToEvent: (tr, adjacent) => adjacent || tr.annotation(dragMove) === true });

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
        editHistory,
        bracketMatching(),
        highlightActiveLine(),
        StreamLanguage.define(shader),
        syntaxHighlighting(defaultHighlightStyle),
        keymap.of([...defaultKeymap, ...historyKeymap, indentWithTab]),
        EditorView.updateListener.of((update) => {
          if (update.docChanged && !update.transactions.every((t) => t.isUserEvent('set'))) {
            changed(
              update.state.doc.toString(),
              update.transactions.some((t) => t.isUserEvent('input.number')),
            );
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

// Calls `changed(text, how)` after each change of the text: how is 'own'
// for numbers moved (by the functions below), 'history' for undo and redo,
// 'other' for anything else.
export function followEdits(view, changed) {
  const listener = EditorView.updateListener.of((update) => {
    if (!update.docChanged) return;
    const { transactions } = update;
    const how = transactions.some(
      (t) =>
        !t.changes.empty &&
        !t.isUserEvent('undo') &&
        !t.isUserEvent('redo') &&
        !t.annotation(dragMove) &&
        !t.isUserEvent('input.number'),
    )
      ? 'other'
      : transactions.some((t) => t.isUserEvent('undo') || t.isUserEvent('redo'))
        ? 'history'
        : 'own';
    changed(update.state.doc.toString(), how);
  });
  view.dispatch({ effects: StateEffect.appendConfig.of(listener) });
}

// Puts in the `changes` ({ from, to, insert }) as numbers set, one step of
// the undo history.
export function replaceText(view, changes) {
  if (changes.length === 0) return;
  view.dispatch({ changes, userEvent: 'input.number', annotations: isolateHistory.of('full') });
}

// One move of a drag (`drag`: { time, first, last }): the moves of one drag
// carry its start time, so that the history joins them however long the
// hand holds the control, and the first and last keep it apart from the
// steps around it.
export function moveNumbers(view, changes, { time, first, last }) {
  const isolate = first && last ? 'full' : first ? 'before' : last ? 'after' : null;
  if (changes.length === 0 && !isolate) return;
  const moved = view.state.update({
    changes,
    annotations: [Transaction.time.of(time), dragMove.of(true), ...(isolate ? [isolateHistory.of(isolate)] : [])],
  });
  // The history joins only changes without a user event, so the one that
  // tells the page a number moved comes on an empty transaction of its own,
  // in the same update.
  view.dispatch(changes.length ? [moved, moved.state.update({ userEvent: 'input.number' })] : [moved]);
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
