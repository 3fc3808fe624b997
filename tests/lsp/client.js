'use strict';
// A scripted client for shiori-lsp on the protocol's reference
// implementation: starts the server, connects over its standard streams,
// and keeps the diagnostics it publishes, by URI, with a way to wait for
// the next ones that satisfy a test.
const { spawn } = require('node:child_process');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const rpc = require('vscode-jsonrpc/node');
const protocol = require('vscode-languageserver-protocol');

const SERVER = process.env.SHIORI_LSP;
const SOURCE_DIR = process.env.GHOST_SOURCE_DIR || path.join(__dirname, '..', '..');

function uriOf(file) {
  return pathToFileURL(file).href;
}

function startServer() {
  if (!SERVER) throw new Error('SHIORI_LSP names the server to test');
  const child = spawn(SERVER, ['--stdio'], { stdio: ['pipe', 'pipe', 'inherit'] });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const connection = rpc.createMessageConnection(
    new rpc.StreamMessageReader(child.stdout), new rpc.StreamMessageWriter(child.stdin));
  const diagnostics = new Map();
  const waiters = [];
  connection.onNotification(protocol.PublishDiagnosticsNotification.type, (params) => {
    diagnostics.set(params.uri, params.diagnostics);
    for (const waiter of waiters.splice(0)) {
      if (waiter.uri === params.uri && waiter.test(params.diagnostics)) waiter.resolve(params.diagnostics);
      else waiters.push(waiter);
    }
  });
  connection.listen();
  // The next diagnostics of `uri` that pass `test`, or a rejection after `ms`.
  function nextDiagnostics(uri, test, ms = 20000) {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`no matching diagnostics for ${uri}`)), ms);
      waiters.push({ uri, test, resolve: (d) => { clearTimeout(timer); resolve(d); } });
    });
  }
  return { child, connection, diagnostics, nextDiagnostics, exited };
}

async function initialize(connection, rootPath) {
  const result = await connection.sendRequest(protocol.InitializeRequest.type, {
    processId: process.pid,
    rootUri: uriOf(rootPath),
    capabilities: { general: { positionEncodings: ['utf-16'] } },
    workspaceFolders: null,
  });
  await connection.sendNotification(protocol.InitializedNotification.type, {});
  return result;
}

async function shutdown(server) {
  await server.connection.sendRequest(protocol.ShutdownRequest.type);
  await server.connection.sendNotification(protocol.ExitNotification.type);
  const status = await server.exited;
  server.connection.dispose();
  return status;
}

module.exports = { SOURCE_DIR, uriOf, startServer, initialize, shutdown, protocol };
