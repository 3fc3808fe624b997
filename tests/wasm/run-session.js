#!/usr/bin/env node
// The scripted host of the WebAssembly modules under Node.js: the
// conversation module through the nativeshiori loader, the translation
// module through its own exports. It copies a ghost folder into the
// emscripten file system (MEMFS), runs a script of requests and prints the
// transcript in the very format of the native scripted host, so the two can
// be compared byte for byte. Afterwards the ghost folder as the module left
// it in the file system (values.dat, sealed dictionaries) is copied back out.
//
// Usage: run-session.js WASM_DIR GHOST_DIR SCRIPT TRANSCRIPT [--time N]
//   WASM_DIR    the build folder with shiori.js/.wasm and makoto.js/.wasm
//   GHOST_DIR   a ghost folder on disk; the files the session leaves in the
//               emscripten file system are written back into it
//   --time N    after the script, its requests N times more, and the
//               median time of one request on stderr
// GHOST_FROZEN_CLOCK (milliseconds since 1970) stands in for the clock
// when set, as a frozen clock of the native side would.
'use strict';

const fs = require('fs');
const path = require('path');

let NativeShiori;
try {
  NativeShiori = require('nativeshiori');
} catch (e) {
  console.error('run-session: the npm package nativeshiori is missing; ' +
                'scripts/bootstrap installs it (NODE_PATH must name its node_modules)');
  process.exit(2);
}

const kMountPoint = '/ghost/';

if (process.env.GHOST_FROZEN_CLOCK) {
  const frozen = Number(process.env.GHOST_FROZEN_CLOCK);
  Date.now = () => frozen;
}

// Escapes a response as the native scripted host does: \r, \n plus a real
// line break, \\, and \xHH for the other control and non-ASCII bytes.
function escape(bytes) {
  let out = '';
  for (const b of bytes) {
    if (b === 0x0D) out += '\\r';
    else if (b === 0x0A) out += '\\n\n';
    else if (b === 0x5C) out += '\\\\';
    else if (b < 0x20 || b >= 0x7F) out += '\\x' + b.toString(16).toUpperCase().padStart(2, '0');
    else out += String.fromCharCode(b);
  }
  return out;
}

// The script's steps: {to: 'shiori'|'makoto'|'makoto request', bytes}.
// Requests are runs of non-empty lines joined with CR LF plus a final CR LF;
// "#" lines are comments; "makoto: TEXT" sends TEXT to the translation
// module; "makoto-request: A|B|..." sends it the request of the lines A, B,
// ... (each "|" standing for CR LF).
function scriptSteps(bytes) {
  const steps = [];
  let request = '';
  const flush = () => {
    if (request) steps.push({to: 'shiori', bytes: Buffer.from(request, 'latin1')});
    request = '';
  };
  for (let line of bytes.toString('latin1').split('\n')) {
    if (line.endsWith('\r')) line = line.slice(0, -1);
    if (line.startsWith('#')) continue;
    if (line.startsWith('makoto: ')) {
      flush();
      steps.push({to: 'makoto', bytes: Buffer.from(line.slice(8), 'latin1')});
    } else if (line.startsWith('makoto-request: ')) {
      flush();
      const lines = line.slice(16).replace(/\|/g, '\r\n');
      steps.push({to: 'makoto request', bytes: Buffer.from(lines, 'latin1')});
    } else if (line === '') {
      flush();
    } else {
      request += line + '\r\n';
    }
  }
  flush();
  return steps;
}

// Every file under `dir`, by path relative to it, for nativeshiori's push.
function readTree(dir, prefix = '', storage = {}) {
  for (const entry of fs.readdirSync(dir, {withFileTypes: true})) {
    const full = path.join(dir, entry.name);
    const rel = prefix + entry.name;
    if (entry.isDirectory()) readTree(full, rel + '/', storage);
    else if (entry.isFile()) storage[rel] = new Uint8Array(fs.readFileSync(full));
  }
  return storage;
}

// Copies the module's folder in the emscripten file system back to disk.
function writeTree(shiori, dir) {
  const storage = shiori.pull(kMountPoint);
  for (const rel of Object.keys(storage)) {
    const target = path.join(dir, rel);
    fs.mkdirSync(path.dirname(target), {recursive: true});
    fs.writeFileSync(target, Buffer.from(storage[rel]));
  }
}

// A block of the module's heap holding `bytes` (no NUL), as a host makes it.
function moduleBlock(M, bytes) {
  const block = M._malloc(bytes.length || 1);
  M.HEAPU8.set(bytes, block);
  return block;
}

