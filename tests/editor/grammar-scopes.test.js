'use strict';
// The scopes of every construct of the dictionary format that the manual
// lists, in the sample ghost's dictionaries and in short inline texts.
// A case is [construct, source, piece, scope, options]: source is the name
// of a sample ghost dictionary or an inline text; the piece is looked for
// in the first line holding options.at (default: the piece), from there on.
// The piece must be exactly a run of tokens carrying the scope (scopes
// match by prefix, the ".tamune-dic" suffix left out); options.within only
// asks that the piece lies inside such a run, options.not that no part of
// the piece carries the scope.
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');
const { SOURCE, tokenize, hasScope, readDictionary } = require('./textmate');

const R = String.raw;
const ghost = (name) => readDictionary(path.join(SOURCE, 'examples', 'ghost', name));
const cache = new Map();
async function lines(source) {
  if (!cache.has(source)) {
    cache.set(source, tokenize(/^dic_\w+\.txt$/.test(source) ? ghost(source) : source));
  }
  return cache.get(source);
}

async function check([construct, source, piece, scope, options = {}]) {
  const at = options.at || piece;
  const all = await lines(source);
  // Comment lines of the sample ghost talk about the constructs too: they
  // are passed over unless the case is about a comment.
  const inComment = options.inComment || scope.startsWith('comment');
  const isComment = (l) => {
    const first = l.tokens.find((t) => t.text.trim() !== '');
    return first !== undefined && hasScope(first, 'comment');
  };
  const line = all.find((l) => l.text.includes(at) && (inComment || !isComment(l)));
  assert.ok(line, `${construct}: no line of ${source.slice(0, 40)} holds ${JSON.stringify(at)}`);
  const start = line.text.indexOf(piece, line.text.indexOf(at));
  assert.ok(start >= 0, `${construct}: ${JSON.stringify(piece)} is not in ${JSON.stringify(line.text)}`);
  const end = start + piece.length;
  const carries = (t) => hasScope(t, scope);
  const overlapping = line.tokens.filter((t) => t.end > start && t.start < end);
  const describeTokens = () => overlapping.map((t) => `${JSON.stringify(t.text)}: ${t.scopes.slice(1).join(' ')}`).join('; ');
  if (options.not) {
    assert.ok(!overlapping.some(carries), `${construct}: ${JSON.stringify(piece)} must not be ${scope} (${describeTokens()})`);
    return;
  }
  assert.ok(overlapping.every(carries), `${construct}: ${JSON.stringify(piece)} should be ${scope} (${describeTokens()})`);
  if (options.within) return;
  let first = line.tokens.indexOf(overlapping[0]);
  let last = line.tokens.indexOf(overlapping.at(-1));
  while (first > 0 && carries(line.tokens[first - 1])) first--;
  while (last < line.tokens.length - 1 && carries(line.tokens[last + 1])) last++;
  const runStart = line.tokens[first].start;
  const runEnd = line.tokens[last].end;
  assert.deepEqual([runStart, runEnd], [start, end],
    `${construct}: ${scope} runs over ${JSON.stringify(line.text.slice(runStart, runEnd))}, not ${JSON.stringify(piece)}`);
}

