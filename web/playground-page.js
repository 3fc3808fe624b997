// The playground page: a ghost's files in an editor, kept in the browser's
// storage; after each edit the module (in a worker) checks and loads them
// again and the last request is sent again; every answer is shown as text,
// as rendered talk and with the why explanation beside it.
'use strict';

const kStorageKey = 'shiori-playground/v1';
const kStepTimeoutMs = 15000;
const kEditDelayMs = 400;
const kMaxFileBytes = 4 << 20;
const kSender = 'playground';

const $ = (id) => document.getElementById(id);

// ---- The ghost: its files as the editor holds them --------------------------

// name -> { text, charset, crlf, bytes (the file as read, while unedited) }
let files = {};
let current = null;
let lastRequest = null;
let requestLimit = 1 << 20;

function errorsShown(list) {
  const box = $('errors');
  box.textContent = '';
  for (const message of list) {
    const line = document.createElement('div');
    line.textContent = message;
    box.appendChild(line);
  }
  box.hidden = list.length === 0;
}

let pageErrors = [];
function complain(message) { pageErrors.push(message); errorsShown(pageErrors); }
function clearComplaints() { pageErrors = []; errorsShown(pageErrors); }

// The names tamune.ini lists, without their flags ("dic.txt,e").
function listedNames(listText) {
  const names = [];
  for (const raw of listText.split(/\r\n|\r|\n/)) {
    const line = raw.trim();
    if (line === '' || line.startsWith('#') || line.startsWith('//')) continue;
    names.push(line.split(',')[0].trim());
  }
  return names;
}

// A file read from bytes: its charset found, its text decoded. Bytes that
// are neither UTF-8 nor Shift_JIS are kept as they are and reported.
function fileFromBytes(name, bytes, fallback) {
  if (bytes.length > kMaxFileBytes) {
    complain(`${name}: ${bytes.length} bytes; the page takes files of at most ${kMaxFileBytes} bytes`);
    return null;
  }
  let charset = Charsets.detect(bytes, fallback);
  if (charset === null) {
    charset = fallback;
    const at = Charsets.invalidOffset(bytes, 'Shift_JIS');
    complain(`${name}: byte 0x${bytes[at].toString(16).toUpperCase()} at offset ${at} is neither ` +
      'UTF-8 nor Shift_JIS; the file is kept as read until you edit it');
  }
  const text = Charsets.decode(bytes, charset);
  return { text: text.replace(/\r\n?/g, '\n'), charset, crlf: /\r\n/.test(text) || !/\n/.test(text), bytes };
}

// The charset the ghost's dictionaries (bytes or texts) declare last ("Option,Charset: X"
// switches the module to X), in the order tamune.ini lists them; the
// module's default without one.
function declaredCharset(byName) {
  const asText = (v) => (typeof v === 'string' ? v : new TextDecoder('latin1').decode(v));
  let charset = 'Shift_JIS';
  const list = byName['tamune.ini'];
  const order = list !== undefined ? listedNames(asText(list)) : Object.keys(byName);
  for (const name of order) {
    if (byName[name] === undefined) continue;
    const text = asText(byName[name]);
    for (const m of text.matchAll(/^Option,Charset: *([^\r\n]*)/gm)) charset = m[1].trim();
  }
  return Charsets.isUtf8(charset) ? 'UTF-8' : 'Shift_JIS';
}

function takeGhost(byName) {
  const fallback = declaredCharset(byName);
  files = {};
  for (const [name, bytes] of Object.entries(byName)) {
    const file = fileFromBytes(name, bytes, fallback);
    if (file) files[name] = file;
  }
  current = files['tamune.ini'] ? 'tamune.ini' : Object.keys(files)[0] || null;
}

async function fetchBytes(url) {
  const response = await fetch(url, { cache: 'no-store' });
  if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
  return new Uint8Array(await response.arrayBuffer());
}

// The sample ghost served beside the page: its list, then what it lists.
async function loadSample() {
  clearComplaints();
  const byName = {};
  try {
    byName['tamune.ini'] = await fetchBytes('ghost/tamune.ini');
  } catch (e) {
    complain(`ghost/tamune.ini: could not be read (${e.message})`);
    return;
  }
  for (const name of listedNames(new TextDecoder('latin1').decode(byName['tamune.ini']))) {
    try {
      byName[name] = await fetchBytes('ghost/' + encodeURIComponent(name));
    } catch (e) {
      complain(`ghost/${name}: listed in tamune.ini but could not be read (${e.message})`);
    }
  }
  takeGhost(byName);
  await ghostChanged();
}

