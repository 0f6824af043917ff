// Vantrel: the program behind the page, run in a Web Worker.
//
//   window.vantrel.convert(bytes, args) -> Promise<{status, stdout, stderr, mml, name}>
//   window.vantrel.preview(bytes, args) -> Promise<the conversion's preview>
//
// `args` are the command line's arguments (after the program's name) and
// name the input file, which holds `bytes`; the results are what the command
// line gives in an empty folder holding just that file: the exit status, the
// bytes of standard output and standard error, the bytes of the MML file it
// writes (null when it writes none) and that file's name as the program
// derives it. The preview's `fault` names the fault's kind when there is one.
//
// The page itself calls Vantrel.convertFile with the settings its controls
// give (Options.settings), never with a command line.
//
// The worker is started from the text in vantrelWorkerSource (the module and
// worker.js), since a page opened from disk may not start one from a file.
'use strict';

const Vantrel = (() => {
  let worker = null;
  let nextId = 1;
  let memory = 0;  // the module's memory after its last call, in bytes
  let biggest = 0;  // the biggest input given to this worker, in bytes
  const waiting = new Map();
  let readyNow = null;
  // Resolved once the converter has started and practised (see worker.js).
  const ready = new Promise((resolve) => { readyNow = resolve; });

  function startWorker() {
    const url = URL.createObjectURL(new Blob([vantrelWorkerSource], { type: 'text/javascript' }));
    worker = new Worker(url);
    URL.revokeObjectURL(url);
    memory = 0;
    biggest = 0;
    const mine = worker;
    worker.onmessage = (event) => {
      const { id, result, error, broken, input } = event.data;
      if (event.data.ready) {
        readyNow(event.data);
        return;
      }
      if (event.data.memory) memory = event.data.memory;
      const call = waiting.get(id);
      if (!call) return;
      waiting.delete(id);
      call.giveBack(input);
      if (error === undefined) {
        call.resolve(result);
        return;
      }
      const failure = new Error(error);
      // A module that stopped cannot be called again: the next call gets a
      // new one.
      if (broken && worker === mine) {
        failure.broken = true;
        failure.memory = /abort|memory|oom|alloc/i.test(error);
        worker.terminate();
        worker = null;
      }
      call.reject(failure);
    };
    // A worker that fails to start fails every call made of it.
    worker.onerror = (event) => {
      if (worker !== mine) return;
      for (const call of waiting.values()) call.reject(new Error(event.message));
      waiting.clear();
      worker = null;
    };
  }

  // Sends `message` with the bytes that `lend()` gives, moved to the worker
  // (not copied); `giveBack(bytes)` has them when the answer comes. One call
  // at a time goes to the worker, the next when the last is answered: no
  // bytes wait in a worker that may stop, and bytes lent by one call are
  // back before the next lends them again.
  let last = Promise.resolve();
  function call(message, lend, giveBack) {
    const send = (resolve, reject) => {
      if (!worker) startWorker();
      const bytes = lend();
      const id = nextId++;
      biggest = Math.max(biggest, bytes ? bytes.length : 0);
      waiting.set(id, { resolve, reject, giveBack });
      worker.postMessage({ ...message, id, bytes }, bytes ? [bytes.buffer] : []);
    };
    const answer = last.then(() => new Promise(send));
    last = answer.catch(() => {});
    return answer;
  }

  // The page's call: `file` ({name, bytes}) converted with `settings`, the
  // MML as a Blob and only its first `headSize` bytes copied: {status,
  // faultKind, faultSubject, stdout, stderr, blob, head, size, name,
  // preview}. The file's bytes are lent to the worker and come back with the
  // answer.
  function convertFile(file, settings, headSize) {
    return call({ kind: 'convert', settings, name: file.name, headSize },
      () => file.bytes, (bytes) => { if (bytes) file.bytes = bytes; });
  }

  // A command line, on a copy of `bytes`: the caller's stay usable.
  function run(bytes, args) {
    const source = bytes instanceof ArrayBuffer ? new Uint8Array(bytes) : bytes;
    return call({ kind: 'run', args: Array.from(args, String) }, () => new Uint8Array(source), () => {});
  }

  // A new worker, when this one was given a big file (`big` bytes or more)
  // and no call is waiting: the memory a big file makes a worker take (the
  // module's, which never shrinks, and the storage kept for the next big
  // file) comes back. The page calls this when the next file comes.
  function giveMemoryBack(big = 1 << 20) {
    if (!worker || (biggest < big && memory <= 256 << 20) || waiting.size > 0) return false;
    worker.terminate();
    startWorker();
    return true;
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
    convert: async (bytes, args) => {
      const r = await run(bytes, args);
      return { status: r.status, stdout: r.stdout, stderr: r.stderr, mml: r.mml, name: r.name };
    },
    preview: async (bytes, args) => (await run(bytes, args)).preview,
  };
  window.vantrel = api;
  return { ...api, convertFile, ready, decodeText, decodeConsole, giveMemoryBack, memory: () => memory };
})();