const GROUPS = {
  'entry keys': [
    ['Option directive', 'dic_base.txt', 'Option', 'keyword.control.entry.option', { at: 'Option,Charset' }],
    ['Option Charset:', 'dic_base.txt', 'Charset:', 'support.constant.option'],
    ['Option charset name', 'dic_base.txt', 'Shift_JIS', 'string.unquoted.charset', { at: 'Charset: Shift_JIS' }],
    ['Option NSDeclare True', 'dic_declare.txt', 'True', 'constant.language.boolean', { at: 'Option,NSDeclare True' }],
    ['Option NSDeclare False', 'dic_declare.txt', 'NSDeclare', 'support.constant.option', { at: 'Option,NSDeclare False' }],
    ['Option AIStateComplex', 'Option,AIStateComplex', 'AIStateComplex', 'support.constant.option'],
    ['Option, an unknown setting', 'Option,Debug On', 'Debug On', 'invalid.illegal.unknown-option'],
    ['$ macro key', 'dic_base.txt', '$', 'keyword.control.entry.macro', { at: '$[M],' }],
    ['$ macro pattern', 'dic_base.txt', '[M-smile]', 'entity.name.function.macro'],
    ['$ macro placeholder %0 in the pattern', 'dic_base.txt', '%0', 'variable.parameter.placeholder', { at: '${sigh:%0}' }],
    ['$ macro placeholder %1 in the replacement', 'dic_base.txt', '%1', 'variable.parameter.placeholder', { at: R`\u\s[10]%1` }],
    ['$ macro replacement holds script tags', 'dic_base.txt', R`\w`, 'entity.name.tag.script.wait', { at: R`%0\w8` }],
    [R`\ft key`, 'dic_words.txt', R`\ft`, 'keyword.control.entry.ft', { at: R`\ft,pocket` }],
    [R`\ft word`, 'dic_words.txt', 'pocket watch', 'string.unquoted.word', { at: R`\ft,pocket watch` }],
    [R`\ft category`, 'dic_words.txt', 'friend', 'entity.name.type.category', { at: R`\friend,` }],
    [R`\ft talk`, 'dic_words.txt', '[[Bolt? I rebuilt', 'meta.talk', { within: true }],
    [R`\ch key`, 'dic_words.txt', R`\ch`, 'keyword.control.entry.ch', { at: R`\ch,\tool,oil` }],
    [R`\ch first category`, 'dic_words.txt', 'tool', 'entity.name.type.category', { at: R`\ch,\tool,oil` }],
    [R`\ch first word`, 'dic_words.txt', 'oil can', 'string.unquoted.word', { at: R`\ch,\tool,oil` }],
    [R`\ch second category`, 'dic_words.txt', 'part', 'entity.name.type.category', { at: R`\part,hairspring` }],
    [R`\ch second word`, 'dic_words.txt', 'hairspring', 'string.unquoted.word', { at: R`\part,hairspring` }],
    [R`\ch fifth field dropped`, R`\ch,\a,b,\c,d,e`, 'e', 'comment.other.ignored', { at: 'd,e' }],
    [R`\e key`, 'dic_talk.txt', R`\e`, 'keyword.control.entry.e', { at: R`\e,[M]Tick` }],
    [R`\e talk`, 'dic_talk.txt', '[M]Tick', 'meta.talk', { within: true }],
    ['@ event key', 'dic_events.txt', '@', 'keyword.control.entry.event', { at: '@OnMouseClick&%pokes' }],
    ['@ event name', 'dic_events.txt', 'OnMouseClick', 'entity.name.function.event', { at: '@OnMouseClick&%pokes' }],
    ['@Event&condition: the &', 'dic_events.txt', '&', 'keyword.operator.condition', { at: '@OnMouseClick&%pokes' }],
    ['@Event&condition: the condition', 'dic_events.txt', '%pokes >= 3', 'meta.condition'],
    ['@Event&nohit', 'dic_events.txt', 'nohit', 'constant.language.nohit', { at: '@OnMouseClick&nohit' }],
    ['nohit only as the whole condition', '@OnA&nohit = 1,x', 'nohit', 'constant.language.nohit', { not: true }],
    [R`\ev key`, 'dic_events.txt', R`\ev`, 'keyword.control.entry.ev', { at: R`\ev,OnBolt` }],
    [R`\ev event name`, 'dic_events.txt', 'OnBoltWakes', 'entity.name.function.event'],
    [R`\ev&condition`, R`\ev,OnWave&"%ref0" = "1",\h hi`, '"%ref0" = "1"', 'meta.condition'],
    [R`\re key`, 'dic_friends.txt', R`\re`, 'keyword.control.entry.re', { at: R`\re,owl` }],
    [R`\re condition, a bare word`, 'dic_friends.txt', 'owl', 'string.unquoted.bare-word', { at: R`\re,owl` }],
    [R`\re nohit`, 'dic_friends.txt', 'nohit', 'constant.language.nohit', { at: R`\re,nohit` }],
    [R`\hl key`, 'dic_friends.txt', R`\hl`, 'keyword.control.entry.hl', { at: R`\hl,Kuro` }],
    [R`\hl condition`, 'dic_friends.txt', '%ghostcount >= 2', 'meta.condition'],
    ['* string key', 'dic_workshop.txt', '*', 'keyword.control.entry.string', { at: '*homepage' }],
    ['* string id', 'dic_workshop.txt', 'homepage', 'entity.name.label.string-id', { at: '*homepage' }],
    [R`\id key`, 'dic_declare.txt', R`\id`, 'keyword.control.entry.id', { at: R`\id,recommendsites,Guild` }],
    [R`\id string id`, 'dic_declare.txt', 'recommendsites', 'entity.name.label.string-id', { at: R`\id,recommendsites,Guild` }],
    ['word list backslash', 'dic_words.txt', '\\', 'punctuation.definition.category', { at: R`\tool,` }],
    ['word list category', 'dic_words.txt', 'tool', 'entity.name.type.category', { at: R`\tool,` }],
    ['word list words', 'dic_words.txt', 'oil can', 'string.unquoted.word', { at: R`\tool,` }],
    ['word list, Japanese category', 'dic_nihongo.txt', 'お菓子', 'entity.name.type.category', { at: R`\お菓子,` }],
    ['word list, Japanese word', 'dic_nihongo.txt', '羊羹', 'string.unquoted.word'],
    ['word list ends at an empty field', R`\fruit,apple,,pear`, ',pear', 'comment.other.ignored'],
    ['word list before the empty field', R`\fruit,apple,,pear`, 'apple', 'string.unquoted.word'],
    [R`word list category with \,`, R`\name\,x,Taro`, R`name\,x`, 'entity.name.type.category'],
    ['tag word list head', 'dic_declare.txt', 'ms', 'entity.name.type.category', { at: R`\ms[antique,brass]` }],
    ['tag word list tags', 'dic_declare.txt', 'antique', 'entity.name.type.category.tag', { at: R`\ms[antique,brass]` }],
    ['tag word list second tag', 'dic_declare.txt', 'brass', 'entity.name.type.category.tag'],
    [R`tag word list \[...]`, 'dic_declare.txt', 'sticky', 'entity.name.type.category.tag', { at: R`\[sweet,sticky]` }],
    ['tag word list words', 'dic_declare.txt', 'Nuremberg', 'string.unquoted.word'],
    ['tag keys are word lists without NSDeclare', R`\ms[plain],word`, 'ms[plain]', 'entity.name.type.category'],
    ['no tags without NSDeclare', R`\ms[plain],word`, 'plain', 'entity.name.type.category.tag', { not: true }],
    ['+ status key', 'dic_workshop.txt', '+', 'keyword.control.entry.status'],
    ['+ status values', 'dic_workshop.txt', '%chaincount', 'variable.language.system'],
    ['a key that is none of them', 'hello,world', 'hello', 'invalid.illegal.unknown-key'],
  ],
  comments: [
    ['// line', 'dic_events.txt', '// References:', 'comment.line.double-slash', { within: true }],
    ['a line class is decided after the leading blanks', '   // indented\n@OnA,x', '// indented', 'comment.line.double-slash', { within: true }],
    ['# line', '# also a comment\n@OnA,x', '# also a comment', 'comment.line.number-sign'],
    ['# sealing header', 'dic_workshop.txt', '#たむねＡＩ辞書 with WITHKEYWORDFORDICTIONARYSEALING', 'keyword.other.seal-header', { inComment: true }],
    [', line', ', and this\n@OnA,x', ', and this', 'comment.line.comma'],
    ['/* opens a block', 'dic_base.txt', '/*', 'punctuation.definition.comment.begin', { inComment: true }],
    ['/* ... */ block lines', 'dic_base.txt', 'Macros: "$pattern,replacement"', 'comment.block', { within: true }],
    ['*/ closes it', 'dic_words.txt', '*/', 'punctuation.definition.comment.end', { inComment: true }],
    ['a block cannot close on its first line', '/* seems to end here */\n@OnE,x\n*/ @OnC,y\n@OnF,z', '@OnE,x', 'comment.block'],
    ['the closing line is a comment to its end', '/* a\n*/ @OnC,y\n@OnF,z', '@OnC,y', 'comment.block', { within: true }],
    ['the line after it is read', '/* a\n*/ @OnC,y\n@OnF,z', '@OnF,z', 'comment', { not: true }],
    ['// in the middle of a line is talk', R`@OnA,\h\s[0]A is here. // this is part of the talk`, '// this', 'comment', { not: true }],
  ],
  escapes: [
    [R`\, in the talk of \e`, 'dic_talk.txt', R`\,`, 'constant.character.escape.comma', { at: R`Bolt\,` }],
    [R`\, in the talk of @`, 'dic_events.txt', R`\,`, 'constant.character.escape.comma', { at: R`head\,` }],
    [R`\, stays in the talk of \re`, R`\re,x,a\,b`, R`\,`, 'constant.character.escape', { not: true }],
    [R`\, in a key`, R`\name\,x,Taro`, R`\,`, 'constant.character.escape.comma'],
    [R`\[1] in a string`, 'dic_workshop.txt', R`\[1]`, 'constant.character.escape.item-separator', { at: '*menu' }],
    [R`\[2] in a string`, 'dic_workshop.txt', R`\[2]`, 'constant.character.escape.list-separator', { at: '*menu' }],
  ],
  templates: [
    ['%category tag', 'dic_events.txt', '%tool', 'variable.other.tag'],
    ['numbered tag', 'dic_talk.txt', '%part2', 'variable.other.tag'],
    ['numbered tag: its number', 'dic_talk.txt', '2', 'constant.numeric.tag-number', { at: '%part2' }],
    ['%fruit1 is not numbered', R`\e,%fruit1`, '1', 'constant.numeric.tag-number', { not: true }],
    ['%m?', 'dic_declare.txt', '%m?', 'variable.language.any-word'],
    ['%m? numbered', R`\e,%m?2 and %m?`, '2', 'constant.numeric.tag-number', { at: '%m?2' }],
    ['Japanese tag ends at the particle', 'dic_nihongo.txt', '%お菓子', 'variable.other.tag'],
    ['Japanese tag', 'dic_nihongo.txt', '%道具', 'variable.other.tag'],
    ['tag of a tag word list', 'dic_declare.txt', '%[antique]', 'variable.other.tag'],
    ['%(formula)', 'dic_talk.txt', '%(%minute < 10 ? "0%minute" : "%minute")', 'meta.embedded.formula'],
    ['%( nests', R`\e,[%(1 ? (0 ? "a" : "b") : "c")] after`, '%(1 ? (0 ? "a" : "b") : "c")', 'meta.embedded.formula'],
    ['%( a group inside', R`\e,[%(1 ? (0 ? "a" : "b") : "c")] after`, '(0 ? "a" : "b")', 'meta.group'],
    ['%( in a formula', R`\e,%(%(1 + 2) * 3)`, '%(1 + 2)', 'meta.embedded.formula', { within: true }],
    ['%-name of a variable', 'dic_events.txt', '%visits', 'variable.other.tag', { at: 'number %visits' }],
    ['system value %hour', 'dic_talk.txt', '%hour', 'variable.language.system', { at: "It's %hour" }],
    ['system value %ref0', 'dic_events.txt', '%ref0', 'variable.language.system', { at: '"%ref0" = "1"' }],
    ['system value %sender', 'dic_friends.txt', '%sender', 'variable.language.system'],
    ['system value %ghostname', 'dic_friends.txt', '%ghostname', 'variable.language.system'],
    ['system value %hint1', 'dic_workshop.txt', '%hint1', 'variable.language.system', { at: '%hint1 is' }],
    ['system value %lastnum', 'dic_workshop.txt', '%lastnum', 'variable.language.system'],
    ['system value %ghosts[n]', R`\e,%ghosts[1] and %surf[Kuro].sakura`, '%ghosts[1]', 'variable.language.system'],
    ['system value %surf[NAME].sakura', R`\e,%ghosts[1] and %surf[Kuro].sakura`, '%surf[Kuro].sakura', 'variable.language.system'],
    ['%ref10 is %ref1 and a 0', R`\e,%ref10`, '%ref1', 'variable.language.system'],
    ['%rand[N]', 'dic_talk.txt', '%rand[3]', 'variable.language.random'],
    ['%rand[N] bound', 'dic_talk.txt', '3', 'constant.numeric.bound', { at: '%rand[3]' }],
    ['%randN', R`\e,%rand3 %rand[6]2`, '%rand3', 'variable.language.random'],
    ['%rand[N] numbered', R`\e,%rand3 %rand[6]2`, '%rand[6]2', 'variable.language.random'],
    ['any other % stays', R`\e,100% sure, 50% off`, '%', 'variable', { not: true, at: '100%' }],
  ],
  formulas: [
    ['; sequence', 'dic_events.txt', ';', 'keyword.operator.sequence', { at: '1 ; ' }],
    [':= assignment', 'dic_events.txt', ':=', 'keyword.operator.assignment', { at: R`\visits := 1` }],
    ['? choice', 'dic_talk.txt', '?', 'keyword.operator.ternary', { at: '? "Still' }],
    [': choice', 'dic_talk.txt', ':', 'keyword.operator.ternary', { at: ': "Where' }],
    ['| or', R`\e,%(0 | 2)`, '|', 'keyword.operator.logical'],
    ['& and', 'dic_events.txt', '&', 'keyword.operator.logical', { at: '& "%ref1" = "head"' }],
    ['>= comparison', 'dic_events.txt', '>=', 'keyword.operator.comparison'],
    ['< comparison', 'dic_talk.txt', '<', 'keyword.operator.comparison', { at: '< 10' }],
    ['= comparison', 'dic_events.txt', '=', 'keyword.operator.comparison', { at: '= "1"' }],
    ['<> <= > comparisons', R`\e,%(a <> b)%(1 <= 2)%(3 > 2)`, '<>', 'keyword.operator.comparison'],
    ['<= comparison', R`\e,%(a <> b)%(1 <= 2)%(3 > 2)`, '<=', 'keyword.operator.comparison'],
    ['> comparison', R`\e,%(a <> b)%(1 <= 2)%(3 > 2)`, '>', 'keyword.operator.comparison', { at: '3 >' }],
    ['+ addition', 'dic_events.txt', '+', 'keyword.operator.arithmetic', { at: '+ 1 ;' }],
    ['- * / arithmetic', R`\e,%(8 - 3 * 2 / 1)`, '-', 'keyword.operator.arithmetic'],
    ['* arithmetic', R`\e,%(8 - 3 * 2 / 1)`, '*', 'keyword.operator.arithmetic'],
    ['/ arithmetic', R`\e,%(8 - 3 * 2 / 1)`, '/', 'keyword.operator.arithmetic'],
    ['% remainder', R`\e,%(7 % 3)`, '%', 'keyword.operator.arithmetic.remainder', { at: '7 % 3' }],
    ['%3 is no remainder', R`\e,%(7 %3)`, '%', 'keyword.operator.arithmetic.remainder', { not: true, at: '7 %3' }],
    ['quoted string', 'dic_talk.txt', '"0%minute"', 'string.quoted.double'],
    ['%-name inside quotes', 'dic_talk.txt', '%minute', 'variable.language.system', { at: '"0%minute"' }],
    ['built-in \\_save', 'dic_events.txt', R`\_save`, 'support.function.builtin'],
    ['built-in \\_load', 'dic_events.txt', R`\_load`, 'support.function.builtin'],
    ['built-in \\timestamp', 'dic_nihongo.txt', R`\timestamp`, 'support.function.builtin'],
    ['built-in \\_length', 'dic_friends.txt', R`\_length`, 'support.function.builtin'],
    ['variable \\visits', 'dic_events.txt', R`\visits`, 'variable.other.readwrite', { at: R`\visits := 1` }],
    ['no such built-in', R`\e,%(\_nosuch := 7)`, R`\_nosuch`, 'variable.other.readwrite'],
    ['number', 'dic_talk.txt', '10', 'constant.numeric', { at: '< 10' }],
    ['hexadecimal numbers', R`\e,%($1F + 0x10 + x1F)`, '$1F', 'constant.numeric'],
    ['hexadecimal 0x', R`\e,%($1F + 0x10 + x1F)`, '0x10', 'constant.numeric'],
    ['bare word', 'dic_events.txt', 'visits', 'string.unquoted.bare-word', { at: 'visits) = ""' }],
    ['dots between arguments', 'dic_events.txt', '.', 'punctuation.separator.arguments', { at: '.%visits ;' }],
  ],
  'talk markers': [
    [R`\[deny]`, 'dic_workshop.txt', R`\[deny]`, 'keyword.control.marker.deny'],
    [R`\[success]`, 'dic_workshop.txt', R`\[success]`, 'keyword.control.marker.success'],
    [R`\[shortage]`, 'dic_workshop.txt', R`\[shortage]`, 'keyword.control.marker.shortage'],
    [R`\[advice]`, R`@OnTeach,\h hm\[advice]`, R`\[advice]`, 'keyword.control.marker.advice'],
    [R`\ns_ce`, 'dic_friends.txt', R`\ns_ce`, 'keyword.control.marker.end-conversation'],
    [R`\helloto[`, 'dic_friends.txt', R`\helloto`, 'keyword.control.marker.helloto'],
    [R`\helloto[NAME]`, 'dic_friends.txt', 'Kuro', 'string.unquoted.ghost-name', { at: R`\helloto[Kuro` }],
    [R`\a: a free talk instead`, 'dic_events.txt', R`\a`, 'keyword.control.redirect.free-talk'],
    [R`\a inside a talk is script`, R`@OnX,\h\a is mid-talk`, R`\a`, 'keyword.control.redirect', { not: true }],
    ['@Event: that event\'s talk', 'dic_events.txt', '@', 'keyword.control.redirect.event', { at: ',@OnMouseDoubleClick' }],
    ['@Event: the event named', 'dic_events.txt', 'OnMouseDoubleClick', 'entity.name.function.event', { at: ',@OnMouseDoubleClick' }],
    ['@Event from a hello', R`\hl,Rex,@OnRex`, '@', 'keyword.control.redirect.event', { at: ',@' }],
  ],
  'talk-script tags': [
    [R`\h`, 'dic_nihongo.txt', R`\h`, 'entity.name.tag.script.scope'],
    [R`\u`, 'dic_nihongo.txt', R`\u`, 'entity.name.tag.script.scope'],
    [R`\s[n]`, 'dic_nihongo.txt', R`\s`, 'entity.name.tag.script.surface', { at: R`\s[5]` }],
    [R`\s[n] number`, 'dic_nihongo.txt', '5', 'constant.numeric.surface', { at: R`\s[5]` }],
    [R`\sN`, R`\e,\h\s0hi`, '0', 'constant.numeric.surface'],
    [R`\n`, 'dic_events.txt', R`\n`, 'entity.name.tag.script.newline', { at: R`shop?\n` }],
    [R`\w8`, 'dic_base.txt', R`\w`, 'entity.name.tag.script.wait', { at: R`\w8` }],
    [R`\w8 number`, 'dic_base.txt', '8', 'constant.numeric.wait', { at: R`\w8` }],
    [R`\e ends a talk`, R`\e,\h hi\e`, R`\e`, 'entity.name.tag.script.end', { at: R`hi\e` }],
    [R`\_q and other tags`, R`\e,\_q \![raise,OnX] \c`, R`\_q`, 'entity.name.tag.script'],
    [R`\![...]`, R`\e,\_q \![raise,OnX] \c`, R`\!`, 'entity.name.tag.script'],
    [R`\![...] argument`, R`\e,\_q \![raise,OnX] \c`, 'raise,OnX', 'string.unquoted.argument'],
    ['&r( translation form', 'dic_talk.txt', '&r(3,12)', 'meta.translation-form'],
    ['&r( its name', 'dic_talk.txt', '&r', 'support.function.translation'],
  ],
  'lines below an entry': [
    ['talk gathered below @Event', 'dic_events.txt', '[M]Closing up shop?', 'meta.talk.body', { within: true }],
    ['gathered talk of @Event is the event\'s', 'dic_events.txt', 'I\'ll put the', 'meta.entry.event', { within: true }],
    [R`talk gathered below \e`, 'dic_talk.txt', 'The balance wheel swings', 'meta.talk.body', { within: true }],
    ['an empty line ends it', 'dic_talk.txt', '// Formulas', 'meta.talk.body', { not: true, inComment: true }],
    [R`a line "\h" ends it`, R`@OnCut` + '\n' + R`\h\s[0]The first line.` + '\n\\h\nNot part of it.', 'Not part of it.', 'invalid.illegal.unknown-key'],
    [R`talk gathered below \re,condition`, R`\re,clock` + '\nDid you say clock?', 'Did you say clock?', 'meta.talk.body'],
    [R`talk gathered below *id`, '*motto\nWind it up.', 'Wind it up.', 'meta.talk.body'],
    ['NSDeclare: indented lines continue the entry', 'dic_declare.txt', '[B]Hoo. Here it comes.', 'meta.continuation', { within: true }],
    ['NSDeclare: an indented # is no comment', 'Option,NSDeclare True\n@OnStory,x\n\t  # that never stopped.\nOption,NSDeclare False',
      '# that never stopped.', 'comment', { not: true }],
    ['without NSDeclare an indented # is a comment', 'Option,NSDeclare False\n\t# a comment', '# a comment', 'comment.line.number-sign', { within: true }],
  ],
};

for (const [group, cases] of Object.entries(GROUPS)) {
  describe(group, () => {
    for (const c of cases) test(c[0], () => check(c));
  });
}
