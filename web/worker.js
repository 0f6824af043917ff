// The worker that runs the program. The page starts it from the text of
// vantrel_wasm.js followed by this file (a worker cannot be started from a
// file when the page is opened from disk), so createVantrelWasm is defined.
//
// Messages in: {id, kind: 'convert' | 'convertToBlob' | 'preview' | 'outputName', bytes, args}.
// Messages out: {id, result, memory} or {id, error, broken}; memory is the
// size of the module's memory in bytes, which never shrinks: the page starts
// a new worker to give it back. `broken` says that the module stopped (ran
// out of memory, say) and cannot be called again: the page starts a new one.
//
// Node loads this file too (for timing the module outside the browser): it
// then only exports vantrelCalls.

'use strict';

// The module's two calls, with their bytes copied in and out of its memory.
function vantrelCalls(core) {
  const encoder = new TextEncoder();

  // The arguments as the module reads them: UTF-8, each ending in a NUL.
  function packArguments(args) {
    const parts = args.map((arg) => encoder.encode(String(arg)));
    const packed = new Uint8Array(parts.reduce((sum, p) => sum + p.length + 1, 0));
    let at = 0;
    for (const part of parts) {
      packed.set(part, at);
      at += part.length + 1;
    }
    return packed;
  }

  // Calls fn(argumentsPointer, argumentCount, bytesPointer, bytesLength) with
  // both copied into the module's memory, which is freed afterwards.
  function withInput(bytes, args, fn) {
    const packed = packArguments(args);
    const argsPointer = core._malloc(packed.length + 1);
    const bytesPointer = core._malloc(bytes.length + 1);
    try {
      core.HEAPU8.set(packed, argsPointer);
      core.HEAPU8.set(bytes, bytesPointer);
      return fn(argsPointer, args.length, bytesPointer, bytes.length);
    } finally {
      core._free(argsPointer);
      core._free(bytesPointer);
    }
  }

  // A copy of `size` bytes at `pointer` (the memory may grow and move later).
  function copyOut(pointer, size) {
    return core.HEAPU8.slice(pointer, pointer + size);
  }

  // A copy of the text at `pointer`, up to its NUL.
  function copyText(pointer) {
    return copyOut(pointer, core.HEAPU8.indexOf(0, pointer) - pointer);
  }

  function result(which) {
    const size = core._vantrel_result_size(which);
    return size < 0 ? null : copyOut(core._vantrel_result_data(which), size);
  }

  const shiftJis = new TextDecoder('shift_jis');

  // The name the program gives the MML file for `args`, or '' for none.
  function outputName(args) {
    return withInput(new Uint8Array(0), args, (argsPointer, count) =>
      new TextDecoder().decode(copyText(core._vantrel_output_name(argsPointer, count))));
  }

  return {
    outputName: (bytes, args) => outputName(args),
    memory: () => core._vantrel_memory_size(),

    // What the command line gives for `args` in an empty folder holding just
    // the file that they name, with `bytes` in it.
    convert(bytes, args) {
      const status = withInput(bytes, args, core._vantrel_run);
      // The name of the MML file, as the program derives it ('' when the
      // arguments convert nothing).
      return { status, stdout: result(0), stderr: result(1), mml: result(2), name: outputName(args) };
    },

    // The same for the page, which must not hold a big text on its own
    // thread: the MML as a Blob (made here, off the page's thread), its size,
    // and a copy of its first `headSize` bytes to show.
    convertToBlob(bytes, args, headSize) {
      const status = withInput(bytes, args, core._vantrel_run);
      const size = core._vantrel_result_size(2);
      let blob = null;
      let head = null;
      if (size >= 0) {
        const at = core._vantrel_result_data(2);
        blob = new Blob([core.HEAPU8.subarray(at, at + size)], { type: 'application/octet-stream' });
        head = copyOut(at, Math.min(size, headSize));
      }
      return { status, stdout: result(0), stderr: result(1), mml: null, blob, head,
        size: Math.max(size, 0), name: outputName(args) };
    },

    // The notes and the bar structure of `bytes`, with the pickup and the
    // event filter that `args` ask for.
    preview(bytes, args) {
      const faulty = withInput(bytes, args, core._vantrel_preview) !== 0;
      const count = core._vantrel_preview_number_count();
      const numbers = new Float64Array(count);
      numbers.set(new Float64Array(core.HEAPU8.buffer, core._vantrel_preview_numbers(), count));
      const [division, format, trackCount, songEnd, rhythmCount, noteCount, tempoCount, nameCount,
        gridNote] = numbers;
      let at = 9;
      const rhythm = [];
      for (let i = 0; i < rhythmCount; ++i, at += 6) {
        const [tick, numerator, denominator, key, mode, barLength] = numbers.subarray(at, at + 6);
        rhythm.push({ tick, numerator, denominator, key, mi: mode, barLength });
      }
      const ticks = numbers.slice(at, at += 2 * noteCount);
      const original = gridNote ? numbers.slice(at, at += 2 * noteCount) : null;
      const tempos = numbers.slice(at, at += 2 * tempoCount);
      const keys = new Uint32Array(noteCount);
      keys.set(new Uint32Array(core.HEAPU8.buffer, core._vantrel_preview_keys(), noteCount));
      const velocities = copyOut(core._vantrel_preview_velocities(), noteCount);
      // The names are mostly code page 932, as the MML text is.
      const trackNames = [];
      for (let i = 0, from = core._vantrel_preview_names(); i < nameCount; ++i) {
        const length = numbers[at + i];
        trackNames.push(shiftJis.decode(copyOut(from, length)));
        from += length;
      }
      return {
        division, format, trackCount, songEnd, rhythm, trackNames,
        fault: faulty ? copyText(core._vantrel_preview_fault()) : null,
        // Notes: ticks[2i], ticks[2i + 1] start and end; keys[i] track << 16 |
        // channel << 8 | key; velocities[i] 1 .. 127. On a grid, `original`
        // holds their places before it, as `ticks` does, and gridNote is its
        // note value.
        ticks, keys, velocities, original, gridNote,
        // Tempo changes: tempos[2i] the tick, tempos[2i + 1] microseconds
        // per quarter note.
        tempos,
      };
    },
  };
}

