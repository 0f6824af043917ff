// Vantrel: the program behind the page, run in a Web Worker.
//
//   window.vantrel.convert(bytes, args) -> Promise<{status, stdout, stderr, mml}>
//
// `args` are the command line's arguments (after the program's name) and
// name the input file, which holds `bytes`; the results are what the command
// line gives in an empty folder holding just that file: the exit status, the
// bytes of standard output and standard error, and the bytes of the MML file
// it writes (null when it writes none).
//
// The worker is started from the text in worker_source.js (the module and
// worker.js), since a page opened from disk may not start one from a file.
'use strict';

const Vantrel = (() => {
  let worker = null;
  let nextId = 1;
  const waiting = new Map();

  function startWorker() {
    const url = URL.createObjectURL(new Blob([vantrelWorkerSource], { type: 'text/javascript' }));
    worker = new Worker(url);
    worker.onmessage = (event) => {
      const { id, result, error } = event.data;
      const call = waiting.get(id);
      waiting.delete(id);
      if (error === undefined) call.resolve(result);
      else call.reject(new Error(error));
    };
    // A worker that fails to start fails every call made of it.
    worker.onerror = (event) => {
      for (const call of waiting.values()) call.reject(new Error(event.message));
      waiting.clear();
      worker = null;
    };
  }

  // The calls go to the worker in order; the input is copied, so the
  // caller's bytes stay usable.
  function call(kind, bytes, args) {
    if (!worker) startWorker();
    const copy = bytes instanceof ArrayBuffer ? new Uint8Array(bytes.slice(0)) : new Uint8Array(bytes);
    const id = nextId++;
    return new Promise((resolve, reject) => {
      waiting.set(id, { resolve, reject });
      worker.postMessage({ id, kind, bytes: copy, args: Array.from(args, String) }, [copy.buffer]);
    });
  }

  const shiftJis = new TextDecoder('shift_jis');
  const utf8 = new TextDecoder('utf-8', { fatal: true });

  // The program's texts (code page 932) for display.
  function decodeText(bytes) {
    return shiftJis.decode(bytes);
  }

  // A console stream for display, line by line: file names are given to the
  // program as UTF-8 and come back in the "SMF = " and "MML = " lines, while
  // its messages are code page 932. A line that is not UTF-8 is the latter.
  function decodeConsole(bytes) {
    const lines = [];
    let start = 0;
    while (start < bytes.length) {
      let end = bytes.indexOf(0x0A, start);
      end = end < 0 ? bytes.length : end + 1;
      const line = bytes.subarray(start, end);
      try {
        lines.push(utf8.decode(line));
      } catch {
        lines.push(shiftJis.decode(line));
      }
      start = end;
    }
    return lines.join('');
  }

  // The worker starts with the page, so that the module is ready by the time
  // a file is chosen.
  startWorker();

  const api = {
    convert: (bytes, args) => call('convert', bytes, args),
    preview: (bytes, args) => call('preview', bytes, args),
  };
  window.vantrel = api;
  return { ...api, decodeText, decodeConsole };
})();