// Files picked from the disk (a ghost folder's tamune.ini and dictionaries).
async function loadPicked(fileList) {
  clearComplaints();
  const byName = {};
  for (const f of fileList) {
    try {
      byName[f.name] = new Uint8Array(await f.arrayBuffer());
    } catch (e) {
      complain(`${f.name}: could not be read (${e.message})`);
    }
  }
  if (!byName['tamune.ini']) {
    complain('no tamune.ini among the files: the module reads no dictionary without it');
  } else {
    for (const name of listedNames(new TextDecoder('latin1').decode(byName['tamune.ini']))) {
      if (!byName[name]) complain(`tamune.ini lists ${name}, which is not among the files picked`);
    }
  }
  takeGhost(byName);
  await ghostChanged();
}

// ---- Storage: the edits survive a reload of the page -----------------------------

function save() {
  const kept = {};
  for (const [name, f] of Object.entries(files)) kept[name] = { text: f.text, charset: f.charset, crlf: f.crlf };
  try {
    localStorage.setItem(kStorageKey, JSON.stringify({ files: kept, current, seed: $('seed').value }));
    return true;
  } catch (e) {
    complain(`The edits could not be kept in the browser's storage (${e.name}); they stay in this page only`);
    return false;
  }
}

function restore() {
  let kept = null;
  try { kept = JSON.parse(localStorage.getItem(kStorageKey) || 'null'); } catch (e) { kept = null; }
  if (!kept || !kept.files || Object.keys(kept.files).length === 0) return false;
  files = {};
  for (const [name, f] of Object.entries(kept.files)) {
    files[name] = { text: String(f.text), charset: f.charset === 'UTF-8' ? 'UTF-8' : 'Shift_JIS', crlf: f.crlf !== false };
  }
  current = files[kept.current] ? kept.current : Object.keys(files)[0];
  if (kept.seed) $('seed').value = kept.seed;
  return true;
}

// ---- The module, in its worker ---------------------------------------------------

let worker = null;
let workerLoaded = false;
let nextId = 1;
const pending = new Map();

function startWorker() {
  worker = new Worker('playground-worker.js');
  workerLoaded = false;
  worker.onmessage = (event) => {
    const waiting = pending.get(event.data.id);
    if (!waiting) return;
    pending.delete(event.data.id);
    clearTimeout(waiting.timer);
    if (event.data.ok) waiting.resolve(event.data.result);
    else waiting.reject(new Error('the module failed: ' + event.data.error));
  };
  worker.onerror = (event) => {
    event.preventDefault();
    for (const waiting of pending.values()) { clearTimeout(waiting.timer); waiting.reject(new Error('the module could not start: ' + event.message)); }
    pending.clear();
  };
}

// Ends the worker and every step still waiting for it, and starts another.
function stopWorker(message) {
  worker.terminate();
  for (const waiting of pending.values()) {
    clearTimeout(waiting.timer);
    waiting.reject(new Error(message));
  }
  pending.clear();
  startWorker();
}

// One step in the worker. A step that takes too long ends the worker (a new
// one loads the ghost again at the next step).
function step(name, data = {}, transfer = []) {
  return new Promise((resolve, reject) => {
    const id = nextId++;
    const timer = setTimeout(() => {
      const message = `the module took longer than ${kStepTimeoutMs / 1000} s and was stopped; ` +
        'the ghost is loaded again at the next request';
      pending.delete(id);
      stopWorker(message);
      reject(new Error(message));
    }, kStepTimeoutMs);
    pending.set(id, { resolve, reject, timer });
    worker.postMessage({ id, step: name, ...data }, transfer);
  });
}

// Each file's bytes for the module; a file whose text does not encode is
// reported and left out of this load.
function encodedFiles(problems) {
  const out = {};
  for (const [name, f] of Object.entries(files)) {
    if (f.bytes) { out[name] = f.bytes.slice(); continue; }
    try {
      out[name] = Charsets.encode(f.crlf ? f.text.replace(/\n/g, '\r\n') : f.text, f.charset, name);
    } catch (e) {
      problems.push(e.message + ' (the file is left out until it is mended)');
    }
  }
  return out;
}

function seed() {
  const value = Number($('seed').value);
  return Number.isInteger(value) && value >= 0 && value <= 0xffffffff ? value : 0;
}

function ghostCharset() {
  const texts = {};
  for (const [name, f] of Object.entries(files)) texts[name] = f.text;
  return declaredCharset(texts);
}

