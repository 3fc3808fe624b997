'use strict';
// One editing session over the sample ghost, feature by feature, with a
// dictionary line that mixes Japanese, a character outside the BMP and a
// mistake, so that every position is checked in UTF-16 code units.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { SOURCE_DIR, uriOf, startServer, initialize, shutdown, protocol } = require('./client');

const GHOST = path.join(SOURCE_DIR, 'examples', 'ghost');
const FILE = path.join(GHOST, 'dic_nihongo.txt');
const URI = uriOf(FILE);
const EVENTS_URI = uriOf(path.join(GHOST, 'dic_events.txt'));
const MISTAKE = '%おかしや';  // no category, variable or system value
const FIXED = '%お菓子';

function position(lines, line, needle, offset = 0) {
  const character = lines[line].indexOf(needle);
  assert.ok(character >= 0, `"${needle}" on line ${line}`);
  return { line, character: character + offset };
}

test('a session: diagnostics, hover, navigation, completion, a fix, shutdown', async (t) => {
  const original = new TextDecoder('shift_jis').decode(fs.readFileSync(FILE));
  const lines = original.split('\r\n');
  const added = lines.length - 1;  // the file ends with CR LF: the new line goes there
  lines[added] = `\\e,\\h\\s[0]🎵今日は${MISTAKE}を食べた。%(\\_length := "abc")`;
  lines.push('');
  const text = lines.join('\r\n');

  const server = startServer();
  t.after(() => server.child.kill());
  const init = await initialize(server.connection, GHOST);
  assert.equal(init.capabilities.positionEncoding, 'utf-16');
  assert.ok(init.capabilities.hoverProvider && init.capabilities.completionProvider);

  const published = server.nextDiagnostics(URI, (d) => d.some((x) => x.code === 'T003'));
  await server.connection.sendNotification(protocol.DidOpenTextDocumentNotification.type, {
    textDocument: { uri: URI, languageId: 'tamune-dic', version: 1, text },
  });
  const diagnostics = await published;
  const mistake = diagnostics.find((d) => d.code === 'T003');
  assert.deepEqual(mistake.range.start, position(lines, added, MISTAKE));
  assert.equal(mistake.severity, 2);
  assert.match(mistake.message, /おかし/);
  assert.deepEqual(server.diagnostics.get(EVENTS_URI), [], 'the other dictionaries are published too');

  const at = (p) => ({ textDocument: { uri: URI }, position: p });
  const tag = position(lines, 8, '%お菓子', 2);
  const hover = await server.connection.sendRequest(protocol.HoverRequest.type, at(tag));
  console.log('hover answer:', JSON.stringify(hover));
  assert.match(hover.contents.value, /\\お菓子\*\*: category, 4 words: `団子`, `せんべい`/);
  assert.deepEqual(hover.range.start, position(lines, 8, '%お菓子'));

  const builtin = await server.connection.sendRequest(protocol.HoverRequest.type, at(position(lines, added, '_length', 1)));
  assert.match(builtin.contents.value, /built-in function; the number of bytes/);
  const system = await server.connection.sendRequest(protocol.HoverRequest.type, at(position(lines, 7, '%year', 2)));
  assert.match(system.contents.value, /%year\*\*: system value; the year/);
  const event = await server.connection.sendRequest(protocol.HoverRequest.type, at(position(lines, 6, 'OnKeyPress', 3)));
  assert.match(event.contents.value, /OnKeyPress\*\*: event, \d+ responses/);

  const definition = await server.connection.sendRequest(protocol.DefinitionRequest.type, at(tag));
  assert.deepEqual(definition, [{ uri: URI, range: { start: { line: 3, character: 0 }, end: { line: 3, character: 4 } } }]);
  const references = await server.connection.sendRequest(protocol.ReferencesRequest.type, {
    ...at(tag), context: { includeDeclaration: true },
  });
  const referenced = references.map((r) => `${r.range.start.line}:${r.range.start.character}`).sort();
  assert.deepEqual(referenced, ['3:0', `8:${lines[8].indexOf('%お菓子')}`]);

  // Completion after "%" at the end of the new line, after "@" and after "_" in a formula.
  const percent = { line: added, character: lines[added].indexOf(MISTAKE) + 1 };
  const completion = await server.connection.sendRequest(protocol.CompletionRequest.type, at(percent));
  console.log('completion answer (first 3 of', completion.items.length, 'items):', JSON.stringify(completion.items.slice(0, 3)));
  const labels = completion.items.map((i) => i.label);
  for (const expected of ['お菓子', '道具', 'hour', 'ref0', 'visits']) assert.ok(labels.includes(expected), expected);
  const formula = await server.connection.sendRequest(protocol.CompletionRequest.type,
    at(position(lines, added, '_length', 1)));
  assert.ok(formula.items.some((i) => i.label === '_registword' && i.kind === 3));
  const redirect = await server.connection.sendRequest(protocol.CompletionRequest.type, at({ line: 6, character: 1 }));
  assert.ok(redirect.items.some((i) => i.label === 'OnMouseDoubleClick'));

  const symbols = await server.connection.sendRequest(protocol.DocumentSymbolRequest.type, { textDocument: { uri: URI } });
  assert.deepEqual(symbols.map((s) => s.name), ['\\お菓子', '\\道具', '@OnKeyPress', '@OnKeyPress']);

  // The fix, as an incremental change of the mistake's range only.
  const cleared = server.nextDiagnostics(URI, (d) => !d.some((x) => x.code === 'T003'));
  await server.connection.sendNotification(protocol.DidChangeTextDocumentNotification.type, {
    textDocument: { uri: URI, version: 2 },
    contentChanges: [{ range: { start: mistake.range.start, end: mistake.range.end }, text: FIXED }],
  });
  assert.deepEqual((await cleared).filter((d) => d.severity <= 2), []);

  assert.deepEqual(await shutdown(server), { code: 0, signal: null });
});
