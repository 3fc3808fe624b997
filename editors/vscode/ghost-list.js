'use strict';
// Which files a ghost's list file, tamune.ini, names as dictionaries. No
// editor API is used here, so the tests run it without an editor.
const fs = require('fs');
const path = require('path');

const LIST_FILE = 'tamune.ini';

// The dictionary names of a list file, in order. The module reads the list
// as Shift_JIS bytes with CR LF line ends (a lone LF stays inside a line);
// it skips empty lines and lines that begin with "#", trims nothing, and
// takes the name before the first comma (",e" seals the dictionary).
function listedNames(bytes) {
  const text = new TextDecoder('shift_jis').decode(bytes);
  const names = [];
  for (const line of text.split('\r\n')) {
    if (line === '' || line.startsWith('#')) continue;
    const comma = line.indexOf(',');
    const name = comma < 0 ? line : line.slice(0, comma);
    if (name !== '') names.push(name);
  }
  return names;
}

// A list names files relative to the ghost's folder, with "\" or "/"
// between folders; Windows compares names without regard to case.
function sameName(listed, relative, platform) {
  let a = listed.replace(/\\/g, '/');
  let b = relative.replace(/\\/g, '/');
  if (platform === 'win32') {
    a = a.toLowerCase();
    b = b.toLowerCase();
  }
  return a === b;
}

// The folder whose tamune.ini lists the file, or null. Looks in the file's
// own folder and in up to `levels` folders above it (a list may name
// "talk/night.txt").
function listingFolder(filePath, { levels = 3, readFile = fs.readFileSync, platform = process.platform } = {}) {
  let dir = path.dirname(filePath);
  for (let i = 0; i <= levels; i++) {
    let bytes = null;
    try {
      bytes = readFile(path.join(dir, LIST_FILE));
    } catch {
      bytes = null;
    }
    if (bytes) {
      const relative = path.relative(dir, filePath);
      if (listedNames(bytes).some((name) => sameName(name, relative, platform))) return dir;
    }
    const up = path.dirname(dir);
    if (up === dir) break;
    dir = up;
  }
  return null;
}

module.exports = { LIST_FILE, listedNames, listingFolder };
