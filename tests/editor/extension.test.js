'use strict';
// The extension without an editor: its manifest agrees with itself, with
// the grammar and with the sample ghost; its client starts the configured
// shiori-lsp over standard input and output, restarts it when the server
// settings change, and gives the dictionary language to files a tamune.ini
// lists. The editor's API and the language client are stand-ins that
// record what the extension asks of them.
const { describe, test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const Module = require('module');
const { SOURCE, EXTENSION, MANIFEST, GRAMMAR } = require('./textmate');
const { listedNames, listingFolder } = require(path.join(EXTENSION, 'ghost-list.js'));

const LANGUAGE = MANIFEST.contributes.languages[0];
const SETTINGS = MANIFEST.contributes.configuration.properties;

const readJson = (file) => JSON.parse(fs.readFileSync(file, 'utf8'));
const globToRegExp = (glob) => new RegExp('^' + glob.split('*').map((p) => p.replace(/[.+?^${}()|[\]\\]/g, '\\$&')).join('[^/]*') + '$');

describe('the manifest', () => {
  test('one language id for the language, the grammar and its defaults', () => {
    assert.equal(MANIFEST.contributes.languages.length, 1);
    assert.equal(GRAMMAR.language, LANGUAGE.id);
    assert.ok(MANIFEST.activationEvents.includes(`onLanguage:${LANGUAGE.id}`));
    const defaults = MANIFEST.contributes.configurationDefaults[`[${LANGUAGE.id}]`];
    assert.equal(defaults['files.encoding'], 'shiftjis');
    assert.equal(defaults['files.eol'], '\r\n', 'the module needs CR LF line ends');
    const grammar = readJson(path.join(EXTENSION, GRAMMAR.path));
    assert.equal(grammar.scopeName, GRAMMAR.scopeName);
  });

  test('the language configuration: "//" comments, brackets, no inline block comments', () => {
    const config = readJson(path.join(EXTENSION, LANGUAGE.configuration));
    assert.equal(config.comments.lineComment, '//');
    // "/*" and "*/" only count at the start of a line, and a block cannot
    // end on its first line: an editor's inline block comment would hide
    // everything down to the next "*/" line.
    assert.equal(config.comments.blockComment, undefined);
    for (const pair of [['(', ')'], ['[', ']']]) assert.ok(config.brackets.some((b) => b[0] === pair[0] && b[1] === pair[1]));
    assert.ok(new RegExp(config.wordPattern, 'u').test('%fruit2'));
  });

  test('every dictionary of the sample ghost opens in the language by its name', () => {
    const names = listedNames(fs.readFileSync(path.join(SOURCE, 'examples', 'ghost', 'tamune.ini')));
    assert.ok(names.length > 0);
    const patterns = LANGUAGE.filenamePatterns.map(globToRegExp);
    for (const name of names) assert.ok(patterns.some((p) => p.test(name)), name);
    assert.ok(!patterns.some((p) => p.test('tamune.ini') || p.test('readme.txt')));
  });

  test('dependencies are pinned and locked', () => {
    for (const folder of [EXTENSION, path.join(EXTENSION, 'packaging'), __dirname]) {
      const manifest = readJson(path.join(folder, 'package.json'));
      const lock = readJson(path.join(folder, 'package-lock.json'));
      for (const [name, version] of Object.entries(manifest.dependencies)) {
        assert.match(version, /^\d+\.\d+\.\d+$/, `${name} in ${folder}`);
        assert.equal(lock.packages[`node_modules/${name}`].version, version, `${name} in ${folder}`);
      }
      assert.deepEqual(lock.packages[''].dependencies, manifest.dependencies);
    }
  });
});

// Stand-ins for the editor's module "vscode" and for the language client.
function standIns(overrides = {}) {
  const record = { clients: [], errors: [], languages: [], commands: {}, watchers: [], config: [], open: [] };
  const settings = { ...overrides };
  const client = {
    TransportKind: { stdio: 0, ipc: 1, pipe: 2, socket: 3 },
    LanguageClient: class {
      constructor(id, name, server, options) {
        Object.assign(this, { id, name, server, options, running: false, stopped: false });
        record.clients.push(this);
      }
      async start() {
        if (record.failStart) throw new Error(`spawn ${this.server.command} ENOENT`);
        this.running = true;
      }
      async stop() {
        this.running = false;
        this.stopped = true;
      }
    },
  };
  const disposable = { dispose() {} };
  const vscode = {
    workspace: {
      getConfiguration: (section) => ({
        get(key, fallback) {
          const full = `${section}.${key}`;
          if (!(full in SETTINGS)) throw new Error(`the manifest declares no setting ${full}`);
          return full in settings ? settings[full] : SETTINGS[full].default ?? fallback;
        },
      }),
      createFileSystemWatcher: (glob) => (record.watchers.push(glob), disposable),
      onDidChangeConfiguration: (f) => (record.config.push(f), disposable),
      onDidOpenTextDocument: (f) => (record.open.push(f), disposable),
      textDocuments: [],
    },
    window: { showErrorMessage: async (message) => (record.errors.push(message), undefined) },
    commands: {
      registerCommand: (id, f) => ((record.commands[id] = f), disposable),
      executeCommand: async () => undefined,
    },
    languages: { setTextDocumentLanguage: async (doc, id) => record.languages.push([doc.uri.fsPath, id]) },
  };
  return { record, settings, fakes: { vscode, 'vscode-languageclient/node': client } };
}

function loadExtension(fakes) {
  const file = path.join(EXTENSION, MANIFEST.main);
  delete require.cache[require.resolve(file)];
  const load = Module._load;
  Module._load = function (request, ...rest) {
    return Object.prototype.hasOwnProperty.call(fakes, request) ? fakes[request] : load.call(this, request, ...rest);
  };
  try {
    return require(file);
  } finally {
    Module._load = load;
  }
}

const context = () => ({ subscriptions: [] });
const configChange = (prefix) => ({ affectsConfiguration: (s) => s === prefix || s.startsWith(prefix + '.') || prefix.startsWith(s + '.') });

describe('the client', () => {
  test('starts shiori-lsp over stdio for the dictionary language, restarts it on a new path, stops it', async () => {
    const { record, settings, fakes } = standIns();
    const extension = loadExtension(fakes);
    await extension.activate(context());
    assert.equal(record.clients.length, 1);
    const [first] = record.clients;
    assert.deepEqual(first.server, { command: 'shiori-lsp', args: [], transport: 0 });
    assert.ok(first.running);
    assert.ok(first.options.documentSelector.length > 0);
    assert.ok(first.options.documentSelector.every((s) => s.language === LANGUAGE.id));
    assert.deepEqual(record.watchers, ['**/tamune.ini']);
    for (const command of MANIFEST.contributes.commands) assert.equal(typeof record.commands[command.command], 'function');

    record.config.forEach((f) => f(configChange('editor.fontSize')));
    assert.equal(record.clients.length, 1, 'another setting changes nothing');

    settings['tamuneDictionary.server.path'] = '  /opt/tamune/shiori-lsp ';
    settings['tamuneDictionary.server.args'] = ['--log', 'x'];
    record.config.forEach((f) => f(configChange('tamuneDictionary.server.path')));
    await new Promise((r) => setImmediate(r));
    assert.ok(first.stopped);
    assert.equal(record.clients.length, 2);
    assert.deepEqual(record.clients[1].server, { command: '/opt/tamune/shiori-lsp', args: ['--log', 'x'], transport: 0 });
    assert.ok(record.clients[1].running);

    await extension.deactivate();
    assert.ok(record.clients[1].stopped);
  });

  test('a server that does not start is reported with the setting to change', async () => {
    const { record, fakes } = standIns({ 'tamuneDictionary.server.path': '/nowhere/shiori-lsp' });
    record.failStart = true;
    const extension = loadExtension(fakes);
    await extension.activate(context());
    assert.equal(record.errors.length, 1);
    assert.match(record.errors[0], /\/nowhere\/shiori-lsp/);
    assert.match(record.errors[0], /tamuneDictionary\.server\.path/);
    await extension.deactivate();
  });
});

describe('files a tamune.ini lists', () => {
  let ghost;
  // "辞書.txt" and "表.txt" in Shift_JIS; the second byte of 表 is the byte
  // of a backslash.
  const JISHO = Buffer.from([0x8e, 0xab, 0x8f, 0x91]);
  const HYOU = Buffer.from([0x95, 0x5c]);
  beforeEach(() => {
    ghost = fs.mkdtempSync(path.join(os.tmpdir(), 'tamune-list-'));
    fs.mkdirSync(path.join(ghost, 'talk'));
    const list = Buffer.concat([
      Buffer.from('# the list\r\nbase.txt\r\n'), JISHO, Buffer.from('.txt\r\n'), HYOU, Buffer.from('.txt,e\r\n'),
      Buffer.from('talk\\night.txt\r\n\r\n main.txt\r\n'),
    ]);
    fs.writeFileSync(path.join(ghost, 'tamune.ini'), list);
  });
  afterEach(() => fs.rmSync(ghost, { recursive: true, force: true }));

  test('the names of a list: comments, flags, Shift_JIS, nothing trimmed', () => {
    assert.deepEqual(listedNames(fs.readFileSync(path.join(ghost, 'tamune.ini'))),
      ['base.txt', '辞書.txt', '表.txt', 'talk\\night.txt', ' main.txt']);
    assert.deepEqual(listedNames(Buffer.from('a.txt\nb.txt\n')), ['a.txt\nb.txt\n'], 'a lone LF ends no line');
  });

  test('a file is found in its folder or a folder above', () => {
    const folder = path.resolve(ghost);
    assert.equal(listingFolder(path.join(ghost, '辞書.txt')), folder);
    assert.equal(listingFolder(path.join(ghost, '表.txt')), folder);
    assert.equal(listingFolder(path.join(ghost, 'talk', 'night.txt')), folder);
    assert.equal(listingFolder(path.join(ghost, 'main.txt')), null, 'the list names " main.txt"');
    assert.equal(listingFolder(path.join(ghost, 'notes.txt')), null);
    assert.equal(listingFolder(path.join(ghost, 'BASE.TXT'), { platform: 'linux' }), null);
    assert.equal(listingFolder(path.join(ghost, 'BASE.TXT'), { platform: 'win32' }), folder);
  });

  test('opened plain-text files that the list names become dictionaries', async () => {
    const { record, settings, fakes } = standIns();
    const doc = (name, languageId = 'plaintext') => ({ languageId, uri: { scheme: 'file', fsPath: path.join(ghost, name) } });
    fakes.vscode.workspace.textDocuments = [doc('base.txt')];
    const extension = loadExtension(fakes);
    await extension.activate(context());
    for (const d of [doc('talk/night.txt'), doc('notes.txt'), doc('辞書.txt', 'markdown')]) record.open.forEach((f) => f(d));
    settings['tamuneDictionary.listedFiles'] = false;
    record.open.forEach((f) => f(doc('表.txt')));
    assert.deepEqual(record.languages, [
      [path.join(ghost, 'base.txt'), LANGUAGE.id],
      [path.join(ghost, 'talk/night.txt'), LANGUAGE.id],
    ]);
    await extension.deactivate();
  });
});
