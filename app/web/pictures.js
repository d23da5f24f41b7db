// "Save picture": each click saves the next frame drawn, as a PNG at the
// canvas's backing store's size, exactly as drawn; or says why it cannot.
const whyNot = {
  starting: 'the run has not drawn yet',
  'context-lost': 'the browser took the GL context away',
};

export function createPictures({ say, download }) {
  let run = null;
  let saved = 0;
  return {
    attach(next) {
      run = next;
    },
    async save() {
      const current = run;
      if (current?.state !== 'running') {
        const why = whyNot[current?.state] ?? whyNot[current?.status] ?? 'no run draws';
        say(`No picture was saved: ${why}.`);
        return;
      }
      try {
        const picture = await current.ask('picture');
        download(picture, `quorvel-${++saved}.png`);
        say('');
      } catch (failed) {
        say(`No picture was saved: ${failed.message}.`);
      }
    },
  };
}
