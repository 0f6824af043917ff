// The piano roll's worker: it holds the notes of the file shown and draws the
// part of the roll in view into a canvas of its own, whose picture it hands
// to the page as an ImageBitmap: no zoom or scroll of a file of a million
// notes holds up the page, which only swaps the picture in. The notes are
// written straight into the picture's pixels, a row span at a time.
//
// The page starts it from the text of bars.js followed by this file.
//
// Messages in:
//   {type: 'data', seq, ticks, keys, velocities, voices?, rhythm, barStarts, songEnd, original?}
//       the notes (ticks[2i], ticks[2i + 1]: start and end; keys[i]: track << 16 |
//       channel << 8 | key; voices[i], where the conversion dealt voices: the
//       note's voice in its channel, from 1). `original`, when given, holds the notes' ticks
//       before a change of place (the grid), drawn faintly behind them.
//       `barStarts`: where the conversion's bars start (bar n at barStarts[n - 1]).
//   {type: 'view', seq, width, height?, fullWidth, left, dpr, colourBy, pickup, theme, labels}
//   {type: 'notes', seq, id, from, to, original, max}
//       asks for the notes that start in ticks [from, to), at most `max`
//       of them, where they are written or (`original`) where they were
//       played: the player takes them a short window at a time.
//   {type: 'clear'}                               drops the notes
// Messages out:
//   {type: 'data', seq, end, low, high, rowHeight, height, legend: {track, channel, voice},
//    tracksWithNotes, notes}
//       legend.voice (null without voices) lists {voice, drumKey, group}: the
//       voices of the other channels (drumKey -1), then those of the drum
//       channel, each the key it holds; `group` is its colour's index.
//   {type: 'drawn', seq, bitmap}                    the picture of the view
//   {type: 'notes', id, starts, ends, keys, velocities} (empty for another seq)
'use strict';

const kHeader = 26;  // the band above the notes: signatures and bar numbers
const kPalette = 16;

let canvas = null;  // an OffscreenCanvas of the view's size
let notes = null;  // {ticks, keys, rhythm, barStarts, end, low, high, rowHeight, original}
let pendingView = null;
let drawScheduled = false;

// The colour of track or channel `index` (PianoRoll.colour, as css) as a
// pixel of an ImageData seen as 32-bit words (little-endian: red in the low
// byte).
function pixel(index, theme) {
  const dark = theme === 'dark';
  const [h, sat, light] = [(index * 137.5) % 360, dark ? 0.7 : 0.65, dark ? 0.62 : 0.4];
  const a = sat * Math.min(light, 1 - light);
  const f = (n) => {
    const k = (n + h / 30) % 12;
    return Math.round(255 * (light - a * Math.max(-1, Math.min(k - 3, 9 - k, 1))));
  };
  return ((255 << 24) | (f(4) << 16) | (f(8) << 8) | f(0)) >>> 0;
}

function hexPixel(hex) {
  const v = parseInt(hex.slice(1), 16);
  return ((255 << 24) | ((v & 0xFF) << 16) | (v & 0xFF00) | (v >> 16)) >>> 0;
}

function isBlackKey(key) {
  return [1, 3, 6, 8, 10].includes(key % 12);
}

const kDrumChannel = 9;  // channel 10 of General MIDI, from 0

// The colour index of voice `voice` (from 1: every note the roll is given
// has a length, and so a voice).
const voiceGroup = (voice) => (voice - 1) % kPalette;

// The colour index of note `i`, packed as keys[i] is, for `colourBy`
// ('voice' only where the notes have voices).
function groupOf(packed, i, colourBy) {
  if (colourBy === 'voice') return voiceGroup(notes.voices[i]);
  return colourBy === 'channel' ? (packed >> 8) & 0x0F : packed >>> 16;
}

// The voices the notes are in, for the legend (see the top), or null.
function voiceLegend(keys, voices) {
  if (!voices) return null;
  // Other channels' voices before the drum channel's; each voice once, and
  // each drum voice once per key it holds (its tracks may differ).
  const seen = new Set();
  for (let i = 0; i < keys.length; ++i) {
    const drum = ((keys[i] >> 8) & 0x0F) === kDrumChannel;
    seen.add((drum ? 1 << 24 : 0) | (voices[i] << 8) | (drum ? keys[i] & 0x7F : 0));
  }
  return [...seen].sort((a, b) => a - b).map((code) => ({
    voice: (code >> 8) & 0xFFFF, drumKey: code >> 24 ? code & 0xFF : -1, group: voiceGroup((code >> 8) & 0xFFFF),
  }));
}

