// Charsets of the page: a ghost's files are bytes in Shift_JIS or UTF-8;
// the editor holds text. Decoding is the browser's (TextDecoder, whose
// "shift_jis" reads byte 0x5C as a backslash, as the module does); the
// Shift_JIS encoder is the decoder's table read backwards.
'use strict';

const Charsets = (() => {
  let sjisTable = null;  // code point -> [lead, trail]

  function isSjisLead(b) { return (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc); }

  // Every double-byte code decoded once. Leads 0xED and 0xEE (NEC's copies
  // of IBM's extension characters) come last, so that a character both
  // rows hold is written with IBM's code, as browsers write it.
  function buildSjisTable() {
    const table = new Map();
    const decoder = new TextDecoder('shift_jis', { fatal: true });
    const leads = [];
    for (let b = 0x81; b <= 0xfc; b++) if (isSjisLead(b) && b !== 0xed && b !== 0xee) leads.push(b);
    leads.push(0xed, 0xee);
    for (const lead of leads) {
      for (let trail = 0x40; trail <= 0xfc; trail++) {
        if (trail === 0x7f) continue;
        let text;
        try { text = decoder.decode(new Uint8Array([lead, trail])); } catch (e) { continue; }
        const code = text.codePointAt(0);
        if (text.length === 1 && !table.has(code)) table.set(code, [lead, trail]);
      }
    }
    return table;
  }

  // Text as Shift_JIS bytes; throws with the line and the character that
  // has no Shift_JIS form.
  function encodeSjis(text, name) {
    if (sjisTable === null) sjisTable = buildSjisTable();
    const out = [];
    let line = 1;
    for (const ch of text) {
      const code = ch.codePointAt(0);
      if (code === 0x0a) line++;
      if (code < 0x80) { out.push(code); continue; }
      if (code >= 0xff61 && code <= 0xff9f) { out.push(code - 0xff61 + 0xa1); continue; }
      const pair = sjisTable.get(code);
      if (!pair) throw new Error(`${name}, line ${line}: "${ch}" (U+${code.toString(16).toUpperCase().padStart(4, '0')}) has no Shift_JIS form`);
      out.push(pair[0], pair[1]);
    }
    return new Uint8Array(out);
  }

  function encode(text, charset, name) {
    return isUtf8(charset) ? new TextEncoder().encode(text) : encodeSjis(text, name);
  }

  function isUtf8(charset) { return /^utf-?8$/i.test(charset || ''); }

  function decoderName(charset) { return isUtf8(charset) ? 'utf-8' : 'shift_jis'; }

  // Bytes as text, replacing what does not decode.
  function decode(bytes, charset) { return new TextDecoder(decoderName(charset)).decode(bytes); }

  // The offset of the first byte that does not decode in `charset`, or -1.
  function invalidOffset(bytes, charset) {
    const decoder = new TextDecoder(decoderName(charset), { fatal: true });
    try { decoder.decode(bytes); return -1; } catch (e) { /* find it below */ }
    let lo = 0, hi = bytes.length;  // bytes[0, lo) decode, bytes[0, hi) do not
    while (hi - lo > 1) {
      const mid = (lo + hi) >> 1;
      try { decoder.decode(bytes.subarray(0, mid)); lo = mid; } catch (e) { hi = mid; }
    }
    return lo;
  }

  function isAscii(bytes) { return bytes.every((b) => b < 0x80); }

  // The charset a file's bytes are in: UTF-8 when they are valid UTF-8 with
  // a character beyond ASCII, Shift_JIS when they are valid Shift_JIS, null
  // when neither; plain ASCII is `fallback`.
  function detect(bytes, fallback) {
    if (isAscii(bytes)) return fallback;
    if (invalidOffset(bytes, 'UTF-8') < 0) return 'UTF-8';
    if (invalidOffset(bytes, 'Shift_JIS') < 0) return 'Shift_JIS';
    return null;
  }

  return { encode, decode, detect, invalidOffset, isUtf8 };
})();
