'use strict';
// Every line of the sample ghost's dictionaries and of the manual's
// dictionary examples gets the scope of what the module makes of it: the
// kind of its entry, a comment, a line of a talk gathered below its entry,
// an indented continuation. line-classes.js decides that from the manual's
// rules, without the grammar.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { SOURCE, tokenize, hasScope, readDictionary } = require('./textmate');
const { classifyLines } = require('./line-classes');
const { listedNames } = require(path.join(SOURCE, 'editors', 'vscode', 'ghost-list.js'));

const S = '.tamune-dic';
const GHOST = path.join(SOURCE, 'examples', 'ghost');

// The sample ghost's dictionaries, as its list names them.
function ghostDictionaries() {
  const names = listedNames(fs.readFileSync(path.join(GHOST, 'tamune.ini')));
  return names.map((name) => ({ where: `examples/ghost/${name}`, text: readDictionary(path.join(GHOST, name)) }));
}

// The manual's ```dic blocks (a block with LF line ends is one line to the
// module, so it is left out).
function manualDictionaries() {
  const docs = path.join(SOURCE, 'docs');
  const blocks = [];
  for (const file of fs.readdirSync(docs).filter((f) => f.endsWith('.md')).sort()) {
    const lines = fs.readFileSync(path.join(docs, file), 'utf8').split('\n');
    for (let i = 0; i < lines.length; i++) {
      const open = /^```dic(?:\s+(.*))?$/.exec(lines[i]);
      if (!open) continue;
      const start = i + 1;
      let end = start;
      while (end < lines.length && lines[end] !== '```') end++;
      if (!/\blf\b/.test(open[1] || '')) {
        blocks.push({ where: `docs/${file}:${start + 1}`, text: lines.slice(start, end).join('\r\n') });
      }
      i = end;
    }
  }
  return blocks;
}

function firstToken(line) {
  return line.tokens.find((t) => t.text.trim() !== '') || line.tokens[0];
}

async function checkLines(dictionary) {
  const lines = await tokenize(dictionary.text);
  const classes = classifyLines(lines.map((l) => l.text));
  const problems = [];
  lines.forEach((line, i) => {
    const { role, kind } = classes[i];
    const where = `${dictionary.where} line ${i + 1}: ${JSON.stringify(line.text)}`;
    // The tokens cover the line without gaps.
    let at = 0;
    for (const t of line.tokens) {
      if (t.start !== at) problems.push(`${where}: tokens leave a gap at ${at}`);
      at = t.end;
    }
    if (line.text.length && at !== line.text.length) problems.push(`${where}: tokens end at ${at}`);
    if (role === 'blank') return;
    const first = firstToken(line);
    const want = {
      comment: 'comment',
      entry: `meta.entry.${kind}${S}`,
      body: `meta.talk.body${S}`,
      continuation: `meta.continuation${S}`,
    }[role];
    if (!hasScope(first, want)) problems.push(`${where}: ${role} ${kind || ''} wants ${want}, has ${first.scopes.join(' ')}`);
    if (role === 'body' && !hasScope(first, `meta.entry.${kind}${S}`)) problems.push(`${where}: body of a ${kind} outside its entry`);
    if (role !== 'comment' && first.scopes.length < 2) problems.push(`${where}: only the base scope`);
    if (kind !== 'unknown') {
      const bad = line.tokens.find((t) => t.scopes.some((s) => s.startsWith('invalid.')));
      if (bad) problems.push(`${where}: ${JSON.stringify(bad.text)} marked ${bad.scopes.at(-1)}`);
    }
  });
  return { lines: lines.length, problems };
}

test('every line of the sample ghost has the scope of its line class', async () => {
  const dictionaries = ghostDictionaries();
  assert.equal(dictionaries.length, 8, 'tamune.ini lists eight dictionaries');
  let count = 0;
  for (const d of dictionaries) {
    const { lines, problems } = await checkLines(d);
    count += lines;
    assert.deepEqual(problems, [], d.where);
  }
  assert.ok(count > 150, `${count} lines`);
});

test('every line of the manual\'s dictionary examples has the scope of its line class', async () => {
  const blocks = manualDictionaries();
  assert.ok(blocks.length > 80, `${blocks.length} blocks`);
  const problems = [];
  for (const b of blocks) problems.push(...(await checkLines(b)).problems);
  assert.deepEqual(problems, []);
});

test('the oracle itself: a gathered talk, its end, a block comment and NSDeclare lines', () => {
  const lines = [
    '@OnCut', '\\h\\s[0]The first line.', '\\h', 'Ignored.',
    '/* x */', '@OnB,b', '*/ @OnC,c',
    'Option,NSDeclare True', '\\e,a', '\t# b', '\\ms[x],y', 'Option,NSDeclare False', '\\ms[x],y',
  ];
  assert.deepEqual(classifyLines(lines).map((c) => c.role + (c.kind ? ':' + c.kind : '')), [
    'entry:event', 'body:event', 'entry:word-list', 'entry:unknown',
    'comment', 'comment', 'comment',
    'entry:option', 'entry:free-talk', 'continuation', 'entry:tag-word-list', 'entry:option', 'entry:word-list',
  ]);
});

test('random lines of the format\'s characters tokenize quickly and completely', async () => {
  // A fixed seed: the same lines on every run.
  let seed = 0x2545f491;
  const random = () => {
    seed = (seed + 0x6d2b79f5) | 0;
    let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  const pieces = ['\\', ',', '%', '(', ')', '"', '[', ']', '@', '&', '*', '$', '+', '#', '/', ';', ':=', '=', '<', '>',
    '?', ':', '|', '-', '.', ' ', '\t', 'a', 'e', 'h', 'ms', 'ref0', 'rand', 'nohit', 'Option', 'NSDeclare True',
    '\\e', '\\re', '\\id', '/*', '*/', '//', '0', '7', 'あ', '漢', 'ア'];
  const text = Array.from({ length: 400 }, () =>
    Array.from({ length: Math.floor(random() * 40) }, () => pieces[Math.floor(random() * pieces.length)]).join('')).join('\r\n');
  const started = Date.now();
  const lines = await tokenize(text);
  const elapsed = Date.now() - started;
  assert.equal(lines.length, 400);
  for (const line of lines) {
    assert.equal(line.tokens.at(-1).end, line.text.length, JSON.stringify(line.text));
  }
  assert.ok(elapsed < 10000, `${elapsed} ms for 400 lines`);
});