function takeData(message) {
  const { ticks, keys, rhythm, songEnd } = message;
  let low = 127;
  let high = 0;
  let end = Math.max(songEnd, 1);
  const tracks = new Set();
  const channels = new Set();
  for (let i = 0; i < keys.length; ++i) {
    const key = keys[i] & 0x7F;
    if (key < low) low = key;
    if (key > high) high = key;
    if (ticks[2 * i + 1] > end) end = ticks[2 * i + 1];
    tracks.add(keys[i] >>> 16);
    channels.add((keys[i] >> 8) & 0x0F);
  }
  const noteCount = keys.length;
  const lowest = noteCount ? low : 60;
  const highest = noteCount ? high : 71;
  low = Math.max(0, lowest - 1);
  high = Math.min(127, highest + 1);
  const rows = high - low + 1;
  const rowHeight = Math.max(3, Math.min(9, Math.floor(320 / rows)));
  notes = {
    seq: message.seq, ticks, keys, velocities: message.velocities, voices: message.voices || null, rhythm,
    barStarts: message.barStarts, end,
    low, high, rowHeight,
    original: message.original || null, height: kHeader + rows * rowHeight,
    chunks: indexChunks(ticks, keys), byStart: null, originalByStart: null,
  };
  self.postMessage({
    type: 'data', seq: message.seq, end, low: lowest, high: highest, rowHeight,
    height: notes.height, notes: noteCount,
    legend: { track: [...tracks].sort((a, b) => a - b), channel: [...channels].sort((a, b) => a - b),
      voice: voiceLegend(keys, notes.voices) },
  });
}

// The notes come track by track, each track's in the order of their starts:
// cut into chunks of a few thousand notes with ascending starts, each with
// its first start and its latest end, a view skips every chunk out of its
// sight instead of looking at all the notes.
const kChunk = 2048;
function indexChunks(ticks, keys) {
  const chunks = [];
  let begin = 0;
  let lastEnd = 0;
  const close = (end) => {
    if (end > begin) chunks.push({ begin, end, first: ticks[2 * begin], lastEnd });
  };
  for (let i = 0; i < keys.length; ++i) {
    const newRun = i > begin && (keys[i] >>> 16 !== keys[i - 1] >>> 16 || ticks[2 * i] < ticks[2 * i - 2]);
    if (newRun || i - begin === kChunk) {
      close(i);
      begin = i;
      lastEnd = 0;
    }
    lastEnd = Math.max(lastEnd, ticks[2 * i + 1]);
  }
  close(keys.length);
  return chunks;
}

// The notes' indices in the order of their starts in `ticks` (laid out as
// the notes' ticks are): the start and the index in one number, sorted as
// numbers, where that number is exact; else by comparing.
function orderByStart(ticks) {
  const count = ticks.length / 2;
  const order = new Uint32Array(count);
  let latest = 0;
  for (let i = 0; i < count; ++i) latest = Math.max(latest, ticks[2 * i]);
  if (latest < 2 ** 32 && count <= 2 ** 21) {
    const packed = new Float64Array(count);
    for (let i = 0; i < count; ++i) packed[i] = ticks[2 * i] * 2 ** 21 + i;
    packed.sort();
    for (let i = 0; i < count; ++i) order[i] = packed[i] % 2 ** 21;
  } else {
    for (let i = 0; i < count; ++i) order[i] = i;
    order.sort((a, b) => ticks[2 * a] - ticks[2 * b] || a - b);
  }
  return order;
}

// Answers a 'notes' message (see the top).
function findNotes(message) {
  const { id, from, to, max } = message;
  const found = [];
  if (notes && notes.seq === message.seq) {
    const played = message.original && notes.original;
    const ticks = played ? notes.original : notes.ticks;
    const key = played ? 'originalByStart' : 'byStart';
    const order = notes[key] || (notes[key] = orderByStart(ticks));
    let low = 0;
    let high = order.length;
    while (low < high) {
      const middle = (low + high) >> 1;
      if (ticks[2 * order[middle]] < from) low = middle + 1;
      else high = middle;
    }
    for (let i = low; i < order.length && found.length < max && ticks[2 * order[i]] < to; ++i) {
      found.push(order[i]);
    }
  }
  const ticks = notes && (message.original && notes.original ? notes.original : notes.ticks);
  const starts = new Float64Array(found.length);
  const ends = new Float64Array(found.length);
  const keys = new Uint32Array(found.length);
  const velocities = new Uint8Array(found.length);
  found.forEach((n, i) => {
    starts[i] = ticks[2 * n];
    ends[i] = ticks[2 * n + 1];
    keys[i] = notes.keys[n];
    velocities[i] = notes.velocities[n];
  });
  self.postMessage({ type: 'notes', id, starts, ends, keys, velocities },
    [starts.buffer, ends.buffer, keys.buffer, velocities.buffer]);
}

