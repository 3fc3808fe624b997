// Talk scripts shown readably: the two speakers' lines ("\h" the main
// character, "\u" the partner, "\0" and "\1" too), line breaks ("\n"),
// surfaces ("\s[3]") and choices ("\q[title,id]") as small labels, and every
// other tag as a dimmed label; "\e" ends the script, "\\" is a backslash.
'use strict';

const TalkRender = (() => {
  const speakers = { h: 'main', u: 'partner', 0: 'main', 1: 'partner' };

  // The script cut into plain text and tags (name without its backslash,
  // argument without brackets).
  function tokens(script) {
    const out = [];
    const tag = /\\(_?[A-Za-z!&*-]|\\|[0-9])(?:\[((?:\\\]|[^\]])*)\]|([0-9](?![0-9])))?/g;
    let last = 0;
    for (let m; (m = tag.exec(script)) !== null;) {
      if (m.index > last) out.push({ text: script.slice(last, m.index) });
      out.push({ tag: m[1], arg: m[2] !== undefined ? m[2] : m[3] });
      last = tag.lastIndex;
    }
    if (last < script.length) out.push({ text: script.slice(last) });
    return out;
  }

  function label(className, text) {
    const span = document.createElement('span');
    span.className = className;
    span.textContent = text;
    return span;
  }

  // The script as blocks of speech in `container`.
  function render(container, script) {
    container.textContent = '';
    let block = null;
    const speak = (who) => {
      block = document.createElement('div');
      block.className = 'speech speech-' + who;
      block.appendChild(label('speaker', who === 'main' ? 'main (\\h)' : 'partner (\\u)'));
      container.appendChild(block);
    };
    for (const t of tokens(script)) {
      if (t.text !== undefined) {
        if (!block) speak('main');
        block.appendChild(document.createTextNode(t.text));
      } else if (t.tag === '\\') {
        if (!block) speak('main');
        block.appendChild(document.createTextNode('\\'));
      } else if (t.tag === 'e') {
        break;
      } else if (speakers[t.tag] && t.arg === undefined) {
        speak(speakers[t.tag]);
      } else {
        if (!block) speak('main');
        if (t.tag === 'n') block.appendChild(document.createElement('br'));
        else if (t.tag === 's') block.appendChild(label('tag tag-surface', 'surface ' + (t.arg || '')));
        else if (t.tag === 'q') block.appendChild(label('tag tag-choice', (t.arg || '').split(',')[0]));
        else block.appendChild(label('tag', '\\' + t.tag + (t.arg !== undefined ? '[' + t.arg + ']' : '')));
      }
    }
    if (!container.firstChild) container.appendChild(label('none', '(no talk)'));
  }

  return { render, tokens };
})();
