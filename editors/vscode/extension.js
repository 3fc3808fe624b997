'use strict';
// The editor side of the dictionary support: the grammar and the language
// configuration come from package.json; this starts shiori-lsp over
// standard input and output as the language server of the dictionaries,
// restarts it when its settings change, and gives the dictionary language
// to plain-text files that a tamune.ini lists.
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');
const { LIST_FILE, listingFolder } = require('./ghost-list');

const LANGUAGE = 'tamune-dic';
const SECTION = 'tamuneDictionary';
const DEFAULT_SERVER = 'shiori-lsp';

let client = null;

function serverOptions() {
  const settings = vscode.workspace.getConfiguration(SECTION);
  const command = String(settings.get('server.path') || '').trim() || DEFAULT_SERVER;
  const args = (settings.get('server.args') || []).map(String);
  return { command, args, transport: TransportKind.stdio };
}

async function startClient() {
  const server = serverOptions();
  const started = new LanguageClient(SECTION, 'shiori-lsp', server, {
    documentSelector: [
      { scheme: 'file', language: LANGUAGE },
      { scheme: 'untitled', language: LANGUAGE },
    ],
    synchronize: { fileEvents: vscode.workspace.createFileSystemWatcher(`**/${LIST_FILE}`) },
  });
  client = started;
  try {
    await started.start();
  } catch (error) {
    if (client === started) client = null;
    const detail = error && error.message ? ` (${error.message})` : '';
    const choice = await vscode.window.showErrorMessage(
      `The dictionary language server "${server.command}" did not start${detail}. ` +
        `Highlighting still works; set "${SECTION}.server.path" to the shiori-lsp program for diagnostics and navigation.`,
      'Open Settings');
    if (choice === 'Open Settings') {
      await vscode.commands.executeCommand('workbench.action.openSettings', `${SECTION}.server.path`);
    }
  }
}

async function stopClient() {
  const running = client;
  client = null;
  if (running) {
    try {
      await running.stop();
    } catch {
      // A server that never started or already exited has nothing to stop.
    }
  }
}

async function restartClient() {
  await stopClient();
  await startClient();
}

function claimListedFile(document) {
  if (document.languageId !== 'plaintext' || document.uri.scheme !== 'file') return;
  if (!vscode.workspace.getConfiguration(SECTION).get('listedFiles', true)) return;
  if (listingFolder(document.uri.fsPath)) {
    vscode.languages.setTextDocumentLanguage(document, LANGUAGE);
  }
}

async function activate(context) {
  context.subscriptions.push(
    vscode.commands.registerCommand(`${SECTION}.restartServer`, restartClient),
    vscode.workspace.onDidChangeConfiguration((event) => {
      if (event.affectsConfiguration(`${SECTION}.server`)) restartClient();
    }),
    vscode.workspace.onDidOpenTextDocument(claimListedFile),
    { dispose: () => stopClient() });
  vscode.workspace.textDocuments.forEach(claimListedFile);
  await startClient();
}

function deactivate() {
  return stopClient();
}

module.exports = { activate, deactivate };
