// "Record": a film of the run, of one turn, a stretch of its pair's clock,
// or both, as WebM where the browser writes it and as an animated GIF in
// every browser, with its progress and a way to stop.
import { gifSink, webmSink, webmWritable } from './films.js';
import { film, filmFrameMicroseconds, filmPlan, filmSteps } from './recording.js';

const kinds = { turn: 'one turn', clock: 'a stretch of the clock', both: 'a turn with the clock' };

// `form` holds the film's kind and format, Record and Stop; `say(text)`
// tells its progress; `flush` brings the user's edits in first. The
// picture is brought into view first: a browser stops drawing a frame from
// another site that nobody sees.
export function createRecorder(form, { picture, say, download, flush }) {
  let run = null;
  let stopping = false;
  const [kind, format, record, stop] = ['kind', 'format', 'record', 'stop'].map((name) =>
    form.querySelector(`[name=${name}]`),
  );
  stop.addEventListener('click', () => {
    stopping = true;
  });

  async function recordFilm() {
    const current = run;
    if (current?.state !== 'running' || current.holder) return;
    const [width, height] = current.size;
    const sink = format.value === 'webm' ? webmSink(width, height) : gifSink(width, height);
    const name = `quorvel-${kind.value === 'both' ? 'turn-and-clock' : kind.value}.${format.value}`;
    stopping = false;
    stop.hidden = false;
    picture.scrollIntoView({ block: 'nearest' });
    try {
      const made = await film(current, {
        plan: filmPlan(kind.value),
        sinks: [sink],
        progress: (step, steps) => say(`Recording ${kinds[kind.value]}: frame ${step + 1} of ${steps}.`),
        stopped: () => stopping,
        flush,
      });
      if (made) {
        download(made[0], name);
        say(
          `Recorded ${kinds[kind.value]}: ${filmSteps} frames at ${1e6 / filmFrameMicroseconds} frames a second, ` +
            `saved as ${name}.`,
        );
      }
    } catch (stopped) {
      say(`The recording stopped: ${stopped.message}.`);
    } finally {
      sink.close();
      stop.hidden = true;
    }
  }
  record.addEventListener('click', recordFilm);

  // WebM where the browser writes it; GIF everywhere else.
  webmWritable(400, 300).then((writable) => {
    format.querySelector('[value=webm]').disabled = !writable;
    format.value = writable ? 'webm' : 'gif';
  });

  return {
    attach(next) {
      run = next;
    },
  };
}
