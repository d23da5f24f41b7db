// The one static server of the page's folder, on the loopback only: for
// scripts/web --serve, the browser check and the benchmark. A page on
// 127.0.0.1 runs its programs from the same server under its other name,
// localhost, so that browsers that isolate sites put each run in a process
// of its own.
//
// As a command: node serve.mjs DIR PORT [--probe]. It says where it really
// listens (port 0 takes any free one) and serves until Ctrl+C; a port that
// cannot be taken gets one line and status 2; with --probe it only tries
// the port, so that a port in use is said before a build.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

// A .wasm must come as application/wasm, or the browser will not compile it
// while it streams.
const contentTypes = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json',
  '.txt': 'text/plain; charset=utf-8',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
  '.ico': 'image/x-icon',
  '.zip': 'application/zip',
};

// The file that a request's path names in `root`, or the status that
// answers it: 400 for a path that names no file at all (a NUL, bytes that
// are no text), 404 for one that is not there.
export function fileFor(root, requestPath) {
  let name;
  try {
    name = decodeURIComponent(new URL(requestPath, 'http://localhost').pathname);
  } catch {
    return { status: 400 };
  }
  if (name.includes('\0')) return { status: 400 };
  const file = path.join(root, name.endsWith('/') ? `${name}index.html` : name);
  if (!file.startsWith(root + path.sep)) return { status: 404 };
  try {
    if (fs.statSync(file).isFile()) return { file };
  } catch {
    // Not there: 404.
  }
  return { status: 404 };
}

// Serves `folder` on 127.0.0.1 at `port`; `html` may rewrite each HTML
// file as it goes out, and every request that finds no file is kept in
// `failures`. Gives the address, the failures and a function that stops it.
export async function serveFolder(folder, { port = 0, html = (text) => text } = {}) {
  const root = path.resolve(folder);
  const failures = [];
  const server = http.createServer((request, response) => {
    const { file, status } = fileFor(root, request.url);
    if (!file) {
      // A browser asks for an icon of its own accord; a page need not have one.
      if (!request.url.startsWith('/favicon.ico')) failures.push(`HTTP ${status} for ${request.url}`);
      response.writeHead(status, { 'Content-Type': 'text/plain' }).end(`${status}\n`);
      return;
    }
    const type = contentTypes[path.extname(file)] ?? 'application/octet-stream';
    response.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'no-cache' });
    if (path.extname(file) === '.html') response.end(html(fs.readFileSync(file, 'utf8')));
    else fs.createReadStream(file).pipe(response);
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', resolve);
  });
  return { url: `http://127.0.0.1:${server.address().port}/`, failures, stop: () => server.close() };
}

async function command([folder, port, ...rest]) {
  const probe = rest[0] === '--probe';
  let served;
  try {
    served = await serveFolder(folder, { port: Number(port) });
  } catch (error) {
    const why = { EADDRINUSE: 'the port is in use', EACCES: 'the port is not open to this user' }[error.code];
    console.error(`scripts/web --serve: cannot listen on 127.0.0.1:${port}: ${why ?? error.message}`);
    process.exit(2);
  }
  if (probe) {
    served.stop();
    return;
  }
  console.log(`Serving ${folder} at ${served.url} (Ctrl+C ends it)`);
  process.on('SIGINT', () => process.exit(0));
}

if (process.argv[1] === fileURLToPath(import.meta.url)) command(process.argv.slice(2));
