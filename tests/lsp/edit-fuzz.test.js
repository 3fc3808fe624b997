'use strict';
// Random edit sequences never crash the server nor lose its copy of the
// text: malformed frames first, then seeded random incremental edits
// (Japanese text, characters outside the BMP and outside Shift_JIS, NUL,
// line ends of every kind, dictionary syntax) mixed with requests at any
// position, bounded in time. At the end the lines of the server's
// document symbols must have the lengths of this client's copy. A finding in a dictionary on disk with bytes that
// are not Shift_JIS must be placed exactly too.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { uriOf, startServer, initialize, shutdown, protocol } = require('./client');

const SECONDS = Number(process.env.LSP_FUZZ_SECONDS || 12);
const SEED = Number(process.env.LSP_FUZZ_SEED || 20251);
const PIECES = ['%', '@', '\\', ',', '\r\n', '\n', '\r', '(', ')', '%(', ':=', ' ', '"', 'x', 'お菓子',
  '日本語の練習', '🎵', '\uFFFD', '\u0000', '한글', '\\e,', '@OnX,', '@OnX&', '\\お菓子,団子', '%お菓子',
  '%m?', '%rand3', '%hour', '\\_length := ', '$<%0>,[%0]', '<a>', '/*', '*/', '\\ms[', ']', '\\a',
  'Option,NSDeclare True', 'Option,Charset: UTF-8', 'Option,Charset: Shift_JIS', '*id,', '+1,2', '\t'];

function random(seed) {
  let state = seed >>> 0;
  return (n) => {
    state = (Math.imul(state, 1103515245) + 12345) >>> 0;
    return Math.floor((state / 2 ** 32) * n);
  };
}

const LINE_END = /\r\n|\r|\n/;
function lineStarts(text) {
  const starts = [0];
  for (let i = 0; i < text.length; i++) {
    if (text[i] === '\r' && text[i + 1] === '\n') i++;
    if (text[i] === '\r' || text[i] === '\n') starts.push(i + 1);
  }
  return starts;
}

// A valid position (never inside a surrogate pair or a CR LF) and its offset.
function randomPosition(text, pick) {
  const starts = lineStarts(text);
  const line = pick(starts.length);
  const content = text.slice(starts[line]).split(LINE_END)[0];
  let character = pick(content.length + 1);
  if (character > 0 && /[\uDC00-\uDFFF]/.test(content[character])) character--;
  return { position: { line, character }, offset: starts[line] + character };
}

function endPosition(text) {
  const starts = lineStarts(text);
  return { line: starts.length - 1, character: text.length - starts[starts.length - 1] };
}

function writeGhost() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'lsp-fuzz-'));
  fs.writeFileSync(path.join(folder, 'tamune.ini'), 'dic_a.txt\r\ndic_b.txt\r\n');
  // "\e," あ, a byte 0xFF, a lead byte 0x81 with the blank as its trail, "%zzq".
  fs.writeFileSync(path.join(folder, 'dic_a.txt'), Buffer.concat([
    Buffer.from('\\e,'), Buffer.from([0x82, 0xA0, 0xFF, 0x81, 0x20]), Buffer.from('%zzq\r\n\\お菓子,団子\r\n')]));
  fs.writeFileSync(path.join(folder, 'dic_b.txt'), '@OnLoad,hello\r\n');
  return folder;
}

function sendRaw(child, body) {
  const bytes = Buffer.isBuffer(body) ? body : Buffer.from(body);
  child.stdin.write(Buffer.concat([Buffer.from(`Content-Length: ${bytes.length}\r\n\r\n`), bytes]));
}

test('random edits and requests never crash the server nor desynchronise its text', async (t) => {
  const folder = writeGhost();
  t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
  const server = startServer();
  t.after(() => server.child.kill());
  const uriA = uriOf(path.join(folder, 'dic_a.txt'));
  const uri = uriOf(path.join(folder, 'dic_b.txt'));

  server.child.stdin.write('Content-Length: x\r\n\r\n');
  sendRaw(server.child, '{');
  sendRaw(server.child, '[]');
  sendRaw(server.child, Buffer.concat([Buffer.from('{"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"file:///nowhere/x.txt","text":"'),
    Buffer.from([0xFF, 0x82]), Buffer.from('","version":1}}}')]));
  await initialize(server.connection, folder);

  const diskFinding = server.nextDiagnostics(uriA, (d) => d.some((x) => x.code === 'T003'));
  let text = '@OnLoad,hello\r\n';
  let version = 1;
  await server.connection.sendNotification(protocol.DidOpenTextDocumentNotification.type, {
    textDocument: { uri, languageId: 'tamune-dic', version, text },
  });
  const onDisk = (await diskFinding).find((x) => x.code === 'T003');
  assert.deepEqual(onDisk.range.start, { line: 0, character: 6 });

  const pick = random(SEED);
  const deadline = Date.now() + SECONDS * 1000;
  let edits = 0;
  let requests = 0;
  const kinds = [protocol.HoverRequest.type, protocol.DefinitionRequest.type, protocol.CompletionRequest.type];
  while (Date.now() < deadline) {
    const a = randomPosition(text, pick);
    const other = randomPosition(text, pick);  // deletions stay short, so the text grows
    const b = pick(3) !== 0 || Math.abs(other.offset - a.offset) > 40 ? a : other;
    const [from, to] = a.offset <= b.offset ? [a, b] : [b, a];
    let inserted = '';
    for (let n = pick(4); n > 0; n--) inserted += PIECES[pick(PIECES.length)];
    text = text.slice(0, from.offset) + inserted + text.slice(to.offset);
    await server.connection.sendNotification(protocol.DidChangeTextDocumentNotification.type, {
      textDocument: { uri, version: ++version },
      contentChanges: [{ range: { start: from.position, end: to.position }, text: inserted }],
    });
    edits++;
    if (pick(4) === 0) {
      const position = pick(5) === 0 ? { line: pick(1000), character: pick(1000) } : randomPosition(text, pick).position;
      const params = { textDocument: { uri: pick(2) ? uri : uriA }, position, context: { includeDeclaration: true } };
      await server.connection.sendRequest(kinds[pick(kinds.length)], params);
      await server.connection.sendRequest(protocol.ReferencesRequest.type, params);
      await server.connection.sendRequest(protocol.DocumentSymbolRequest.type, { textDocument: { uri } });
      requests += 3;
    }
  }

  // Every document symbol spans its whole line in the server's copy of
  // the text: each must end where this client's copy says its line ends.
  const lines = text.split(LINE_END);
  const symbols = await server.connection.sendRequest(protocol.DocumentSymbolRequest.type, { textDocument: { uri } });
  assert.ok(symbols.length > 0, 'the edited text still has entries');
  for (const symbol of symbols) {
    const { start, end } = symbol.range;
    assert.deepEqual(end, { line: start.line, character: lines[start.line].length }, symbol.name);
  }
  console.log(`${edits} edits, ${requests} requests in ${SECONDS} s (seed ${SEED}); final text ${text.length} units`);
  assert.deepEqual(await shutdown(server), { code: 0, signal: null });
});
