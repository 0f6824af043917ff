// The worker that runs the program. The page starts it from the text of
// vantrel_wasm.js followed by this file (a worker cannot be started from a
// file when the page is opened from disk), so createVantrelWasm is defined.
//
// Messages in: {id, kind: 'convert', settings, name, bytes, headSize} (the
// page's call, with its settings) or {id, kind: 'run', args, bytes} (a
// command line). Messages out: {id, result, input, memory} or {id, error,
// broken, input}. `input` gives back the bytes the message brought (the
// page lends them rather than copying them); memory is the size of the
// module's memory in bytes, which never shrinks: the page starts a new
// worker to give it back. `broken` says that the module stopped (ran out of
// memory, say) and cannot be called again: the page starts a new one.
//
// Node loads this file too (for timing the module outside the browser): it
// then only exports vantrelCalls.

'use strict';

// The module's calls, their results copied out of its memory (which the
// next call reuses) into arrays of their own.
function vantrelCalls(core) {
  const shiftJis = new TextDecoder('shift_jis');
  const copy = (view) => (view ? view.slice() : null);

  // The conversion's preview: the notes as the roll and the player read
  // them (ticks[2i], ticks[2i + 1] start and end; keys[i] track << 16 |
  // channel << 8 | key; velocities[i] 1 .. 127; on a grid, `original` holds
  // their places before it, as `ticks` does; with voices, voices[i] the
  // voice of its channel, from 1, and drumNames[key] the name the MML gives
  // a drum voice of that key, else both null), tempos, bars and lines.
  function previewOf(p) {
    const r = p.rhythm;
    const rhythm = Array.from(r.ticks, (tick, i) => ({ tick, numerator: r.numerators[i],
      denominator: r.denominators[i], key: r.keys[i], mi: r.modes[i], barLength: r.barLengths[i] }));
    return {
      headerRead: p.headerRead, format: p.format, trackCount: p.trackCount, division: p.division,
      gridNote: p.gridNote, songEnd: p.songEnd, faultKind: p.faultKind,
      fault: p.faultKind === 'none' ? null : p.faultKind,
      rhythm,
      // The names are mostly code page 932, as the MML text is.
      trackNames: p.trackNames.map((name) => shiftJis.decode(name)),
      ticks: copy(p.notes.ticks), original: copy(p.notes.original), keys: copy(p.notes.keys),
      velocities: copy(p.notes.velocities), voices: copy(p.notes.voices), drumNames: p.drumNames,
      tempos: { ticks: copy(p.tempos.ticks), microseconds: copy(p.tempos.microseconds) },
      barStarts: copy(p.barStarts),
      lines: { offsets: copy(p.lines.offsets), bars: copy(p.lines.bars), lastBars: copy(p.lines.lastBars) },
    };
  }

  // What every call gives: {status, faultKind, faultSubject, stdout, stderr,
  // name, preview}.
  function resultOf(r) {
    return { status: r.status, faultKind: r.faultKind, faultSubject: r.faultSubject, stdout: copy(r.stdout),
      stderr: copy(r.stderr), name: r.name, preview: previewOf(r.preview) };
  }

  return {
    memory: () => core.memorySize(),
    faultKinds: () => core.faultKinds(),
    filterBits: () => core.filterBits(),
    autoGrid: core.autoGrid,

    // The page's call: the MML as a Blob (made here, off the page's
    // thread), its size and a copy of its first `headSize` bytes to show;
    // blob and head are null when no MML was written.
    convert(settings, name, bytes, headSize) {
      const r = core.convert(settings, name, bytes);
      const result = resultOf(r);
      result.blob = r.mml && new Blob([r.mml], { type: 'application/octet-stream' });
      result.head = r.mml && r.mml.slice(0, headSize);
      result.size = r.mml ? r.mml.length : 0;
      return result;
    },

    // What the command line `args` gives in an empty folder holding just
    // the file that they name, with `bytes` in it; the MML's bytes are null
    // when it writes none.
    run(args, bytes) {
      const r = core.run(args.map(String), bytes);
      return { ...resultOf(r), mml: copy(r.mml) };
    },
  };
}

