'use strict';
// Loads the extension's grammar with vscode-textmate and the Oniguruma
// regular expressions of vscode-oniguruma (its WebAssembly build), the
// two packages the editor itself tokenizes with.
const fs = require('fs');
const path = require('path');
const textmate = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const SOURCE = path.resolve(__dirname, '..', '..');
const EXTENSION = path.join(SOURCE, 'editors', 'vscode');
const MANIFEST = JSON.parse(fs.readFileSync(path.join(EXTENSION, 'package.json'), 'utf8'));
const GRAMMAR = MANIFEST.contributes.grammars[0];

let loaded = null;

async function loadGrammar() {
  if (!loaded) {
    loaded = (async () => {
      const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
      await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
      const registry = new textmate.Registry({
        onigLib: Promise.resolve({
          createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
          createOnigString: (text) => new oniguruma.OnigString(text),
        }),
        loadGrammar: async (scopeName) => {
          if (scopeName !== GRAMMAR.scopeName) return null;
          const file = path.join(EXTENSION, GRAMMAR.path);
          return textmate.parseRawGrammar(fs.readFileSync(file, 'utf8'), file);
        },
      });
      const grammar = await registry.loadGrammar(GRAMMAR.scopeName);
      if (!grammar) throw new Error(`no grammar for ${GRAMMAR.scopeName}`);
      return grammar;
    })();
  }
  return loaded;
}

// Tokenizes a whole text as the editor does, line by line with the state
// carried over: [{ text, tokens: [{ start, end, text, scopes }] }].
async function tokenize(text) {
  const grammar = await loadGrammar();
  let state = textmate.INITIAL;
  return text.split(/\r\n|\n|\r/).map((line) => {
    const result = grammar.tokenizeLine(line, state);
    state = result.ruleStack;
    const tokens = result.tokens.map((t) => ({
      start: t.startIndex,
      end: Math.min(t.endIndex, line.length),
      text: line.slice(t.startIndex, t.endIndex),
      scopes: t.scopes,
    }));
    return { text: line, tokens };
  });
}

// A scope "keyword.control" is carried by a token whose scopes hold it or a
// more specific one ("keyword.control.entry.e.tamune-dic").
function hasScope(token, scope) {
  return token.scopes.some((s) => s === scope || s.startsWith(scope + '.'));
}

function readDictionary(file) {
  return new TextDecoder('shift_jis').decode(fs.readFileSync(file));
}

module.exports = { SOURCE, EXTENSION, MANIFEST, GRAMMAR, loadGrammar, tokenize, hasScope, readDictionary };