// The module checks and loads the files as they stand now.
async function reloadModule() {
  const problems = [];
  const encoded = encodedFiles(problems);
  const result = await step('reload', { files: encoded, seed: seed() });
  workerLoaded = true;
  showDiagnostics(result.diagnostics, problems);
  return result;
}

// ---- What the page shows -----------------------------------------------------

function showFileList() {
  const select = $('file');
  select.textContent = '';
  for (const name of Object.keys(files)) {
    const option = document.createElement('option');
    option.value = option.textContent = name;
    select.appendChild(option);
  }
  select.value = current || '';
  showCurrentFile();
}

function showCurrentFile() {
  const f = files[current];
  $('editor').value = f ? f.text : '';
  $('editor').disabled = !f;
  $('charset').value = f ? f.charset : 'Shift_JIS';
}

// Diagnostic lines ("file:line:column: level: message [code]") come with
// the dictionaries' bytes unconverted: each is read in its file's charset.
function showDiagnostics(bytes, problems) {
  const list = $('diagnostics');
  list.textContent = '';
  const lines = [];
  let start = 0;
  for (let i = 0; i <= bytes.length; i++) {
    if (i === bytes.length || bytes[i] === 0x0a) {
      if (i > start) lines.push(bytes.subarray(start, i));
      start = i + 1;
    }
  }
  for (const message of problems) lines.push(message);
  let counts = { error: 0, warning: 0, note: 0 };
  for (const raw of lines) {
    const head = typeof raw === 'string' ? raw : new TextDecoder('latin1').decode(raw);
    const m = /^(.*?):(\d+):(\d+): (error|warning|note): /.exec(head);
    const charset = m && files[m[1]] ? files[m[1]].charset : ghostCharset();
    const text = typeof raw === 'string' ? raw : Charsets.decode(raw, charset);
    const item = document.createElement('li');
    item.textContent = text;
    item.className = 'diagnostic ' + (m ? m[4] : 'error');
    counts[m ? m[4] : 'error']++;
    if (m && files[m[1]]) item.onclick = () => goToLine(m[1], Number(m[2]));
    list.appendChild(item);
  }
  const count = (n, what) => `${n} ${what}${n === 1 ? '' : 's'}`;
  $('diagnostic-count').textContent = lines.length === 0 ? 'no problems'
    : `${count(counts.error, 'error')}, ${count(counts.warning, 'warning')}, ${count(counts.note, 'note')}`;
}

function goToLine(name, line) {
  current = name;
  $('file').value = name;
  showCurrentFile();
  const editor = $('editor');
  const lines = editor.value.split('\n');
  const start = lines.slice(0, line - 1).reduce((n, l) => n + l.length + 1, 0);
  editor.focus();
  editor.setSelectionRange(start, start + (lines[line - 1] || '').length);
}

// The response's charset: its Charset header, else the ghost's.
function responseCharset(bytes) {
  const m = /\r\nCharset: *([^\r\n]*)/i.exec(new TextDecoder('latin1').decode(bytes));
  return m ? m[1].trim() : ghostCharset();
}

function showAnswer(title, responseText, talk, whyText) {
  $('answer-title').textContent = title;
  $('answer-raw').textContent = responseText;
  TalkRender.render($('answer-talk'), talk);
  $('why').textContent = whyText || '(nothing to explain)';
}

function talkOf(responseText) {
  const m = /\r\nSentence: ([^\r\n]*)/.exec(responseText);
  return m ? m[1] : '';
}

// ---- Requests --------------------------------------------------------------------

function requestText(lines) { return lines.join('\r\n') + '\r\n\r\n'; }

function begin(request) { return [request + ' SHIORI/2.5', 'Sender: ' + kSender, 'SecurityLevel: local']; }

const quickRequests = {
  OnBoot: () => requestText([...begin('GET Sentence'), 'Event: OnBoot']),
  OnSecondChange: () => requestText([...begin('GET Sentence'), 'Event: OnSecondChange', 'Reference0: 0']),
  OnMinuteChange: () => requestText([...begin('GET Sentence'), 'Event: OnMinuteChange', 'Reference0: 0']),
  'OnMouseDoubleClick (0, head)': () => requestText([...begin('GET Sentence'), 'Event: OnMouseDoubleClick', 'Reference0: 0', 'Reference1: head']),
  OnMouseClick: () => requestText([...begin('GET Sentence'), 'Event: OnMouseClick', 'Reference0: 0']),
  OnClose: () => requestText([...begin('GET Sentence'), 'Event: OnClose']),
  'random talk': () => requestText(begin('GET Sentence')),
  'GET Word (\\tool)': () => requestText([...begin('GET Word'), 'Type: \\tool']),
  'GET String (motto)': () => requestText([...begin('GET String'), 'ID: motto']),
  'GET Status': () => requestText(begin('GET Status')),
  'GET Version': () => requestText(begin('GET Version')),
};