function scheduleDraw() {
  if (drawScheduled) return;
  drawScheduled = true;
  setTimeout(() => {
    drawScheduled = false;
    const view = pendingView;
    pendingView = null;
    if (view) draw(view);
  }, 0);
}

// Draws the part of the roll from css pixel `left`, `width` wide, of a roll
// `fullWidth` wide, at the device's pixel ratio, and posts the picture.
function draw(view) {
  const dpr = Math.max(1, Math.min(4, view.dpr || 1));
  const height = notes ? notes.height : kHeader + 12 * 8;
  const width = Math.max(1, Math.round(view.width));
  const pw = Math.max(1, Math.round(width * dpr));
  const ph = Math.max(1, Math.round(height * dpr));
  if (!canvas) canvas = new OffscreenCanvas(pw, ph);
  if (canvas.width !== pw) canvas.width = pw;
  if (canvas.height !== ph) canvas.height = ph;
  const ctx = canvas.getContext('2d');
  const dark = view.theme === 'dark';
  ctx.setTransform(1, 0, 0, 1, 0, 0);
  if (!notes) {
    ctx.fillStyle = dark ? '#15191e' : '#ffffff';
    ctx.fillRect(0, 0, pw, ph);
    post(view);
    return;
  }
  const { ticks, keys, end, low, high, rowHeight } = notes;
  const scale = (view.fullWidth - 2) / end;  // css pixels per tick
  const left = view.left;
  const rowTop = (key) => kHeader + (high - key) * rowHeight;

  // The background and the notes, as pixels.
  const image = ctx.createImageData(pw, ph);
  const pixels = new Uint32Array(image.data.buffer);
  pixels.fill(hexPixel(dark ? '#15191e' : '#ffffff'));
  const rowOf = (key) => Math.round(rowTop(key) * dpr);
  const span = (x0, x1, y0, y1, value) => {
    const a = Math.max(0, x0);
    const b = Math.min(pw, x1);
    if (a >= b) return;
    for (let y = Math.max(0, y0); y < Math.min(ph, y1); ++y) pixels.fill(value, y * pw + a, y * pw + b);
  };
  const blackRow = hexPixel(dark ? '#1d2329' : '#f1f3f5');
  const cLine = hexPixel(dark ? '#2c343c' : '#dde2e7');
  for (let key = low; key <= high; ++key) {
    if (isBlackKey(key)) span(0, pw, rowOf(key), rowOf(key - 1), blackRow);
    if (key % 12 === 0) span(0, pw, rowOf(key - 1) - Math.round(dpr), rowOf(key - 1), cLine);
  }
  // The notes' original places (the grid's "before"), faint, behind them.
  if (notes.original) {
    const faint = hexPixel(dark ? '#3a424a' : '#d4d9de');
    drawRuns(notes.original, keys, () => 0, 1, scale * dpr, left * dpr, pw, rowOf, rowHeight * dpr,
      () => faint, span);
  }
  const palette = Array.from({ length: kPalette }, (_, i) => pixel(i, view.theme));
  const colourBy = view.colourBy === 'voice' && !notes.voices ? 'track' : view.colourBy;
  drawRuns(ticks, keys, (packed, i) => groupOf(packed, i, colourBy) % kPalette, kPalette, scale * dpr,
    left * dpr, pw, rowOf, rowHeight * dpr, (group) => palette[group], span, notes.chunks);
  ctx.putImageData(image, 0, 0);

  // Lines and words over them, in css pixels.
  ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
  const pickup = view.pickup > 0 ? view.pickup : 0;
  if (pickup > 0) {
    ctx.fillStyle = dark ? 'rgba(255, 196, 0, 0.14)' : 'rgba(255, 196, 0, 0.2)';
    ctx.fillRect(-left, 0, pickup * scale, height);
  }
  drawBars(ctx, view, scale, left, left + width, height, pickup, dark);
  // Each C named by its octave as the MML writes it (key 60 is o5c).
  if (rowHeight >= 6) {
    ctx.font = `${Math.min(11, rowHeight + 2)}px system-ui, sans-serif`;
    ctx.textBaseline = 'bottom';
    ctx.fillStyle = dark ? '#aab4be' : '#4a545e';
    for (let key = low; key <= high; ++key) {
      if (key % 12 === 0) ctx.fillText(`o${key / 12}c`, 3, rowTop(key) + rowHeight);
    }
  }
  post(view);
}

function post(view) {
  const bitmap = canvas.transferToImageBitmap();
  self.postMessage({ type: 'drawn', seq: view.seq, bitmap }, [bitmap]);
}

