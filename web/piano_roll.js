// PianoRoll: the notes of a file on a canvas, coloured by track, channel or
// voice (where the conversion dealt voices), with the bar lines that the
// converter will write, every change of time signature marked, bar numbers
// and the pickup shaded. The drawing happens in
// a worker of its own (roll_worker.js, started from vantrelRollSource), which
// sends back a picture of the view: a zoom or a scroll only posts a message
// and later swaps a picture in, so the page never waits for a million notes
// to be drawn.
//
// The roll box scrolls a spacer as wide as the whole roll; the canvas stays
// in view (position: sticky) and shows the part scrolled to. The player's
// cursor is an element of its own over the canvas, moved without drawing.
// The worker also hands the player the notes of each short window of time.
'use strict';

const PianoRoll = (() => {
  let worker = null;
  let box = null;
  let canvas = null;
  let spacer = null;
  let seq = 0;
  let shown = null;      // what the worker said of the data: end, low, high, height, legend
  let view = {};         // colourBy, zoom, pickup, labels
  let onData = null;

  let picture = null;
  let heldNotes = 0;     // notes the worker holds
  let cursor = null;
  let cursorTick = null;
  let nextAsk = 1;
  const asked = new Map();  // the player's questions waiting for the worker

  const dark = () => matchMedia('(prefers-color-scheme: dark)').matches;

  function start(rollBox, dataCallback) {
    box = rollBox;
    onData = dataCallback;
    canvas = box.querySelector('canvas');
    spacer = box.querySelector('.roll-spacer');
    cursor = box.querySelector('#roll-cursor');
    picture = canvas.getContext('bitmaprenderer');
    startWorker();
    box.addEventListener('scroll', redraw, { passive: true });
    new ResizeObserver(layout).observe(box);
  }

  function startWorker() {
    const url = URL.createObjectURL(new Blob([vantrelRollSource], { type: 'text/javascript' }));
    worker = new Worker(url);
    URL.revokeObjectURL(url);
    worker.onmessage = (event) => {
      const message = event.data;
      if (message.type === 'data' && message.seq === seq) {
        shown = message;
        layout();
        if (onData) onData(message);
      } else if (message.type === 'notes') {
        const resolve = asked.get(message.id);
        asked.delete(message.id);
        if (resolve) resolve(message);
      } else if (message.type === 'drawn') {
        if (canvas.width !== message.bitmap.width) canvas.width = message.bitmap.width;
        if (canvas.height !== message.bitmap.height) canvas.height = message.bitmap.height;
        picture.transferFromImageBitmap(message.bitmap);
        box.dataset.drawn = String(message.seq);
      }
    };
  }

  // The memory of a big file's notes comes back with a new worker.
  function dropNotes() {
    if (heldNotes >= 200000) {
      worker.terminate();
      for (const resolve of asked.values()) resolve(null);
      asked.clear();
      startWorker();
    } else {
      worker.postMessage({ type: 'clear' });
    }
    heldNotes = 0;
  }

  // The notes of a new preview: the arrays move to the worker.
  function setData(preview) {
    seq += 1;
    shown = null;
    const { ticks, keys } = preview;
    if (heldNotes >= 200000) dropNotes();
    heldNotes = keys.length;
    // `original`: the notes' ticks before the grid moved them, in
    // the layout of `ticks`; drawn faintly behind the notes when given.
    const original = preview.original || null;
    // `voices`: each note's voice, where the conversion dealt them.
    const { velocities, voices } = preview;
    const moved = [ticks.buffer, keys.buffer, velocities.buffer];
    if (original) moved.push(original.buffer);
    if (voices) moved.push(voices.buffer);
    worker.postMessage({
      type: 'data', seq, ticks, keys, velocities, voices, rhythm: preview.rhythm, barStarts: preview.barStarts,
      songEnd: preview.songEnd,
      original,
    }, moved);
    preview.ticks = null;
    preview.keys = null;
    preview.velocities = null;
    preview.voices = null;
    preview.original = null;
  }

  // The notes of the roll shown that start in ticks [from, to), at most
  // `max`, where they are written or (`original`) where they were played:
  // {starts, ends, keys, velocities}, or null when the roll changed.
  function notesIn(from, to, original, max) {
    if (!shown) return Promise.resolve(null);
    const id = nextAsk++;
    const askedSeq = seq;
    return new Promise((resolve) => {
      asked.set(id, (found) => resolve(askedSeq === seq ? found : null));
      worker.postMessage({ type: 'notes', seq, id, from, to, original, max });
    });
  }

  // The player's cursor at `tick`, or none (null); the roll scrolls to keep
  // it in view.
  function setCursor(tick) {
    cursorTick = tick;
    const x = placeCursor();
    if (x !== null && (x < box.scrollLeft || x > box.scrollLeft + box.clientWidth - 8)) {
      box.scrollLeft = Math.max(0, x - box.clientWidth * 0.1);
    }
  }

  // Puts the cursor where its tick is on the roll as it is now drawn; gives
  // its x in the roll, or null when there is none.
  function placeCursor() {
    cursor.hidden = cursorTick === null || !shown;
    if (cursor.hidden) return null;
    const x = (cursorTick * (fullWidth() - 2)) / shown.end;
    cursor.style.transform = `translateX(${x.toFixed(1)}px)`;
    cursor.style.height = `${shown.height}px`;
    cursor.dataset.tick = String(Math.round(cursorTick));
    return x;
  }

  function clear() {
    seq += 1;
    shown = null;
    setCursor(null);
    dropNotes();
  }

  function fullWidth() {
    return Math.max(100, Math.floor(box.clientWidth * (view.zoom || 1)));
  }

  function layout() {
    if (!shown) return;
    canvas.style.height = `${shown.height}px`;
    spacer.style.width = `${fullWidth()}px`;
    placeCursor();
    redraw();
  }

  function redraw() {
    if (!shown) return;
    worker.postMessage({
      type: 'view', seq, width: box.clientWidth, fullWidth: fullWidth(), left: box.scrollLeft,
      dpr: window.devicePixelRatio || 1, colourBy: view.colourBy, pickup: view.pickup,
      theme: dark() ? 'dark' : 'light',
      labels: { pickup: view.pickupLabel },
    });
  }

  // Sets colourBy, zoom, pickup and pickupLabel; a new zoom keeps the
  // middle of the view where it was.
  function setView(next) {
    const zoomChanged = next.zoom !== undefined && next.zoom !== view.zoom;
    const middle = box && shown ? (box.scrollLeft + box.clientWidth / 2) / fullWidth() : 0;
    view = { ...view, ...next };
    if (!shown) return;
    if (zoomChanged) {
      spacer.style.width = `${fullWidth()}px`;
      box.scrollLeft = Math.max(0, middle * fullWidth() - box.clientWidth / 2);
      placeCursor();
    }
    redraw();
  }

  // The tick under a click at client x.
  function tickAt(clientX) {
    if (!shown) return null;
    const x = clientX - box.getBoundingClientRect().left + box.scrollLeft;
    return Math.max(0, Math.min(shown.end, (x * shown.end) / (fullWidth() - 2)));
  }

  // Scrolls so that `tick` is near the left of the view.
  function scrollToTick(tick) {
    if (!shown) return;
    box.scrollLeft = Math.max(0, (tick * (fullWidth() - 2)) / shown.end - box.clientWidth * 0.1);
  }

  return {
    start, setData, clear, setView, tickAt, scrollToTick, redraw, notesIn, setCursor,
    // The colour of track or channel `index`, as the worker draws it.
    colour: (index) => (dark()
      ? `hsl(${(index * 137.5) % 360}, 70%, 62%)` : `hsl(${(index * 137.5) % 360}, 65%, 40%)`),
  };
})();
