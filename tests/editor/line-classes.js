'use strict';
// What the module makes of each line of a dictionary, written from the
// author's manual and independent of the grammar: a blank line, a comment,
// an entry (and its kind), a line of a talk gathered below its entry, or an
// indented line that continues the entry above (NSDeclare on).
const trim = (s) => s.replace(/^[ \t]+|[ \t]+$/g, '');

// The first comma-separated field, "\," standing for a comma in it; and the
// rest.
function takeField(s) {
  s = trim(s);
  let field = '';
  for (let i = 0; i < s.length; i++) {
    if (s[i] === '\\' && s[i + 1] === ',') {
      field += ',';
      i++;
    } else if (s[i] === ',') {
      return [trim(field), trim(s.slice(i + 1))];
    } else {
      field += s[i];
    }
  }
  return [trim(field), ''];
}

// The shorter of the two decides how much is compared, so a line "\h" is a
// prefix of "\hl" and counts as one.
function compareHead(literal, line, count) {
  const n = Math.min(count, literal.length, line.length);
  return literal.slice(0, n) === line.slice(0, n);
}

const TAG_HEADS = ['\\ms[', '\\mz[', '\\ml[', '\\mc[', '\\mh[', '\\mt[', '\\me[', '\\mp[', '\\d[', '\\k[', '\\['];

// The kind of an entry line, and whether its talk is to be gathered from
// the lines below (a kind that may, with its talk left empty).
function entryKind(line, nsdeclare) {
  const [key, rest] = takeField(line);
  const second = () => takeField(rest)[1];
  if (key === 'Option') return { kind: 'option' };
  if (key[0] === '$') return { kind: 'macro' };
  if (key === '\\ft') return { kind: 'word-talk' };
  if (key === '\\re') return { kind: 'reply', body: second() === '' };
  if (key === '\\hl') return { kind: 'hello', body: second() === '' };
  if (key === '\\ch') return { kind: 'link' };
  if (key === '\\e') return { kind: 'free-talk', body: rest === '' };
  if (nsdeclare && TAG_HEADS.some((h) => key.startsWith(h))) return { kind: 'tag-word-list' };
  if (key[0] === '@') return { kind: 'event', body: rest === '' };
  if (key === '\\ev') return { kind: 'event', body: second() === '' };
  if (key[0] === '*') return { kind: 'string', body: rest === '' };
  if (key === '\\id') return { kind: 'string', body: second() === '' };
  if (key[0] === '\\') return { kind: 'word-list' };
  if (key[0] === '+') return { kind: 'status' };
  return { kind: 'unknown' };
}

function endsBody(line) {
  if (line === '' || '#@/*'.includes(line[0])) return true;
  return line[0] === '\\' && (compareHead('\\e', line, 2) || compareHead('\\re', line, 3) ||
    compareHead('\\hl', line, 3) || compareHead('\\id', line, 3));
}

// One { role, kind } for each line; role is "blank", "comment", "entry",
// "body" or "continuation".
function classifyLines(lines) {
  const out = [];
  let inBlock = false;
  let nsdeclare = false;
  let body = null;
  let afterEntry = false;
  for (const raw of lines) {
    const line = trim(raw);
    if (inBlock) {
      out.push({ role: 'comment' });
      if (line.startsWith('*/')) inBlock = false;
      continue;
    }
    if (body !== null) {
      if (!endsBody(line)) {
        out.push({ role: 'body', kind: body });
        continue;
      }
      body = null;
    }
    if (nsdeclare && afterEntry && /^[ \t]/.test(raw)) {
      out.push({ role: 'continuation' });
      continue;
    }
    afterEntry = false;
    if (line.startsWith('/*')) {
      inBlock = true;
      out.push({ role: 'comment' });
    } else if (line === '') {
      out.push({ role: 'blank' });
    } else if (line[0] === '#' || line[0] === ',' || compareHead('//', line, 2)) {
      out.push({ role: 'comment' });
    } else {
      const entry = entryKind(line, nsdeclare);
      if (entry.kind === 'option') {
        const directive = takeField(line)[1];
        if (directive === 'NSDeclare True') nsdeclare = true;
        if (directive === 'NSDeclare False') nsdeclare = false;
      }
      out.push({ role: 'entry', kind: entry.kind });
      if (entry.body) body = entry.kind;
      afterEntry = true;
    }
  }
  return out;
}

module.exports = { classifyLines, takeField };
