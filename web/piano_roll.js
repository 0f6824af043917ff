// PianoRoll: the notes of a file on a canvas, coloured by track or channel,
// with the bar lines that the converter will write drawn over them, every
// change of time signature marked and the pickup shaded.
//
// The bar lines follow the rhythm table as the converter walks it: from each
// entry, a bar every bar length until the next entry, where the count starts
// again; inside a pickup longer than a bar, no bar line.
'use strict';

const PianoRoll = (() => {
  const kHeader = 18;         // the band above the notes for the signatures
  const kMaxWidth = 32000;    // canvases wider than this are refused
  const kPalette = 16;

  function colour(index) {
    return `hsl(${(index * 137.5) % 360}, 65%, 42%)`;
  }

  function isBlackKey(key) {
    return [1, 3, 6, 8, 10].includes(key % 12);
  }

  // Draws `preview` (as the worker gives it) into `canvas`. `view` holds
  // colourBy ('track' or 'channel'), zoom, the width to fit, the pickup in
  // ticks and the labels. Returns the legend: [label, colour] for each track
  // or channel that has notes.
  function draw(canvas, preview, view) {
    const { ticks, keys, rhythm } = preview;
    const noteCount = keys.length;
    let low = 127;
    let high = 0;
    let end = Math.max(preview.songEnd, 1);
    for (let i = 0; i < noteCount; ++i) {
      const key = keys[i] & 0x7F;
      if (key < low) low = key;
      if (key > high) high = key;
      if (ticks[2 * i + 1] > end) end = ticks[2 * i + 1];
    }
    if (noteCount === 0) [low, high] = [60, 71];
    low = Math.max(0, low - 1);
    high = Math.min(127, high + 1);
    const rows = high - low + 1;
    const rowHeight = Math.max(2, Math.min(10, Math.floor(360 / rows)));
    const width = Math.max(100, Math.min(kMaxWidth, Math.floor(view.width * view.zoom)));
    const height = kHeader + rows * rowHeight;
    canvas.width = width;
    canvas.height = height;
    const scale = (width - 2) / end;
    const ctx = canvas.getContext('2d');
    const rowTop = (key) => kHeader + (high - key) * rowHeight;

    // Background: black keys shaded, a line under every C.
    ctx.fillStyle = 'white';
    ctx.fillRect(0, 0, width, height);
    ctx.fillStyle = '#f1f3f5';
    for (let key = low; key <= high; ++key) {
      if (isBlackKey(key)) ctx.fillRect(0, rowTop(key), width, rowHeight);
    }
    ctx.fillStyle = '#dde2e7';
    for (let key = low; key <= high; ++key) {
      if (key % 12 === 0) ctx.fillRect(0, rowTop(key) + rowHeight - 1, width, 1);
    }

    // The pickup, shaded.
    const pickup = view.pickup > 0 ? view.pickup : 0;
    if (pickup > 0) {
      ctx.fillStyle = 'rgba(255, 196, 0, 0.18)';
      ctx.fillRect(0, 0, Math.round(pickup * scale), height);
    }

    drawNotes(ctx, preview, view.colourBy, scale, rowTop, rowHeight);
    drawBars(ctx, rhythm, end, pickup, scale, height, view.labels);

    // Each C named by its octave as the MML writes it (key 60 is o5c).
    if (rowHeight >= 6) {
      ctx.font = `${Math.min(10, rowHeight + 2)}px system-ui, sans-serif`;
      ctx.textBaseline = 'bottom';
      ctx.fillStyle = '#5b6670';
      for (let key = low; key <= high; ++key) {
        if (key % 12 === 0) ctx.fillText(`o${key / 12}c`, 3, rowTop(key) + rowHeight);
      }
    }

    // The legend: who has notes, in which colour.
    const seen = new Set();
    for (let i = 0; i < noteCount; ++i) seen.add(groupOf(keys[i], view.colourBy));
    return [...seen].sort((a, b) => a - b).map((group) => [
      view.colourBy === 'channel' ? view.labels.channel(group + 1) : view.labels.track(group),
      colour(group % kPalette),
    ]);
  }

  function groupOf(packed, colourBy) {
    return colourBy === 'channel' ? (packed >> 8) & 0x0F : packed >>> 16;
  }

  // Notes become runs of pixels per colour and key: a note that starts within
  // the run before it (in the same row and colour) lengthens it, so a file of
  // a million notes draws only as many rectangles as the canvas can show.
  function drawNotes(ctx, preview, colourBy, scale, rowTop, rowHeight) {
    const { ticks, keys } = preview;
    const runStart = new Int32Array(kPalette * 128).fill(-1);
    const runEnd = new Int32Array(kPalette * 128);
    const rects = Array.from({ length: kPalette }, () => []);
    const flush = (slot) => {
      if (runStart[slot] >= 0) rects[slot >> 7].push(slot & 0x7F, runStart[slot], runEnd[slot]);
    };
    for (let i = 0; i < keys.length; ++i) {
      const slot = (groupOf(keys[i], colourBy) % kPalette) * 128 + (keys[i] & 0x7F);
      const x0 = Math.floor(ticks[2 * i] * scale);
      const x1 = Math.max(x0 + 1, Math.round(ticks[2 * i + 1] * scale));
      if (runStart[slot] >= 0 && x0 >= runStart[slot] && x0 <= runEnd[slot]) {
        if (x1 > runEnd[slot]) runEnd[slot] = x1;
      } else {
        flush(slot);
        runStart[slot] = x0;
        runEnd[slot] = x1;
      }
    }
    for (let slot = 0; slot < runStart.length; ++slot) flush(slot);
    const noteHeight = Math.max(1, rowHeight - 1);
    rects.forEach((list, group) => {
      ctx.fillStyle = colour(group);
      for (let j = 0; j < list.length; j += 3) {
        ctx.fillRect(list[j + 1], rowTop(list[j]), list[j + 2] - list[j + 1], noteHeight);
      }
    });
  }

  function drawBars(ctx, rhythm, end, pickup, scale, height, labels) {
    const entries = rhythm.filter((e) => e.tick >= 0);  // not the sentinel
    ctx.font = '11px system-ui, sans-serif';
    ctx.textBaseline = 'top';
    const bars = new Path2D();
    const changes = new Path2D();
    entries.forEach((entry, index) => {
      const next = index + 1 < entries.length ? entries[index + 1].tick : end;
      // Lines closer than 3 pixels are thinned out.
      const step = entry.barLength * Math.max(1, Math.ceil(3 / (entry.barLength * scale)));
      for (let tick = entry.tick + step; tick < next; tick += step) {
        if (tick < pickup) continue;
        const x = Math.round(tick * scale) + 0.5;
        bars.moveTo(x, kHeader);
        bars.lineTo(x, height);
      }
      const x = Math.round(entry.tick * scale) + 0.5;
      changes.moveTo(x, 0);
      changes.lineTo(x, height);
    });
    ctx.lineWidth = 1;
    ctx.strokeStyle = 'rgba(60, 70, 80, 0.35)';
    ctx.stroke(bars);
    ctx.strokeStyle = 'rgba(20, 30, 40, 0.9)';
    ctx.stroke(changes);
    // Each signature's label, unless it would overwrite the one before.
    ctx.fillStyle = '#1d232a';
    let free = 0;
    for (const entry of entries) {
      const x = Math.round(entry.tick * scale) + 3;
      if (x < free) continue;
      const label = entry.tick === pickup && pickup > 0
        ? `${entry.numerator}/${entry.denominator} (${labels.pickupLabel})`
        : `${entry.numerator}/${entry.denominator}`;
      ctx.fillText(label, x, 3);
      free = x + ctx.measureText(label).width + 6;
    }
  }

  return { draw };
})();
