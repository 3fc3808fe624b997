// Runs first inside each WebAssembly module's factory. Under Node.js 18 and
// later a global fetch exists, which emscripten's loader would try on a file
// path and fail; the binary beside the script is read from disk instead.
if (typeof process == 'object' && process.versions && process.versions.node &&
    !Module['wasmBinary'] && !Module['instantiateWasm'] && typeof __filename == 'string') {
  Module['wasmBinary'] = require('fs').readFileSync(__filename.replace(/\.js$/, '.wasm'));
}
