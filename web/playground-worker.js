// The module runs here, off the page's thread: a request that takes long
// never freezes the page, and the page can stop it (it ends this worker).
// Each message is one step; its answer carries the same id.
'use strict';
importScripts('playground.js');

const ghostDir = '/ghost/';
const ready = createPlayground();

function bytesOut(M, pointer) {
  return M.HEAPU8.slice(pointer, pointer + M._pg_text_length());
}

function withBytes(M, bytes, work) {
  const p = M._malloc(bytes.length + 1);
  try {
    M.HEAPU8.set(bytes, p);
    M.HEAPU8[p + bytes.length] = 0;
    return work(p, bytes.length);
  } finally {
    M._free(p);
  }
}

// The ghost folder emptied and filled with `files` (name -> bytes); the
// files the module wrote itself (values.dat, sealed dictionaries) go too.
function writeGhost(M, files) {
  if (M.FS.analyzePath(ghostDir).exists) {
    for (const name of M.FS.readdir(ghostDir)) {
      if (name !== '.' && name !== '..') M.FS.unlink(ghostDir + name);
    }
  } else {
    M.FS.mkdir(ghostDir);
  }
  for (const [name, bytes] of Object.entries(files)) M.FS.writeFile(ghostDir + name, bytes);
}

const steps = {
  // Check the files, then load them: diagnostics, the OnLoad talk, why.
  reload(M, { files, seed }) {
    writeGhost(M, files);
    const dir = new TextEncoder().encode(ghostDir);
    const diagnostics = withBytes(M, dir, (p) => bytesOut(M, M._pg_check(p)));
    const onload = withBytes(M, dir, (p) => bytesOut(M, M._pg_load(p, seed >>> 0)));
    return { diagnostics, onload, why: bytesOut(M, M._pg_why()) };
  },
  request(M, { bytes }) {
    const response = withBytes(M, bytes, (p, n) => bytesOut(M, M._pg_request(p, n)));
    return { response, why: bytesOut(M, M._pg_why()) };
  },
  limit(M) { return { limit: M._pg_request_limit() }; },
};

onmessage = async (event) => {
  const { id, step } = event.data;
  try {
    const M = await ready;
    postMessage({ id, ok: true, result: steps[step](M, event.data) });
  } catch (e) {
    postMessage({ id, ok: false, error: String(e && e.message ? e.message : e) });
  }
};
