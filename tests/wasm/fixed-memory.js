#!/usr/bin/env node
// The conversation module's memory never grows, so a view of the heap that a
// host takes before a call stays valid after it (nativeshiori reads the
// response length through one), and a request too large for that memory is
// answered with the module's "400 Bad Request" instead of aborting it; the
// next request is answered as usual.
//
// Usage: fixed-memory.js WASM_DIR GHOST_DIR
'use strict';

const fs = require('fs');
const path = require('path');
const NativeShiori = require('nativeshiori');

async function main([wasmDir, ghostDir]) {
  const M = await require(path.resolve(wasmDir, 'shiori.js'))();
  const shiori = new NativeShiori({Module: M, FS: M.FS, NODEFS: M.NODEFS});
  const storage = {};
  for (const name of fs.readdirSync(ghostDir)) {
    const file = path.join(ghostDir, name);
    if (fs.statSync(file).isFile()) storage[name] = fs.readFileSync(file);
  }
  shiori.push('/ghost/', storage);
  shiori.load('/ghost/');
  const heap = M.HEAPU8.buffer;
  const request = 'GET Sentence SHIORI/2.5\r\nSender: crow\r\nEvent: OnMouseDoubleClick\r\n' +
                  'Reference0: 1\r\n\r\n';
  const before = shiori.request(request);

  // Three quarters of the memory as one request: the host's block fits, the
  // module's copy of it does not.
  const size = Math.floor(heap.byteLength / 4 * 3);
  const block = M._malloc(size);
  const length = M._malloc(4);
  if (!block || !length) throw new Error(`the host could not allocate ${size} bytes`);
  M.HEAPU8.fill(0x41, block, block + size);
  M.HEAPU8.set(Buffer.from(request.replace(/\r\n\r\n$/, '\r\nX: ')), block);
  M.HEAP32[length >> 2] = size;
  const answer = M._request(block, length);
  const huge = Buffer.from(M.HEAPU8.subarray(answer, answer + M.HEAP32[length >> 2])).toString();
  M._free(answer);
  M._free(length);

  const after = shiori.request(request);
  const failures = [];
  if (M.HEAPU8.buffer !== heap) failures.push('the memory grew');
  if (huge !== 'SHIORI/2.5 400 Bad Request\r\n\r\n') failures.push(`huge request: ${JSON.stringify(huge)}`);
  if (!before.startsWith('SHIORI/2.5 200 OK\r\n')) failures.push(`first: ${JSON.stringify(before)}`);
  if (after !== before) failures.push(`after the huge request: ${JSON.stringify(after)}`);
  failures.forEach((f) => console.log(f));
  console.log(`memory ${heap.byteLength} bytes; a ${size}-byte request answered ${JSON.stringify(huge)}`);
  return failures.length === 0 ? 0 : 1;
}

main(process.argv.slice(2)).then((code) => process.exit(code), (e) => {
  console.error(e && e.stack ? e.stack : e);
  process.exit(1);
});
