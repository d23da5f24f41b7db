// logfile.txt under the canvas as it grows: its newest part on the page and
// the whole log as a download, made when it is asked for (the log may be
// megabytes).
import { LogTail } from './log.js';

export function createLogPane({ shown, leftOut, download }) {
  let log = new LogTail();
  let size = 0;

  function show() {
    const following = shown.scrollTop + shown.clientHeight >= shown.scrollHeight - 4;
    shown.textContent = log.tail;
    if (following) shown.scrollTop = shown.scrollHeight;
    leftOut.hidden = log.leftOut <= 0;
    leftOut.textContent =
      `The log's first ${log.leftOut} lines are left out here; the download has all ` +
      `${log.lines} (${Math.round(size / 1024)} kB).`;
  }

  download.addEventListener('click', () => {
    if (download.href.startsWith('blob:')) URL.revokeObjectURL(download.href);
    download.href = URL.createObjectURL(new Blob(log.chunks, { type: 'text/plain;charset=utf-8' }));
  });

  return {
    // Each run writes its log afresh.
    attach(run) {
      log = new LogTail();
      size = 0;
      show();
      run.addEventListener('log', ({ detail }) => {
        log.add(detail.text);
        size = detail.size;
        show();
      });
    },
  };
}