// Notes in view become runs of device pixels per colour and key: a note that
// starts within the run before it (same row and colour) lengthens it, so a
// million notes fill only as many spans as the picture can show.
function drawRuns(ticks, keys, groupFor, groups, scale, left, pw, rowOf, rowHeight, colourOf, span,
  chunks = [{ begin: 0, end: keys.length, first: 0, lastEnd: Infinity }]) {
  const runStart = new Float64Array(groups * 128).fill(-1);
  const runEnd = new Float64Array(groups * 128);
  const noteHeight = Math.max(1, Math.round(rowHeight) - 1);
  const flush = (slot) => {
    if (runStart[slot] < 0) return;
    const key = slot & 0x7F;
    const y = rowOf(key);
    span(runStart[slot], runEnd[slot], y, y + noteHeight, colourOf(Math.floor(slot / 128)));
  };
  // Only the chunks that reach into view.
  for (const chunk of chunks) {
    if (chunk.first * scale - left >= pw || chunk.lastEnd * scale - left <= 0) continue;
    for (let i = chunk.begin; i < chunk.end; ++i) {
      const x0 = Math.floor(ticks[2 * i] * scale - left);
      if (x0 >= pw) continue;
      const x1 = Math.max(x0 + 1, Math.round(ticks[2 * i + 1] * scale - left));
      if (x1 <= 0) continue;
      const packed = keys[i];
      const slot = groupFor(packed, i) * 128 + (packed & 0x7F);
      if (runStart[slot] >= 0 && x0 >= runStart[slot] && x0 <= runEnd[slot]) {
        if (x1 > runEnd[slot]) runEnd[slot] = x1;
      } else {
        flush(slot);
        runStart[slot] = x0;
        runEnd[slot] = x1;
      }
    }
  }
  for (let slot = 0; slot < runStart.length; ++slot) flush(slot);
}

function drawBars(ctx, view, scale, left, right, height, pickup, dark) {
  const { barStarts } = notes;
  const entries = notes.rhythm.filter((e) => e.tick >= 0);
  // Lines closer than 4 pixels are thinned out; numbers need 40.
  let firstBar = Bars.barAt(barStarts, left / scale) - 1;
  const bars = new Path2D();
  ctx.font = '10px system-ui, sans-serif';
  ctx.textBaseline = 'top';
  ctx.fillStyle = dark ? '#8c98a4' : '#5b6670';
  let lastLine = -Infinity;
  let lastNumber = -Infinity;
  for (let n = Math.max(0, firstBar); n < barStarts.length; ++n) {
    const x = Math.round(barStarts[n] * scale) - left;
    if (x > right - left + 1) break;
    if (x - lastLine >= 4) {
      bars.moveTo(x + 0.5, kHeader);
      bars.lineTo(x + 0.5, height);
      lastLine = x;
    }
    if (x - lastNumber >= 40) {
      ctx.fillText(String(n + 1), x + 3, 1);
      lastNumber = x;
    }
  }
  ctx.lineWidth = 1;
  ctx.strokeStyle = dark ? 'rgba(200, 210, 220, 0.3)' : 'rgba(60, 70, 80, 0.35)';
  ctx.stroke(bars);
  const changes = new Path2D();
  for (const entry of entries) {
    const x = Math.round(entry.tick * scale) - left + 0.5;
    if (x < -1 || x > right - left + 1) continue;
    changes.moveTo(x, 12);
    changes.lineTo(x, height);
  }
  ctx.strokeStyle = dark ? 'rgba(230, 235, 240, 0.85)' : 'rgba(20, 30, 40, 0.9)';
  ctx.stroke(changes);
  // Each signature's label, unless it would overwrite the one before; the
  // pickup's on the pickup.
  ctx.font = '11px system-ui, sans-serif';
  ctx.fillStyle = dark ? '#e6ebf0' : '#1d232a';
  let free = -Infinity;
  if (pickup > 0 && pickup * scale > left) {
    const label = view.labels.pickup;
    ctx.fillText(label, 3 - left, 13);
    free = 3 - left + ctx.measureText(label).width + 6;
  }
  for (const entry of entries) {
    const x = Math.round(entry.tick * scale) - left + 3;
    if (x < free || x > right - left) continue;
    const label = `${entry.numerator}/${entry.denominator}`;
    ctx.fillText(label, x, 13);
    free = x + ctx.measureText(label).width + 6;
  }
}

self.onmessage = (event) => {
  const message = event.data;
  if (message.type === 'data') {
    takeData(message);
  } else if (message.type === 'notes') {
    findNotes(message);
  } else if (message.type === 'clear') {
    notes = null;
  } else if (message.type === 'view') {
    pendingView = message;
    scheduleDraw();
  }
};