// One call of the translation module's execute or request (`fn`), the way a
// host makes it: the module frees the block handed in and answers a new one
// of the length it writes back. Gives {text, next: the byte after the text},
// or null when it gave no block.
function callMakoto(M, fn, bytes) {
  const length = M._malloc(4);
  M.HEAP32[length >> 2] = bytes.length;
  const answer = fn(moduleBlock(M, bytes), length);
  const size = M.HEAP32[length >> 2];
  const result = answer ? {text: Buffer.from(M.HEAPU8.subarray(answer, answer + size)),
                           next: M.HEAPU8[answer + size]} : null;
  M._free(answer);
  M._free(length);
  return result;
}

// What the native scripted host prints for one answer; `nul` when the block
// must end in a NUL after the text.
function printAnswer(out, label, answer, nul) {
  if (answer === null) {
    out.push(`!! ${label} gave no block`);
    return null;
  }
  out.push(`<< ${label} (${answer.text.length} bytes)`, escape(answer.text));
  if (nul && answer.next !== 0) out.push('!! block does not end in NUL');
  return answer.text;
}

// A talk script through execute and, when the module exports request, as a
// "MAKOTO/2.0" request, whose answer must carry the same rewritten script.
function translate(K, out, script) {
  const executed = printAnswer(out, 'makoto', callMakoto(K, K._execute, script), false);
  if (!K._request) return;
  const request = Buffer.concat([Buffer.from('EXECUTE MAKOTO/2.0\r\nSender: host\r\n' +
      'Charset: Shift_JIS\r\nString: '), script, Buffer.from('\r\n\r\n')]);
  const answer = printAnswer(out, 'makoto request', callMakoto(K, K._request, request), true);
  const expected = Buffer.concat([Buffer.from('MAKOTO/2.0 200 OK\r\nString: '),
                                  executed || Buffer.alloc(0), Buffer.from('\r\n\r\n')]);
  if (!answer || !answer.equals(expected)) {
    out.push('!! the request\'s answer does not carry execute\'s result');
  }
}

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

async function main(argv) {
  if (argv.length !== 4 && !(argv.length === 6 && argv[4] === '--time')) {
    console.error('usage: run-session.js WASM_DIR GHOST_DIR SCRIPT TRANSCRIPT [--time N]');
    return 2;
  }
  const [wasmDir, ghostDir, scriptFile, transcriptFile] = argv;
  const createShiori = require(path.resolve(wasmDir, 'shiori.js'));
  const createMakoto = require(path.resolve(wasmDir, 'makoto.js'));
  const S = await createShiori();
  const K = await createMakoto();
  const shiori = new NativeShiori({Module: S, FS: S.FS, PATH: S.PATH, ERRNO_CODES: S.ERRNO_CODES,
                                   NODEFS: S.NODEFS, IDBFS: S.IDBFS});
  shiori.push(kMountPoint, readTree(ghostDir));
  K.FS.mkdir('/ghost');
  K.FS.mount(K.NODEFS, {root: path.resolve(ghostDir)}, '/ghost');

  const out = [];
  out.push(`load shiori: ${shiori.load(kMountPoint)}`);
  const makotoDir = moduleBlock(K, Buffer.from(kMountPoint));
  out.push(`load makoto: ${K._load(makotoDir, kMountPoint.length)}`);
  K._free(makotoDir);  // makoto's load leaves the block to the host

  const steps = scriptSteps(fs.readFileSync(scriptFile));
  for (const step of steps) {
    if (step.to === 'makoto') {
      translate(K, out, step.bytes);
    } else if (step.to === 'makoto request') {
      if (K._request) printAnswer(out, 'makoto request', callMakoto(K, K._request, step.bytes), true);
    } else {
      const answer = Buffer.from(shiori.request(Array.from(step.bytes), true), 'latin1');
      out.push(`<< shiori (${answer.length} bytes)`, escape(answer));
    }
  }

  const rounds = argv[4] === '--time' ? Number(argv[5]) : 0;
  if (rounds > 0) {
    const requests = steps.filter((s) => s.to === 'shiori').map((s) => Array.from(s.bytes));
    const times = [];
    for (let i = 0; i < rounds; ++i) {
      for (const request of requests) {
        const start = process.hrtime.bigint();
        shiori.request(request, true);
        times.push(Number(process.hrtime.bigint() - start) / 1000);
      }
    }
    console.error(`one request: median ${median(times).toFixed(1)} us of ${times.length}`);
  }

  out.push(`unload shiori: ${shiori.unload()}`);
  out.push(`unload makoto: ${K._unload()}`);
  K.FS.unmount('/ghost');
  fs.writeFileSync(transcriptFile, Buffer.from(out.join('\n') + '\n', 'latin1'));
  writeTree(shiori, ghostDir);
  return 0;
}

main(process.argv.slice(2)).then((code) => process.exit(code), (e) => {
  console.error(e && e.stack ? e.stack : e);
  process.exit(1);
});
