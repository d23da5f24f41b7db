// The pair's two stages as the page names them: files taken by their
// ending, and the sentence that says which pair runs.
export const stages = ['Quorvel.vert', 'Quorvel.frag'];
const kinds = { 'Quorvel.vert': 'vertex', 'Quorvel.frag': 'fragment' };

// Which of the files `names` is which stage, by its ending in any case:
// { chosen: { stage: index } }, or { refused: sentence } for none or for
// two files of one stage.
export function stagesOf(names) {
  const found = {};
  names.forEach((name, index) => {
    const ending = /\.(vert|frag)$/i.exec(name);
    if (!ending) return;
    const stage = `Quorvel.${ending[1].toLowerCase()}`;
    found[stage] = [...(found[stage] ?? []), index];
  });
  if (Object.keys(found).length === 0) return { refused: 'Give a file whose name ends in .vert or .frag.' };
  for (const [stage, given] of Object.entries(found)) {
    if (given.length === 1) continue;
    const both = given.length === 2 ? 'both' : 'all';
    return {
      refused:
        `${given.map((index) => names[index]).join(' and ')} are ${both} ${kinds[stage]} stages: ` +
        'choose one of them.',
    };
  }
  return { chosen: Object.fromEntries(Object.entries(found).map(([stage, [index]]) => [stage, index])) };
}

// Which pair runs, in words: `own` holds the user's stages ({ name, edited }
// by stage); `linked` says that they came with the page's address,
// `waiting` that a linked pair waits in the editors to be run, and
// `sharesPage` that a run would share the page's process.
export function pairSentence(own, { linked, waiting, sharesPage }) {
  const stagesOwn = stages.filter((stage) => stage in own);
  if (waiting) {
    const risk = sharesPage
      ? " This browser runs a pair in the page's own process: one that never finishes a frame " +
        'stops the page too, until you close the tab.'
      : '';
    return (
      'The pair in the editors came with the page\'s link and has not run: read it, then "Run this pair" ' +
      `runs it. Until then ${stagesOwn.length ? 'the pair from before' : 'the shipped pair'} runs.${risk}`
    );
  }
  if (stagesOwn.length === 0) return 'The shipped pair runs.';
  const told = stagesOwn.map((stage) => {
    const { name, edited } = own[stage];
    if (edited) return `edited ${stage}`;
    return name === stage ? stage : `${name} as ${stage}`;
  });
  const shipped = stages.find((stage) => !(stage in own));
  const text =
    `Your ${told.join(' and ')} ${told.length === 1 ? 'runs' : 'run'}` +
    `${shipped ? ` with the shipped ${shipped}` : ''}.`;
  return linked ? `${text} This pair came with the page's link: it is not the shipped one.` : text;
}
