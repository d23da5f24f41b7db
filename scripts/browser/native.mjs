// The native program in a real window on the X display of the environment,
// driven as a person would through xdotool, with its title, screenshots and
// log read back.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { readPicture } from './pictures.mjs';
import { pause, pollUntil } from './timing.mjs';

export const repo = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
export const shippedPair = ['Quorvel.vert', 'Quorvel.frag'].map((name) => path.join(repo, 'shaders', name));
export const frameRateTitle = /^Quorvel [0-9.]+ \(([0-9]+(?:\.[0-9]+)?) FPS\)$/;

// A title with a measured rate: the first one, set with the first frame,
// says 0.0 FPS.
export function showsFrameRate(title) {
  return Number(frameRateTitle.exec(title)?.[1] ?? 0) > 0;
}

function xdotool(...args) {
  return execFileSync('xdotool', args, { encoding: 'utf8', timeout: 10000 }).trim();
}

export class NativeProgram {
  // Starts the program in a folder of its own with the given pair and waits
  // for its window.
  static async start(binary, pair = shippedPair) {
    const program = new NativeProgram();
    program.folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-native-'));
    for (const file of pair) fs.copyFileSync(file, path.join(program.folder, path.basename(file)));
    program.child = spawn(path.resolve(binary), [], { cwd: program.folder, stdio: 'ignore' });
    program.exit = new Promise((resolve) => program.child.once('exit', (code, signal) => resolve(code ?? signal)));
    program.window = await pollUntil(20000, () => {
      try {
        return xdotool('search', '--onlyvisible', '--pid', String(program.child.pid)).split('\n')[0];
      } catch {
        return '';
      }
    });
    if (!program.window) {
      program.child.kill('SIGKILL');
      throw new Error(`the native program showed no window; log: ${program.log()}`);
    }
    return program;
  }

  title() {
    return xdotool('getwindowname', this.window);
  }

  // Waits for a title with a measured frame rate and returns it, or '' past
  // the limit.
  async waitForFrameRate(limitMs = 20000) {
    return pollUntil(limitMs, () => {
      const title = this.title();
      return showsFrameRate(title) ? title : '';
    });
  }

  shot(file) {
    execFileSync('import', ['-window', this.window, file]);
    return readPicture(file);
  }

  moveMouse(x, y) {
    xdotool('mousemove', '--window', this.window, '--sync', String(x), String(y));
  }

  setLeftButton(down) {
    xdotool(down ? 'mousedown' : 'mouseup', '1');
  }

  resize(width, height) {
    xdotool('windowsize', '--sync', this.window, String(width), String(height));
  }

  log() {
    try {
      return fs.readFileSync(path.join(this.folder, 'logfile.txt'), 'utf8');
    } catch {
      return '';
    }
  }

  // Escape, and the exit status; a program still running after 20 s is
  // killed and gives 'killed'.
  async quit() {
    xdotool('windowfocus', '--sync', this.window);
    xdotool('key', 'Escape');
    const status = await Promise.race([this.exit, pause(20000).then(() => 'killed')]);
    if (status === 'killed') this.child.kill('SIGKILL');
    return status;
  }

  remove() {
    if (this.child.exitCode === null && this.child.signalCode === null) this.child.kill('SIGKILL');
    fs.rmSync(this.folder, { recursive: true, force: true });
  }
}
