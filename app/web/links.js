// The page's address and the pair it carries: "Share this pair" puts the
// editors' pair into it; a pair that comes with an address waits in the
// editors until the user runs it; an address without a pair brings the
// shipped pair back in place of a linked one.
import { addressLimit, linkFor, linkPrefix, pairOf, stageLimit } from './link.js';

const notes = {
  'too-large':
    `The page's address holds more than the page takes (over ${stageLimit.toLocaleString('en')} ` +
    'characters a stage), so it was not read.',
  unreadable: "The page's address holds no pair that it can read.",
};

// `pair` is the page's record of which pair runs ({ own, linked, waiting,
// note }); `editorPair()` gives the editors' texts by stage; `showPair`
// puts a pair in the editors, `describe` says which pair runs;
// `settings()` gives the sun and the clock that a link carries, and
// `take(settings)` takes those that one brings.
export function createLinks({ pair, stages, editorPair, showPair, showRunningPair, describe, settings, take, say }) {
  // The address whose pair the page took last, so that each is followed once.
  let followed = '';

  return {
    async share() {
      const link = await linkFor(editorPair(), settings());
      if (link.refused === 'stage-too-large') {
        say(
          `A stage of ${link.size.toLocaleString('en')} characters is more than a link carries ` +
            `(${stageLimit.toLocaleString('en')}): use "Save" for each stage instead.`,
          true,
        );
      } else if (link.refused) {
        say(
          `This pair makes an address of ${link.size.toLocaleString('en')} characters, more than browsers ` +
            `open (${addressLimit.toLocaleString('en')}): use "Save" for each stage instead.`,
          true,
        );
      } else {
        history.replaceState(null, '', link.hash);
        followed = location.hash;
        say("The page's address now holds this pair: copy it from the address bar to share it.", false);
      }
    },

    // Takes the pair that the address holds into the editors to wait for the
    // user, or, when it holds none, leaves a pair that came with an earlier
    // address. Says whether a run must start for it.
    async follow() {
      if (location.hash === followed) return false;
      const hash = location.hash;
      followed = hash;
      const found = await pairOf(hash, stages);
      // A newer address came while this one was read: it is followed instead.
      if (followed !== hash) return false;
      pair.note = notes[found?.refused] ?? '';
      if (found?.pair) {
        take(found.settings);
        pair.waiting = found.pair;
        showPair(pair.waiting);
        describe();
        return false;
      }
      const linkedRuns = pair.linked;
      pair.waiting = null;
      pair.linked = false;
      if (linkedRuns) pair.own = {};
      showRunningPair();
      describe();
      return linkedRuns;
    },

    // The linked pair that waits runs, as the editors now hold it.
    runLinked() {
      const texts = editorPair();
      pair.own = Object.fromEntries(stages.map((stage) => [stage, { text: texts[stage], name: stage }]));
      pair.waiting = null;
      pair.linked = true;
      pair.note = '';
    },

    // A pair chosen otherwise replaces the linked one, and the address no
    // longer names it.
    leave() {
      pair.waiting = null;
      pair.linked = false;
      pair.note = '';
      if (location.hash.startsWith(linkPrefix)) history.replaceState(null, '', location.pathname + location.search);
      followed = location.hash;
    },
  };
}
