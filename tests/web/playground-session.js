// Drives the playground page in the machine's headless Chromium through
// playwright-core: the sample ghost loads, OnBoot is sent, one line of a
// dictionary is edited and the new answer, its why text and the checker's
// diagnostic of a misspelled tag appear; Japanese talk of the Shift_JIS
// sample shows; the edits outlive a reload of the page; a UTF-8 ghost picked
// from files answers, and a missing file, bytes of no charset and an
// oversized request are reported. On failure the page is saved as a
// screenshot.
//
// Usage: node playground-session.js SITE_DIR CHROMIUM FAILURE_PNG [PAGE_PNG]
// (PAGE_PNG: the page with the sample ghost's Japanese answer, for the docs)
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { chromium } = require('playwright-core');

const [siteDir, chromiumPath, failureShot, finalShot] = process.argv.slice(2);
const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };

function serve(root) {
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const file = path.join(root, name.endsWith('/') ? name + 'index.html' : name);
    if (!file.startsWith(root) || !fs.existsSync(file)) { res.writeHead(404); res.end(); return; }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The line of `text` (1-based) that holds `needle`.
function lineOf(text, needle) {
  return text.split('\n').findIndex((l) => l.includes(needle)) + 1;
}

async function session(page, base, shot) {
  const pageErrors = [];
  page.on('pageerror', (e) => pageErrors.push(e.message));
  await page.goto(base);
  await page.waitForFunction(() => document.getElementById('answer-title').textContent === 'OnLoad', null, { timeout: 60000 });
  assert.match(await page.textContent('#answer-talk'), /Welcome to the workshop/);
  assert.equal(await page.textContent('#diagnostic-count'), 'no problems');

  // OnBoot: the sample ghost has no talk for it.
  await page.click('#quick button:text-is("OnBoot")');
  await page.waitForFunction(() => document.getElementById('answer-title').textContent === 'answer to OnBoot');
  const before = await page.textContent('#answer-raw');
  assert.match(before, /^SHIORI\/2\.5 /);
  assert.doesNotMatch(before, /Good morning/);

  // One line of dic_events.txt becomes OnBoot's talk; the page sends OnBoot again.
  await page.selectOption('#file', 'dic_events.txt');
  const original = await page.inputValue('#editor');
  const line = lineOf(original, '// A counter kept in a variable');
  assert.ok(line > 0, 'the comment line to edit is in dic_events.txt');
  const lines = original.split('\n');
  lines[line - 1] = '@OnBoot,[M]Good morning from the playground. Pass me the %tool, please.';
  await page.fill('#editor', lines.join('\n'));
  await page.waitForFunction(() => /Good morning from the playground/.test(document.getElementById('answer-talk').textContent));
  assert.match(await page.textContent('#answer-raw'), /Sentence: \\h\\s\[0\]Good morning from the playground\. Pass me the (?!%tool)/);
  assert.match(await page.textContent('#why'), new RegExp(`event OnBoot[\\s\\S]*candidate dic_events\\.txt:${line} `));
  assert.equal(await page.textContent('#diagnostic-count'), 'no problems');

  // The same line with a misspelled tag: the checker names it.
  lines[line - 1] = '@OnBoot,[M]Good morning from the playground. Pass me the %toool, please.';
  await page.fill('#editor', lines.join('\n'));
  const expected = new RegExp(`^dic_events\\.txt:${line}:\\d+: warning: %toool is no category.*\\[T003\\]$`);
  await page.waitForFunction((source) => [...document.querySelectorAll('#diagnostics li')]
    .some((li) => new RegExp(source).test(li.textContent)), expected.source);

  // The edits are kept across a reload of the page.
  await page.reload();
  await page.waitForFunction(() => document.getElementById('status').textContent === 'ready' &&
    document.getElementById('diagnostics').children.length > 0, null, { timeout: 60000 });
  await page.selectOption('#file', 'dic_events.txt');
  assert.equal((await page.inputValue('#editor')).split('\n')[line - 1], lines[line - 1]);

  // Japanese talk from the Shift_JIS dictionary, written back from the
  // kept text by the page's encoder.
  await page.fill('#request', 'GET Sentence SHIORI/2.5\nSender: test\nEvent: OnKeyPress\nReference0: j');
  await page.click('#send');
  await page.waitForFunction(() => document.getElementById('answer-title').textContent === 'answer to OnKeyPress');
  assert.match(await page.textContent('#answer-talk'), /こんにちは！今日は日本語の練習です。/);
  assert.match(await page.textContent('#why'), /dic_nihongo\.txt:\d+/);
  if (shot) await page.screenshot({ path: shot });

  await badInput(page);
  assert.deepEqual(pageErrors, []);
  return line;
}

function picked(name, bytes) {
  return { name, mimeType: 'text/plain', buffer: Buffer.from(bytes) };
}

// A UTF-8 ghost with a listed file missing and one of bytes in no charset;
// then a request larger than the module takes.
async function badInput(page) {
  const dic = 'Option,Charset: UTF-8\r\n\\お菓子,団子\r\n@OnBoot,\\h\\s[0]おはよう、%お菓子。\r\n';
  await page.setInputFiles('#pick', [
    picked('tamune.ini', 'dic.txt\r\nmissing.txt\r\nbroken.txt\r\n'),
    picked('dic.txt', dic),
    picked('broken.txt', [0x40, 0x41, 0x2c, 0xff, 0x0d, 0x0a]),
  ]);
  await page.waitForFunction(() => /missing\.txt/.test(document.getElementById('errors').textContent) &&
    document.getElementById('answer-title').textContent === 'OnLoad');
  const errors = await page.textContent('#errors');
  assert.match(errors, /tamune\.ini lists missing\.txt, which is not among the files picked/);
  assert.match(errors, /broken\.txt: byte 0xFF at offset 3 is neither UTF-8 nor Shift_JIS/);
  assert.match(await page.textContent('#diagnostics'), /missing\.txt.*\[L002\]/);
  await page.click('#quick button:text-is("OnBoot")');
  await page.waitForFunction(() => /おはよう、団子。/.test(document.getElementById('answer-talk').textContent));
  assert.match(await page.textContent('#answer-raw'), /Charset: UTF-8/);

  await page.fill('#request', 'GET Sentence SHIORI/2.5\nEvent: OnBoot\nReference0: ' + 'x'.repeat(1 << 20));
  await page.click('#send');
  await page.waitForFunction(() => /The request is \d+ bytes; the page sends at most 1048576/.test(
    document.getElementById('errors').textContent));
}

async function main() {
  const root = path.resolve(siteDir);
  const server = await serve(root);
  const base = `http://127.0.0.1:${server.address().port}/`;
  const browser = await chromium.launch({ executablePath: chromiumPath, headless: true,
    args: ['--no-sandbox', '--disable-gpu'] });
  const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
  page.setDefaultTimeout(30000);
  let failed = false;
  try {
    const line = await session(page, base, finalShot);
    console.log(`playground session passed (edited dic_events.txt:${line})`);
  } catch (e) {
    failed = true;
    fs.mkdirSync(path.dirname(failureShot), { recursive: true });
    await page.screenshot({ path: failureShot, fullPage: true }).catch(() => {});
    console.error(e);
    console.error(`screenshot of the page: ${failureShot}`);
  } finally {
    await browser.close();
    server.close();
  }
  process.exit(failed ? 1 : 0);
}

main();