// The request box's text as the module gets it: CR LF line ends, the
// ending empty line, the ghost's charset.
function requestBytes(text) {
  let t = text.replace(/\r\n?/g, '\n').replace(/\n*$/, '');
  t = t.replace(/\n/g, '\r\n') + '\r\n\r\n';
  return Charsets.encode(t, ghostCharset(), 'the request');
}

async function send(text) {
  lastRequest = text;
  let bytes;
  try {
    bytes = requestBytes(text);
  } catch (e) {
    complain(e.message);
    return;
  }
  if (bytes.length > requestLimit) {
    complain(`The request is ${bytes.length} bytes; the page sends at most ${requestLimit}`);
    return;
  }
  busy(true);
  try {
    if (!workerLoaded) await reloadModule();
    const result = await step('request', { bytes }, [bytes.buffer]);
    const charset = responseCharset(result.response);
    const shown = Charsets.decode(result.response, charset);
    if (shown === '') complain('The module gave no response');
    showAnswer('answer to ' + firstLine(text), shown, talkOf(shown), Charsets.decode(result.why, charset));
  } catch (e) {
    complain(e.message);
  } finally {
    busy(false);
  }
}

function firstLine(text) {
  const m = /Event: *([^\r\n]*)/.exec(text);
  return m ? m[1] : text.split(/\r?\n/)[0];
}

function busy(on) { document.body.classList.toggle('busy', on); $('status').textContent = on ? 'working…' : 'ready'; }

// After the ghost changed: check and load it, then show the OnLoad talk or
// the answer to the last request sent again.
async function ghostChanged() {
  showFileList();
  save();
  busy(true);
  try {
    const result = await reloadModule();
    busy(false);
    if (lastRequest !== null) return send(lastRequest);
    const charset = ghostCharset();
    const talk = Charsets.decode(result.onload, charset);
    showAnswer('OnLoad', talk, talk, Charsets.decode(result.why, charset));
  } catch (e) {
    complain(e.message);
  } finally {
    busy(false);
  }
}

let editTimer = null;
function edited() {
  const f = files[current];
  if (!f) return;
  f.text = $('editor').value;
  delete f.bytes;
  clearTimeout(editTimer);
  editTimer = setTimeout(() => { clearComplaints(); ghostChanged(); }, kEditDelayMs);
}

// ---- Start --------------------------------------------------------------------------

function wire() {
  const quick = $('quick');
  for (const [name, build] of Object.entries(quickRequests)) {
    const button = document.createElement('button');
    button.textContent = name;
    button.onclick = () => { $('request').value = build().replace(/\r\n/g, '\n').trimEnd(); send($('request').value); };
    quick.appendChild(button);
  }
  $('send').onclick = () => send($('request').value);
  $('editor').addEventListener('input', edited);
  $('file').onchange = () => { current = $('file').value; showCurrentFile(); save(); };
  $('charset').onchange = () => {
    const f = files[current];
    if (!f) return;
    if (f.bytes) f.text = Charsets.decode(f.bytes, $('charset').value).replace(/\r\n?/g, '\n');
    f.charset = $('charset').value;
    showCurrentFile();
    edited();
  };
  $('seed').onchange = () => ghostChanged();
  $('sample').onclick = () => {
    if (Object.keys(files).length > 0 && !confirm('Replace the files in the editor with the sample ghost?')) return;
    lastRequest = null;
    loadSample();
  };
  $('pick').onchange = (e) => { lastRequest = null; loadPicked(e.target.files); };
  $('new-file').onclick = () => {
    const name = prompt('Name of the new dictionary (add it to tamune.ini too):', 'dic_new.txt');
    if (!name) return;
    if (files[name] || !/^[^/\\]+$/.test(name) || name === '.' || name === '..') {
      complain(`"${name}" is taken or no plain file name`);
      return;
    }
    files[name] = { text: '', charset: ghostCharset(), crlf: true };
    current = name;
    ghostChanged();
  };
}

async function start() {
  wire();
  startWorker();
  busy(true);
  try {
    requestLimit = (await step('limit')).limit;
  } catch (e) {
    complain(e.message);
  }
  busy(false);
  if (!$('seed').value) $('seed').value = String(Math.floor(Math.random() * 0xffffffff));
  if (restore()) await ghostChanged();
  else await loadSample();
}

start();
