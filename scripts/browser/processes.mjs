// What a tree of processes holds and has spent, from /proc: the browsers'
// memory for the browser check, their CPU time and page faults for the
// benchmark.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';

const ticksPerSecond = Number(execFileSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }));

// Every process's parent, CPU time in milliseconds and minor faults, by pid.
function processTable() {
  const table = new Map();
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      // The name in parentheses may hold spaces; fields count from the state,
      // the third: parent 4, minor faults 10, user and system time 14 and 15.
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat
        .slice(stat.lastIndexOf(')') + 2)
        .split(' ')
        .map(Number);
      table.set(Number(pid), {
        parent: fields[1],
        faults: fields[7],
        cpuMs: ((fields[11] + fields[12]) * 1000) / ticksPerSecond,
      });
    } catch {
      // Ended between the listing and the read.
    }
  }
  return table;
}

// The processes under `roots`, and the roots themselves unless `rootsToo` is
// false, with what each has spent so far: { pid: { parent, faults, cpuMs } }.
export function processTree(roots, { rootsToo = true } = {}) {
  const table = processTable();
  const tree = new Set(roots);
  for (let grown = true; grown; ) {
    grown = false;
    for (const [pid, { parent }] of table) {
      if (!tree.has(parent) || tree.has(pid)) continue;
      tree.add(pid);
      grown = true;
    }
  }
  if (!rootsToo) for (const root of roots) tree.delete(root);
  return new Map([...tree].filter((pid) => table.has(pid)).map((pid) => [pid, table.get(pid)]));
}

// The node process's children.
export const children = () =>
  [...processTable()].filter(([, { parent }]) => parent === process.pid).map(([pid]) => pid);

// The proportional set size of the processes, in bytes: what they hold of
// memory, shared pages divided among those that share them.
export function memoryOf(tree) {
  let kilobytes = 0;
  for (const pid of tree.keys()) {
    try {
      kilobytes += Number(/^Pss:\s+(\d+) kB/m.exec(fs.readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'))?.[1] ?? 0);
    } catch {
      // Ended while being read.
    }
  }
  return kilobytes * 1024;
}