// A file of about `count` notes, for a practice conversion when the worker
// starts: the first conversion of a big file pays for compiling the module's
// code to its fastest and for growing its memory for the first time, and a
// practice run pays most of that before the user's file comes. Its notes are
// much as songs have them (chords of three in four channels, of four
// lengths, with rests, controllers and a program change now and then), so
// that the practice runs the code that songs run.
function practiceFile(count) {
  const events = [0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20];
  const delta = (ticks) => {
    const bytes = [ticks & 0x7F];
    for (let n = ticks >>> 7; n > 0; n >>>= 7) bytes.unshift((n & 0x7F) | 0x80);
    events.push(...bytes);
  };
  const lengths = [120, 240, 480, 960];
  for (let chord = 0; 3 * chord < count; ++chord) {
    const channel = chord % 4;
    const root = 48 + ((chord * 7) % 24);
    delta(chord % 5 === 0 ? 240 : 0);
    if (chord % 16 === 0) events.push(0xB0 | channel, 0x07, 100, 0x00, 0xC0 | channel, chord % 128);
    else events.push(0x90 | channel, root, 100);
    if (chord % 16 === 0) events.push(0x00, 0x90 | channel, root, 100);
    events.push(0x00, 0x90 | channel, root + 4, 90, 0x00, 0x90 | channel, root + 7, 80);
    delta(lengths[chord % 4]);
    events.push(0x80 | channel, root, 0, 0x00, 0x80 | channel, root + 4, 0, 0x00, 0x80 | channel, root + 7, 0);
  }
  events.push(0x00, 0xFF, 0x2F, 0x00);
  const head = [0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 0x4D, 0x54, 0x72, 0x6B];
  const file = new Uint8Array(head.length + 4 + events.length);
  file.set(head);
  new DataView(file.buffer).setUint32(head.length, events.length);
  file.set(events, head.length + 4);
  return file;
}

// The module, once it is ready. This emscripten gives the module with a
// `ready` promise; later ones give a promise of it.
function startVantrelWasm(factory) {
  const made = factory();
  return Promise.resolve(made.ready || made);
}

// The buffers of a result, moved rather than copied to the page.
function buffersOf(result) {
  const p = result.preview;
  return [result.stdout, result.stderr, result.mml, result.head, p.ticks, p.original, p.keys, p.velocities, p.voices,
    p.tempos.ticks, p.tempos.microseconds, p.barStarts, p.lines.offsets, p.lines.bars, p.lines.lastBars]
    .filter((b) => b).map((b) => b.buffer);
}

if (typeof module === 'object' && module.exports) {
  module.exports = { vantrelCalls, startVantrelWasm, practiceFile };
} else if (typeof WorkerGlobalScope !== 'undefined' && self instanceof WorkerGlobalScope) {
  const ready = startVantrelWasm(createVantrelWasm).then(vantrelCalls);
  let asked = false;
  // Practice while nothing is asked: the engine compiles the code that runs
  // hot to its fastest only once it has run for a while (the module's part
  // of a fresh page's first conversion of a million notes took 1.3 times as
  // long after a practice of 200,000 notes as after one of 800,000). A file
  // that comes stops it: its own conversion is the practice then.
  ready.then(async (calls) => {
    const file = practiceFile(100000);
    for (let i = 0; i < 8 && !asked; ++i) {
      calls.run(['practice.mid'], file);
      await new Promise((resolve) => { setTimeout(resolve, 0); });
    }
    self.postMessage({ ready: true });
  });
  self.onmessage = async (event) => {
    const { id, kind, settings, name, args, bytes, headSize } = event.data;
    const input = bytes && bytes.buffer;
    asked = true;
    let calls = null;
    try {
      calls = await ready;
      const result = kind === 'convert' ? calls.convert(settings, name, bytes, headSize)
        : calls.run(args, bytes);
      self.postMessage({ id, result, input: bytes, memory: calls.memory() },
        [...buffersOf(result), ...(input ? [input] : [])]);
    } catch (error) {
      // The module's own fault (an abort: no memory left, say) leaves it
      // unusable; so does one while it starts.
      const broken = !calls || error instanceof WebAssembly.RuntimeError || error instanceof RangeError;
      self.postMessage({ id, error: String(error && error.message || error), broken, input: bytes },
        input ? [input] : []);
    }
  };
}
