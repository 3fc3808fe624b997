#!/usr/bin/env node
// Parses every response of scripted-host transcripts with a third-party
// SHIORI message parser, the way a strict client reads them.
//
// Usage: check-responses.js SCRIPT TRANSCRIPT...
// SCRIPT is the script the scripted host ran (it names each request);
// each TRANSCRIPT is that host's output for it. A response with word lines
// ("Word:" followed by more lines) is checked for its status line and its
// closing empty line only, since such a parser reads one value per header.
'use strict';

const fs = require('fs');

let ShioriJK;
try {
  ShioriJK = require('shiorijk');
} catch (e) {
  console.error('check-responses: the npm package shiorijk is missing; ' +
                'scripts/bootstrap installs it (NODE_PATH must name its node_modules)');
  process.exit(2);
}

// The requests of a script in the order the host sends them: runs of
// non-empty lines; "#" lines are comments; "makoto: " and "makoto-request: "
// lines go to the translation module.
function scriptRequests(text) {
  const requests = [];
  let current = [];
  const flush = () => {
    if (current.length) requests.push(current.join('\r\n') + '\r\n');
    current = [];
  };
  for (let line of text.split('\n')) {
    line = line.replace(/\r$/, '');
    if (line.startsWith('#')) continue;
    if (/^makoto(-request)?: /.test(line) || line === '') flush();
    else current.push(line);
  }
  flush();
  return requests;
}

// Undoes the host's escaping: \r, \n (followed by a real line break), \\ and \xHH.
function unescape(text) {
  return text.replace(/\\n\n/g, '\n').replace(/\\(r|\\|x[0-9A-F]{2})/g, (_, code) => {
    if (code === 'r') return '\r';
    if (code === '\\') return '\\';
    return String.fromCharCode(parseInt(code.slice(1), 16));
  });
}

// The responses of the conversation module in a transcript, as byte strings
// (one character per byte).
function transcriptResponses(text) {
  const responses = [];
  const pattern = /^<< (\w+) \((\d+) bytes\)\n/gm;
  let match;
  while ((match = pattern.exec(text)) !== null) {
    const start = pattern.lastIndex;
    const next = text.indexOf('\n<< ', start);
    const tail = text.slice(start, next < 0 ? text.length : next + 1);
    const end = tail.search(/\n(load|unload|!!) /);
    const body = unescape((end < 0 ? tail : tail.slice(0, end + 1)).replace(/\n$/, ''));
    if (match[1] !== 'shiori') continue;
    if (body.length !== Number(match[2])) {
      throw new Error(`a response of ${match[2]} bytes reads back as ${body.length}`);
    }
    responses.push(body);
  }
  return responses;
}

function hasWordLines(response) {
  const word = response.indexOf('\r\nWord: ');
  return word >= 0 && response.indexOf('\r\n', word + 2) < response.length - 4;
}

// Throws with the parser's complaint when the response is not a message.
function check(response) {
  if (hasWordLines(response)) {
    if (!/^SHIORI\/2\.5 \d{3} [^\r\n]+\r\n/.test(response)) throw new Error('bad status line');
    if (!response.endsWith('\r\n\r\n')) throw new Error('no closing empty line');
    return;
  }
  try {
    new ShioriJK.Shiori.Response.Parser().parse(response);
  } catch (e) {
    throw new Error(String(e && e.message ? e.message : e));
  }
}

function visible(bytes) {
  return bytes.replace(/\r/g, '<CR>').replace(/\n/g, '<LF>\n    ');
}

function main(argv) {
  if (argv.length < 2) {
    console.error('usage: check-responses.js SCRIPT TRANSCRIPT...');
    return 2;
  }
  const requests = scriptRequests(fs.readFileSync(argv[0], 'latin1'));
  let parsed = 0;
  let failed = 0;
  for (const file of argv.slice(1)) {
    const responses = transcriptResponses(fs.readFileSync(file, 'latin1'));
    if (responses.length !== requests.length) {
      console.log(`${file}: ${responses.length} responses for ${requests.length} requests`);
      failed += 1;
    }
    responses.forEach((response, i) => {
      try {
        check(response);
        parsed += 1;
      } catch (e) {
        failed += 1;
        console.log(`${file}: response ${i + 1} rejected: ${e.message}`);
        console.log(`  request:\n    ${visible(requests[i] || '(none)')}`);
        console.log(`  response:\n    ${visible(response)}`);
      }
    });
  }
  console.log(`${parsed} responses parsed, ${failed} rejected`);
  return failed === 0 && parsed > 0 ? 0 : 1;
}

process.exit(main(process.argv.slice(2)));