// A file of `count` notes in one track, for a practice conversion when the
// worker starts: the first conversion of a big file pays for compiling the
// module's code and for growing its memory for the first time, and a practice
// run pays most of that before the user's file comes.
function practiceFile(count) {
  const head = [0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 0x4D, 0x54, 0x72, 0x6B];
  const start = [0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08, 0x00, 0xB0, 0x07, 0x64];
  const end = [0x00, 0xFF, 0x2F, 0x00];
  const length = start.length + 8 * count + end.length;
  const file = new Uint8Array(head.length + 4 + length);
  file.set(head);
  new DataView(file.buffer).setUint32(head.length, length);
  let at = head.length + 4;
  file.set(start, at);
  at += start.length;
  for (let i = 0; i < count; ++i, at += 8) {
    const key = 60 + (i % 12);
    file.set([0x00, 0x90, key, 0x64, 0x60, 0x80, key, 0x00], at);
  }
  file.set(end, at);
  return file;
}

// The module, once it is ready. This emscripten gives the module with a
// `ready` promise; later ones give a promise of it.
function startVantrelWasm(factory) {
  const made = factory();
  return Promise.resolve(made.ready || made);
}

if (typeof module === 'object' && module.exports) {
  module.exports = { vantrelCalls, startVantrelWasm, practiceFile };
} else if (typeof WorkerGlobalScope !== 'undefined' && self instanceof WorkerGlobalScope) {
  const ready = startVantrelWasm(createVantrelWasm).then(vantrelCalls).then((calls) => {
    calls.convert(practiceFile(50000), ['practice.mid']);
    return calls;
  });
  self.onmessage = async (event) => {
    const { id, kind, bytes, args, headSize } = event.data;
    let calls = null;
    try {
      calls = await ready;
      const result = calls[kind](bytes, args, headSize);
      const buffers = typeof result === 'object' ? [result.stdout, result.stderr, result.mml,
        result.head, result.fault, result.ticks, result.keys, result.velocities, result.original,
        result.tempos].filter((b) => b).map((b) => b.buffer) : [];
      self.postMessage({ id, result, memory: calls.memory() }, buffers);
    } catch (error) {
      // The module's own fault (an abort: no memory left, say) leaves it
      // unusable; so does one while it starts.
      const broken = !calls || error instanceof WebAssembly.RuntimeError || error instanceof RangeError;
      self.postMessage({ id, error: String(error && error.message || error), broken });
    }
  };
}
