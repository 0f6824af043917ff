// MmlView: the MML text with syntax colours and, in the gutter, the number of
// the bar each line of music (notes, rests, bar lines) starts in, as the
// conversion that wrote it says (its preview's lines).
'use strict';

const MmlView = (() => {
  const escapes = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' };
  const escape = (text) => text.replace(/[&<>"]/g, (c) => escapes[c]);

  // The tokens of a line, found by one scan from left to right that looks at
  // each character a bounded number of times: a line of any length (a track
  // name of 150,000 letters, say) costs time in proportion to it. The kinds,
  // tried in this order at each place: comments, strings, commands (a word
  // before "(" or "{"), notes, rests, bar lines, octave marks.
  const kComment = 1;
  const kString = 2;
  const kCommand = 3;
  const kNote = 4;
  const kRest = 5;
  const kBar = 6;
  const kOctave = 7;
  const classes = [null, 'c', 's', 'k', 'n', 'r', 'b', 'o'];
  const isAsciiLetter = (c) => (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  const isJapanese = (c) => (c >= '\u3041' && c <= '\u30FF') || (c >= '\u4E00' && c <= '\u9FFF');
  const isWordStart = (c) => isAsciiLetter(c) || c === '_' || isJapanese(c);
  const isWord = (c) => isWordStart(c) || (c >= '0' && c <= '9') || c === '.';
  const kanaNotes = ['ファ', 'ド', 'レ', 'ミ', 'ソ', 'ラ', 'シ'];

  // Calls emit(kind, start, end) for each token of `line`, in order.
  function scan(line, emit) {
    const n = line.length;
    let nextQuote = -2;  // the next '"' after the one at hand; -1: none left
    let plainUntil = 0;  // the end of a word known not to be a command
    const isDigit = (i) => line[i] >= '0' && line[i] <= '9';
    // The end of the digits from `i`, and of the dots after them.
    const digits = (i) => {
      while (i < n && isDigit(i)) ++i;
      return i;
    };
    const digitsAndDots = (i) => {
      i = digits(i);
      while (i < n && line[i] === '.') ++i;
      return i;
    };
    let at = 0;
    while (at < n) {
      const c = line[at];
      const afterLetter = at > 0 && isAsciiLetter(line[at - 1]);
      let end = -1;
      let kind = 0;
      if (c === '/' && line[at + 1] === '/') {
        kind = kComment;
        end = n;
      } else if (c === '"' && nextQuote !== -1) {
        if (nextQuote <= at) nextQuote = line.indexOf('"', at + 1);
        if (nextQuote !== -1) {
          kind = kString;
          end = nextQuote + 1;
          nextQuote = -2;
        }
      }
      if (kind === 0 && at >= plainUntil && isWordStart(c)) {
        let wordEnd = at + 1;
        while (wordEnd < n && isWord(line[wordEnd])) ++wordEnd;
        const next = line[wordEnd];
        if (next === '(' || next === '（' || next === '{') {
          kind = kCommand;
          end = wordEnd;
        } else {
          // No place inside this word starts a command either: each would
          // end where it ends.
          plainUntil = wordEnd;
        }
      }
      if (kind === 0) {
        if (c >= 'a' && c <= 'g' && !afterLetter) {
          kind = kNote;
          end = at + 1;
          if (line[end] === '+' || line[end] === '-' || line[end] === '#') ++end;
          end = digitsAndDots(end);
        } else if (c >= '\u30A1' && kanaNotes.some((k) => line.startsWith(k, at))) {
          kind = kNote;
          end = at + (line.startsWith('ファ', at) ? 2 : 1);
          if (line[end] === '＃' || line[end] === '♯' || line[end] === '♭') ++end;
          end = digitsAndDots(end);
        } else if ((c === 'r' && !afterLetter) || c === 'ん' || c === '^' || c === 'ー') {
          kind = kRest;
          end = digitsAndDots(at + 1);
        } else if (c === '|') {
          kind = kBar;
          end = at + 1;
        } else if (c === 'o' && !afterLetter && isDigit(at + 1)) {
          kind = kOctave;
          end = digits(at + 1);
        } else if (c === '<' || c === '>' || c === '↑' || c === '↓') {
          kind = kOctave;
          end = at + 1;
        } else if (line.startsWith('音階', at) && isDigit(at + 2)) {
          kind = kOctave;
          end = digits(at + 2);
        }
      }
      if (kind === 0) {
        ++at;
        continue;
      }
      emit(kind, at, end);
      at = end;
    }
  }
  // Renders the lines of `text` into `pre` until they have made `budget`
  // elements (a line and each token of it count one): the browser's time
  // to lay the text out grows with them, and a text dense with notes makes
  // many more than one of comments. A first line that alone is over the
  // budget is shown whole, its colours only to there. `bars[i]` is
  // {bar, lastBar} of line i where the conversion lists it (bars counted
  // from 1), else null.
  // Gives {noteLines, lineCount}: the lines of music with a bar, [{element, bar,
  // lastBar, pitch}] in text order (pitch: it holds a note), and the number
  // of lines shown.
  function render(pre, text, bars, budget = 16000) {
    const lines = text.split('\n');
    const html = [];
    const noteLines = [];
    let spent = 0;
    for (let index = 0; index < lines.length && (index === 0 || spent < budget); ++index) {
      const line = lines[index].replace(/\r$/, '');
      let out = '';
      let at = 0;
      let hasPitch = false;
      let music = false;
      spent += 1;
      scan(line, (kind, from, to) => {
        if (spent < budget) {
          out += escape(line.slice(at, from));
          out += `<span class="${classes[kind]}">${escape(line.slice(from, to))}</span>`;
          at = to;
          spent += 1;
        }
        if (kind === kNote) hasPitch = true;
        if (kind === kNote || kind === kRest || kind === kBar) music = true;
      });
      out += escape(line.slice(at));
      const bar = music ? bars[index] || null : null;
      const attribute = bar === null ? '' : ` data-bar="${bar.bar}"`;
      html.push(`<span class="line"${attribute}>${out}</span>`);
      if (bar !== null) noteLines.push({ index, bar: bar.bar, lastBar: bar.lastBar, pitch: hasPitch });
    }
    pre.innerHTML = html.join('\n');
    const elements = pre.children;
    return {
      noteLines: noteLines.map((l) => ({ element: elements[l.index], bar: l.bar, lastBar: l.lastBar,
        pitch: l.pitch })),
      lineCount: html.length,
    };
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

  const inView = (pre, element) => element.offsetTop + element.offsetHeight > pre.scrollTop
    && element.offsetTop < pre.scrollTop + pre.clientHeight;

  // Marks the lines of `noteLines` that hold bar `n` (one a track) as the
  // bar playing, or none when `n` is null. They are scrolled into view when
  // the bar marked before was in view: a reader who scrolled elsewhere stays.
  function markPlaying(pre, noteLines, n) {
    const before = [...pre.querySelectorAll('.line.playing')];
    const following = before.length === 0 || before.some((element) => inView(pre, element));
    for (const element of before) element.classList.remove('playing');
    if (n === null) return;
    const lines = noteLines.filter((line) => line.bar <= n && n <= line.lastBar);
    for (const line of lines) line.element.classList.add('playing');
    if (following && lines.length > 0 && !lines.some((line) => inView(pre, line.element))) {
      scrollTo(pre, lines[0].element, false);
    }
  }

  return { render, lineOfBar, scrollTo, mark: markLine, markPlaying };
})();
