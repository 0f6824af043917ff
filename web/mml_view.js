// MmlView: the MML text with syntax colours and, in the gutter, the number of
// the bar each line of notes starts in, counted as the converter writes them:
// each pass of a track starts at its Time(bar:beat:tick) line, a bar line
// "|" ends a bar, and a "//Rhythm" comment after notes of an unfinished bar
// starts a new one (a change of time signature ends the bar it cuts).
'use strict';

const MmlView = (() => {
  const escapes = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' };
  const escape = (text) => text.replace(/[&<>"]/g, (c) => escapes[c]);
  // Comments, strings, commands (a word before "(" or "{"), notes, rests,
  // bar lines, octave marks.
  const token = new RegExp([
    '(\\/\\/.*$)',
    '("[^"]*")',
    '([A-Za-z_\\u3041-\\u30FF\\u4E00-\\u9FFF][A-Za-z0-9_.\\u3041-\\u30FF\\u4E00-\\u9FFF]*(?=[(（{]))',
    '((?<![A-Za-z])[a-g][+\\-#]?[0-9]*\\.*|(?:ド|レ|ミ|ファ|ソ|ラ|シ)[＃♯♭]?[0-9]*\\.*)',
    '((?<![A-Za-z])r[0-9]*\\.*|ん[0-9]*\\.*|\\^[0-9]*\\.*|ー[0-9]*\\.*)',
    '(\\|)',
    '((?<![A-Za-z])o[0-9]+|[<>↑↓]|音階[0-9]+)',
  ].join('|'), 'g');
  const classes = [null, 'c', 's', 'k', 'n', 'r', 'b', 'o'];
  const timeLine = /^(?:Time\(|時間（)\s*([0-9０-９]+)/;
  const fullWidth = (text) => text.replace(/[０-９]/g, (d) => String.fromCharCode(d.charCodeAt(0) - 0xFEE0));

  // Renders `text` into `pre`. Returns the lines of notes and rests:
  // [{element, bar, lastBar, pitch}] in text order (pitch: it holds a note).
  function render(pre, text) {
    const lines = text.split('\n');
    const html = [];
    const noteLines = [];
    let bar = 1;
    let dirty = false;  // notes written in the current bar
    lines.forEach((rawLine, index) => {
      const line = rawLine.replace(/\r$/, '');
      const time = timeLine.exec(line);
      let startBar = null;
      let lastBar = null;
      if (time) {
        bar = Number(fullWidth(time[1])) || 1;
        dirty = false;
      } else if (/^\s*\/\/Rhythm/.test(line)) {
        if (dirty) bar += 1;
        dirty = false;
      }
      let out = '';
      let at = 0;
      let hasNotes = false;
      let hasPitch = false;
      let barLines = 0;
      let afterLastBar = false;
      token.lastIndex = 0;
      for (let m; (m = token.exec(line)) !== null;) {
        if (m[0] === '') { token.lastIndex += 1; continue; }
        out += escape(line.slice(at, m.index));
        const group = m.findIndex((g, i) => i > 0 && g !== undefined);
        out += `<span class="${classes[group]}">${escape(m[0])}</span>`;
        at = m.index + m[0].length;
        if (group === 4 || group === 5) { hasNotes = true; afterLastBar = true; }
        if (group === 4) hasPitch = true;
        if (group === 6) { barLines += 1; afterLastBar = false; }
      }
      out += escape(line.slice(at));
      if (!time && (hasNotes || barLines > 0)) {
        startBar = bar;
        bar += barLines;
        lastBar = afterLastBar ? bar : bar - 1;
        dirty = afterLastBar || (dirty && barLines === 0);
      }
      const attribute = startBar === null ? '' : ` data-bar="${startBar}"`;
      html.push(`<span class="line"${attribute}>${out}</span>`);
      if (startBar !== null) {
        noteLines.push({ index, bar: startBar, lastBar: Math.max(startBar, lastBar), pitch: hasPitch });
      }
    });
    pre.innerHTML = html.join('\n');
    const elements = pre.children;
    return noteLines.map((l) => ({ element: elements[l.index], bar: l.bar, lastBar: l.lastBar, pitch: l.pitch }));
  }

  // The first line of notes that holds bar `n`, or the last line of notes
  // before it.
  function lineOfBar(noteLines, n) {
    let before = null;
    for (const line of noteLines) {
      if (line.bar <= n && n <= line.lastBar) return line;
      if (line.bar <= n) before = line;
    }
    return before;
  }

  // Scrolls `pre` (not the page) so that `element` is near its top.
  function scrollTo(pre, element, mark) {
    pre.scrollTop = Math.max(0, element.offsetTop - pre.clientHeight * 0.15);
    if (mark) markLine(pre, element);
  }

  // Marks the line `element` of `pre` as the one linked to, alone.
  function markLine(pre, element) {
    for (const old of pre.querySelectorAll('.line.target')) old.classList.remove('target');
    element.classList.add('target');
  }

  return { render, lineOfBar, scrollTo, mark: markLine };
})();
