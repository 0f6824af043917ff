// The page in headless Chromium against the native program: for every case
// of the table, the page's controls are set to the case's options, the file
// is converted, and what the page shows and offers must be what the command
// line gives for the command line that the page shows.
//
//   node --test-reporter=spec page_test.mjs  (run by web/tests/run.sh, which
//   passes VANTREL, PAGE, DATA and SCREENSHOT in the environment)
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { createRequire } from 'node:module';
import zlib from 'node:zlib';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const vantrel = path.resolve(process.env.VANTREL);
const pageDir = path.resolve(process.env.PAGE);
const dataDir = path.resolve(process.env.DATA);
const screenshots = process.env.SCREENSHOTS;
const example = fileURLToPath(new URL('../../examples/demo.mid', import.meta.url));
const band = fs.readFileSync(fileURLToPath(new URL('../../examples/band.mid', import.meta.url)));

// ---- the files

const read = (name) => fs.readFileSync(path.join(dataDir, name));
const generated = JSON.parse(fs.readFileSync(path.join(dataDir, 'cases.json'), 'utf8'));

// A file whose tempo event has the wrong length: the MML of the notes before
// it is kept.
const badTempo = Buffer.from([
  0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
  0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 19,
  0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00,
  0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0xFF, 0x2F, 0x00,
]);
const cutShort = read('gen_5.mid').subarray(0, Math.floor(read('gen_5.mid').length * 0.7));
const notMidi = Buffer.concat([Buffer.from('RIFF'), read('gen_6.mid').subarray(4)]);
const format2 = Buffer.from(read('gen_7.mid'));
format2[9] = 2;

// The table: a file under a name, and the options to set on the page.
const cases = [
  { name: 'demo.mid', bytes: fs.readFileSync(example), args: [], via: 'file' },
  ...[[], ['/J'], ['/A480', '/C2'], ['/B-', '/Mx', '/Mm'], ['/Q16'], ['/J', '/Q']].map((args) =>
    ({ name: 'デモ 曲.mid', bytes: fs.readFileSync(example), args })),
  ...[['--voices', '--velocity-step=8', '/Q16'], ['/J', '/B-', '--voices'], ['/C0', '--velocity-step=127']]
    .map((args) => ({ name: 'band.mid', bytes: band, args })),
  ...generated.map(({ file, args }) => ({ name: file, bytes: read(file), args })),
  { name: '-dash.mid', bytes: read('gen_2.mid'), args: ['/J'] },
  { name: 'cut.mid', bytes: cutShort, args: [] },
  { name: 'riff.mid', bytes: notMidi, args: [] },
  { name: 'format2.mid', bytes: format2, args: [] },
  { name: 'tempo.mid', bytes: badTempo, args: ['/C0'] },
];

// ---- the command line

// Runs the program with `args` in an empty folder holding `bytes` under
// `name`; the MML is whatever new file the folder then holds.
function runNative(name, bytes, args) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vantrel-web-'));
  try {
    fs.writeFileSync(path.join(folder, name), bytes);
    const start = performance.now();
    const run = spawnSync(vantrel, args, { cwd: folder, maxBuffer: 1 << 26 });
    const ms = performance.now() - start;
    const made = fs.readdirSync(folder).filter((f) => f !== name);
    return {
      status: run.status,
      stdout: run.stdout,
      stderr: run.stderr,
      mmlName: made.length === 1 ? made[0] : null,
      mml: made.length === 1 ? fs.readFileSync(path.join(folder, made[0])) : null,
      ms,
    };
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

const utf8 = new TextDecoder('utf-8');
const shiftJis = new TextDecoder('shift_jis');
const digest = (bytes) => (bytes === null ? null
  : `${bytes.length} bytes, sha256 ${createHash('sha256').update(bytes).digest('hex')}`);

// "vantrel /J "a b.mid"" -> ['/J', 'a b.mid']
function shownArguments(commandLine) {
  const words = [...commandLine.matchAll(/"([^"]*)"|(\S+)/g)].map((m) => m[1] ?? m[2]);
  assert.equal(words.shift(), 'vantrel');
  return words;
}
const optionsOf = (args, name) => args.filter((a) => a !== name && a !== '--').sort();

// ---- the page

// Sets the controls to `args` at once (one change event): the table's cases
// are about the bytes, the groups below about the controls.
async function setOptions(page, args) {
  await page.evaluate((args) => {
    const $ = (id) => document.getElementById(id);
    $(args.includes('/J') ? 'dialect-kana' : 'dialect-mml').checked = true;
    $('bar-lines').checked = !args.includes('/B-');
    const lineArg = args.find((a) => a.startsWith('/C'));
    const lineBars = lineArg ? Number(lineArg.slice(2)) : 4;
    $('line-mode').value = lineBars === 0 ? 'note' : lineBars < 0 ? 'never' : 'bars';
    $('line-bars').value = String(lineBars > 0 ? lineBars : 4);
    const pickupArg = args.find((a) => a.startsWith('/A'));
    $('pickup-unit').value = 'ticks';
    $('pickup').value = pickupArg ? pickupArg.slice(2) : '0';
    for (const letter of 'abcpxm') $(`filter-${letter}`).checked = args.includes(`/M${letter}`);
    $('filter-all').checked = args.includes('/MA');
    const gridArg = args.find((a) => a.startsWith('/Q'));
    $('grid').value = !gridArg ? '' : gridArg === '/Q' ? 'auto' : gridArg.slice(2);
    $('voices').checked = args.includes('--voices');
    const stepArg = args.find((a) => a.startsWith('--velocity-step='));
    $('velocity-step').value = stepArg ? stepArg.slice(16) : '';
    $('options').dispatchEvent(new Event('change', { bubbles: true }));
  }, args);
}

async function setFile(page, name, bytes) {
  if (page.fileName === name) return;
  page.fileName = name;
  await page.setInputFiles('#smf-file', { name, mimeType: 'audio/midi', buffer: bytes });
  await page.waitForFunction((n) => document.getElementById('file-info').textContent.startsWith(n), name);
}

// Clicks Convert and waits for the result it shows.
async function convertNow(page) {
  const count = Number(await page.getAttribute('body', 'data-conversions'));
  await page.click('#convert');
  await page.waitForFunction((n) => Number(document.body.dataset.conversions) > n
    && document.body.dataset.state !== 'busy', count);
}

// The download on offer, or null: {name, bytes}.
async function download(page, selector = '#download') {
  if ((await page.getAttribute(selector, 'aria-disabled')) !== 'false') return null;
  const [file] = await Promise.all([page.waitForEvent('download'), page.click(selector)]);
  return { name: file.suggestedFilename(), bytes: fs.readFileSync(await file.path()) };
}

// Converts with the page's button and gathers what the page shows.
async function convertOnPage(page) {
  await convertNow(page);
  const offered = await download(page);
  return {
    console: await page.textContent('#console'),
    fault: await page.textContent('#fault-message'),
    plain: await page.textContent('#fault-plain'),
    faultShown: !(await page.locator('#fault').isHidden()),
    status: await page.textContent('#status-text'),
    download: offered && offered.bytes,
    downloadName: offered && offered.name,
  };
}

// One case of the table in one call into the page (see the table).
async function caseInPage(page, args, url) {
  await setOptions(page, args);
  const seen = await page.evaluate(async (url) => {
    const $ = (id) => document.getElementById(id);
    const commandLine = $('command-line').textContent;
    const count = Number(document.body.dataset.conversions);
    $('convert').click();
    await new Promise((resolve) => {
      const look = () => (Number(document.body.dataset.conversions) > count
        && document.body.dataset.state !== 'busy' ? resolve() : setTimeout(look, 2));
      look();
    });
    const text = (b) => (b === null ? null : Array.from(b, (c) => String.fromCharCode(c)).join(''));
    const link = $('download');
    const offered = link.getAttribute('aria-disabled') === 'false'
      ? new Uint8Array(await (await fetch(link.href)).arrayBuffer()) : null;
    const shown = {
      console: $('console').textContent, fault: $('fault-message').textContent,
      plain: $('fault-plain').textContent, faultShown: !$('fault').hidden,
      status: $('status-text').textContent, download: text(offered),
      downloadName: offered && link.download,
    };
    const words = [...commandLine.matchAll(/"([^"]*)"|(\S+)/g)].map((m) => m[1] ?? m[2]).slice(1);
    const bytes = new Uint8Array(await (await fetch(url)).arrayBuffer());
    const r = await window.vantrel.convert(bytes, words);
    const called = { status: r.status, stdout: text(r.stdout), stderr: text(r.stderr), mml: text(r.mml),
      name: r.mml === null ? null : r.name };
    return { commandLine, shown, called };
  }, url);
  seen.shown.download = latin1(seen.shown.download);
  return { shownArgs: shownArguments(seen.commandLine), shown: seen.shown, called: seen.called };
}

const latin1 = (text) => (text === null ? null : Buffer.from(text, 'latin1'));

// The page's own worker text (the module and worker.js) run in Node.
async function moduleInNode() {
  const source = fs.readFileSync(path.join(pageDir, 'worker_source.js'), 'utf8');
  const text = new Function(`${source}\nreturn vantrelWorkerSource;`)();
  const module = { exports: {} };
  new Function('module', 'exports', 'require', '__dirname', '__filename',
    `${text}\nmodule.exports.createVantrelWasm = createVantrelWasm;`)(
    module, module.exports, createRequire(import.meta.url), pageDir, path.join(pageDir, 'worker.js'));
  const { vantrelCalls, startVantrelWasm, createVantrelWasm } = module.exports;
  return vantrelCalls(await startVantrelWasm(createVantrelWasm));
}

// ---- the run

let browser;
let server;
let origin;

function serve() {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };
  server = http.createServer((request, response) => {
    const url = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const [root, rest] = url.startsWith('/data/') ? [dataDir, url.slice(6)] : [pageDir, url.slice(1)];
    const file = path.join(root, rest || 'index.html');
    if (!file.startsWith(root) || !fs.existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'content-type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => {
    origin = `http://127.0.0.1:${server.address().port}`;
    resolve();
  }));
}

async function openPage(url) {
  const page = await browser.newPage({ viewport: { width: 1000, height: 900 }, locale: 'en-US' });
  page.errors = [];
  page.on('pageerror', (error) => page.errors.push(String(error)));
  await page.goto(url);
  await page.selectOption('#language', 'en');
  return page;
}

before(async () => {
  await serve();
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    // gc(): the zoom's frames are measured without the garbage of the
    // conversions before them.
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--js-flags=--expose-gc',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});

after(async () => {
  await browser?.close();
  server?.close();
});

describe('the page gives what the command line gives', () => {
  let served;
  let fromDisk;
  before(async () => {
    served = await openPage(`${origin}/`);
    fromDisk = await openPage(pathToFileURL(path.join(pageDir, 'index.html')).href);
  });

  for (const c of cases) {
    test(`${c.via === 'file' ? 'file:// ' : ''}${c.name} ${c.args.join(' ')}`, async () => {
      const page = c.via === 'file' ? fromDisk : served;
      await setFile(page, c.name, c.bytes);
      let shownArgs;
      let shown;
      let called = null;
      if (c.via === 'file') {
        // As a user does: the controls, the button, the download.
        await setOptions(page, c.args);
        shownArgs = shownArguments(await page.textContent('#command-line'));
        shown = await convertOnPage(page);
      } else {
        // The same in one go, in the page: the options set, Convert clicked,
        // what it shows and its link's bytes read, and the same arguments
        // through window.vantrel.convert.
        fs.writeFileSync(path.join(dataDir, 'current.mid'), c.bytes);
        ({ shownArgs, shown, called } = await caseInPage(page, c.args, '/data/current.mid'));
      }
      const native = runNative(c.name, c.bytes, shownArgs);
      const faultText = shiftJis.decode(native.stderr);
      const actual = {
        options: optionsOf(shownArgs, c.name),
        console: shown.console,
        fault: shown.faultShown ? shown.fault : '',
        // Every fault in plain words, once.
        plainWords: shown.faultShown && shown.plain !== '' && shown.plain !== shown.fault,
        incomplete: /incomplete/.test(shown.status),
        download: digest(shown.download),
        downloadName: shown.downloadName,
        called: called && { ...called, stdout: digest(latin1(called.stdout)),
          stderr: digest(latin1(called.stderr)), mml: digest(latin1(called.mml)) },
        pageErrors: page.errors.splice(0),
      };
      const expected = {
        options: [...c.args].sort(),
        console: utf8.decode(native.stdout),
        fault: faultText.trim(),
        plainWords: faultText !== '',
        incomplete: native.status !== 0 && native.mml !== null,
        download: digest(native.mml),
        downloadName: native.mmlName,
        called: called && { status: native.status, stdout: digest(native.stdout),
          stderr: digest(native.stderr), mml: digest(native.mml), name: native.mmlName },
        pageErrors: [],
      };
      assert.deepStrictEqual(actual, expected);
    });
  }
});

// ---- the page's features, one group each

// The page's accessibility faults as axe-core finds them, in a line each.
const axeSource = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
async function violations(page) {
  await page.evaluate(axeSource);
  const { passed, found } = await page.evaluate(async () => {
    const results = await window.axe.run(document, { resultTypes: ['violations'] });
    return { passed: results.passes.length, found: results.violations.map((v) =>
      `${v.impact} ${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`) };
  });
  assert.ok(passed > 10, `axe-core checked only ${passed} rules`);
  return found;
}


// A RIFF MIDI form (.rmi) holding `smf`, after an INFO list.
function rmi(smf) {
  const chunk = (id, data) => {
    const head = Buffer.alloc(8);
    head.write(id, 0, 'latin1');
    head.writeUInt32LE(data.length, 4);
    return Buffer.concat([head, data, Buffer.alloc(data.length % 2)]);
  };
  return chunk('RIFF', Buffer.concat([Buffer.from('RMID'),
    chunk('LIST', Buffer.from('INFOINAM\x01\x00\x00\x00x', 'latin1')), chunk('data', smf)]));
}

// The entries of a .zip: {name: bytes}.
function unzip(bytes) {
  const entries = {};
  const end = bytes.lastIndexOf(Buffer.from([0x50, 0x4B, 0x05, 0x06]));
  let at = bytes.readUInt32LE(end + 16);
  for (let i = 0; i < bytes.readUInt16LE(end + 10); ++i) {
    const method = bytes.readUInt16LE(at + 10);
    const size = bytes.readUInt32LE(at + 20);
    const nameLength = bytes.readUInt16LE(at + 28);
    const extra = bytes.readUInt16LE(at + 30) + bytes.readUInt16LE(at + 32);
    const name = bytes.subarray(at + 46, at + 46 + nameLength).toString('utf8');
    const local = bytes.readUInt32LE(at + 42);
    const start = local + 30 + bytes.readUInt16LE(local + 26) + bytes.readUInt16LE(local + 28);
    const body = bytes.subarray(start, start + size);
    entries[name] = method === 8 ? zlib.inflateRawSync(body) : body;
    at += 46 + nameLength + extra;
  }
  return entries;
}

const demo = fs.readFileSync(example);

// From now on, the longest time the page's own thread is held (a timer of
// 10 ms that waits longer) goes to window.longest.
const watchThread = (page) => page.evaluate(() => {
  window.longest = 0;
  let last = performance.now();
  window.ticker = setInterval(() => {
    const now = performance.now();
    window.longest = Math.max(window.longest, now - last);
    last = now;
  }, 10);
});

// The roll's legend, entry by entry.
const legend = (page) => page.$$eval('#roll-legend span', (items) => items.map((i) => i.textContent));

// An SMF of format 0 with one track of `events` (bytes after their delta
// times, as written), and the end of the track.
function smf(events, division = 480) {
  const track = Buffer.concat([Buffer.from(events), Buffer.from([0x00, 0xFF, 0x2F, 0x00])]);
  const head = Buffer.from([0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, division >> 8, division & 0xFF,
    0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 0]);
  head.writeUInt32BE(track.length, 18);
  return Buffer.concat([head, track]);
}

// A variable-length quantity.
function vlq(n) {
  const bytes = [n & 0x7F];
  for (n >>>= 7; n > 0; n >>>= 7) bytes.unshift((n & 0x7F) | 0x80);
  return bytes;
}

// `count` notes, each held for the longest delta time in bars of a
// thirty-second note at one tick a quarter note: a few hundred bytes that
// make `count` times 48 MB of MML.
const longHeld = (count) => smf([0x00, 0xFF, 0x58, 0x04, 0x01, 0x05, 0x18, 0x08,
  ...Array.from({ length: count }, () => [0x00, 0x90, 0x3C, 0x64, 0x8F, 0xFF, 0xFF, 0x7F, 0x80, 0x3C, 0x00]).flat()], 1);

describe('every result belongs to the file and the options shown', () => {
  test('a file chosen while a big one converts, and an option changed after', async () => {
    const page = await openPage(`${origin}/`);
    await page.setInputFiles('#smf-file', { name: 'dense-1M.mid', mimeType: 'audio/midi',
      buffer: read('dense-1M.mid') });
    await page.waitForFunction(() => document.body.dataset.state === 'busy');
    await page.setInputFiles('#smf-file', { name: 'demo.mid', mimeType: 'audio/midi', buffer: demo });
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && document.getElementById('console').textContent.startsWith('SMF = demo.mid')
      && document.getElementById('download').getAttribute('aria-disabled') === 'false');
    const first = { command: await page.textContent('#command-line'), console: await page.textContent('#console'),
      download: await download(page) };
    // Kana: converted again at once, the ASCII text no longer offered.
    const count = Number(await page.getAttribute('body', 'data-conversions'));
    await page.check('#dialect-kana');
    await page.waitForFunction((n) => Number(document.body.dataset.conversions) > n
      && document.body.dataset.state === 'done'
      && document.getElementById('download').getAttribute('aria-disabled') === 'false', count);
    const kana = await download(page);
    assert.deepStrictEqual(
      { command: first.command, console: first.console, download: digest(first.download.bytes),
        name: first.download.name, kana: digest(kana.bytes), pageErrors: page.errors },
      { command: 'vantrel demo.mid', console: utf8.decode(runNative('demo.mid', demo, ['demo.mid']).stdout),
        download: digest(runNative('demo.mid', demo, ['demo.mid']).mml), name: 'demo.mml',
        kana: digest(runNative('demo.mid', demo, ['/J', 'demo.mid']).mml), pageErrors: [] });
    await page.close();
  });
});

describe('one reading of the file', () => {
  test('an .rmi is previewed as it converts', async () => {
    const page = await openPage(`${origin}/`);
    const bytes = rmi(demo);
    await setFile(page, 'demo.rmi', bytes);
    await page.waitForFunction(() => Number(document.body.dataset.previews) > 0
      && document.body.dataset.state === 'done');
    const offered = await download(page);
    assert.deepStrictEqual({
      accept: (await page.getAttribute('#smf-file', 'accept')).split(',').includes('.rmi'),
      dropText: /\.rmi/.test(await page.textContent('#drop-zone')),
      previewFault: await page.locator('#preview-fault').isHidden(),
      roll: await page.locator('#roll-box').isVisible(),
      info: await page.textContent('#roll-info'),
      listing: await page.textContent('#listing'),
      legend: await legend(page),
      download: digest(offered.bytes),
    }, {
      accept: true, dropText: true, previewFault: true, roll: true,
      info: '52 notes, 3 tracks, 480 ticks per quarter note',
      listing: 'bar 1: 3/4, G majorbar 5: 4/4, G major',
      legend: ['Melody', 'Chords'],
      download: digest(runNative('demo.rmi', bytes, ['demo.rmi']).mml),
    });
    await page.close();
  });

  test('on a grid the roll has the notes where they will be written, and where they were', async () => {
    const page = await openPage(`${origin}/`);
    const played = fs.readFileSync(fileURLToPath(new URL('../../examples/played.mid', import.meta.url)));
    const got = await page.evaluate(async (bytes) => {
      const plain = await window.vantrel.preview(new Uint8Array(bytes), ['played.mid']);
      const grid = await window.vantrel.preview(new Uint8Array(bytes), ['/Q', 'played.mid']);
      const onSteps = Array.from(grid.ticks).every((t) => t % 120 === 0);
      return {
        plain: plain.original, gridNote: grid.gridNote, onSteps,
        originalIsPlayed: Array.from(grid.original).join() === Array.from(plain.ticks).join(),
      };
    }, [...played]);
    assert.deepStrictEqual(got, { plain: null, gridNote: 16, onSteps: true, originalIsPlayed: true });
    await page.close();
  });
});

// An SMF of format 1 with `tracks` (each the bytes of its events after their
// delta times, as written; the end of the track is added).
function smf1(tracks, division = 480) {
  const chunks = tracks.map((events) => {
    const body = Buffer.concat([Buffer.from(events), Buffer.from([0x00, 0xFF, 0x2F, 0x00])]);
    const head = Buffer.from([0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 0]);
    head.writeUInt32BE(body.length, 4);
    return Buffer.concat([head, body]);
  });
  return Buffer.concat([Buffer.from([0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 1, 0, tracks.length,
    division >> 8, division & 0xFF]), ...chunks]);
}

describe('the roll shows what the MML holds', () => {
  const note = (key) => [0x00, 0x90, key, 0x64, 0x83, 0x60, 0x80, key, 0x00];
  const lying = [
    { what: 'an undefined status byte in the first track: nothing of the second',
      name: 'undefined.mid', bytes: smf1([[...note(60), 0x00, 0xF4], note(64)]), grid: '',
      seen: { roll: false, notes: 0, fault: 'invalidMidiEvent', partial: true,
        plain: 'The file holds a byte that is no MIDI event: it is damaged there.' } },
    { what: '/Q12 at 100 ticks a quarter note: the grid refused',
      name: 'hundred.mid', bytes: smf1([note(60)], 100), grid: '12',
      seen: { roll: false, notes: 0, fault: 'badGrid', partial: false,
        plain: 'The grid (/Q12) does not fit this file: its step must be a whole number of ticks, and the file '
          + 'has 100 ticks per quarter note.' } },
  ];
  for (const c of lying) {
    test(c.what, async () => {
      const page = await openPage(`${origin}/`);
      await page.selectOption('#grid', c.grid);
      await setFile(page, c.name, c.bytes);
      await page.waitForFunction(() => document.body.dataset.state === 'done'
        && !document.getElementById('fault').hidden);
      const args = shownArguments(await page.textContent('#command-line'));
      const seen = await page.evaluate(async ({ bytes, args }) => {
        const p = await window.vantrel.preview(new Uint8Array(bytes), args);
        return { roll: !document.getElementById('roll-box').hidden, notes: p.keys.length, fault: p.fault,
          partial: !document.getElementById('preview-fault').hidden,
          plain: document.getElementById('fault-plain').textContent,
          program: document.getElementById('fault-message').textContent };
      }, { bytes: [...c.bytes], args });
      const native = runNative(c.name, c.bytes, args);
      assert.deepStrictEqual({ ...seen, pageErrors: page.errors },
        { ...c.seen, program: shiftJis.decode(native.stderr).trim(), pageErrors: [] });
      await page.evaluate(() => localStorage.clear());
      await page.close();
    });
  }
});

describe('choosing tracks and channels', () => {
  test('a box per track by name and per channel with notes; the command line; the MML; a choice refused', async () => {
    const page = await openPage(`${origin}/`);
    await setFile(page, 'demo.mid', demo);
    await page.waitForFunction(() => document.body.dataset.state === 'done' && !document.getElementById('choice-box').hidden);
    const boxes = (id) => page.$$eval(`#${id} label`, (labels) => labels.map((l) => l.textContent.trim()));
    const seen = { tracks: await boxes('track-boxes'), channels: await boxes('channel-boxes') };
    const converted = async (click) => {
      const count = Number(await page.getAttribute('body', 'data-conversions'));
      await page.click(click);
      await page.waitForFunction((n) => Number(document.body.dataset.conversions) > n
        && document.body.dataset.state === 'done', count);
      return { command: await page.textContent('#command-line'), offered: await download(page),
        plain: await page.textContent('#fault-plain'), faultShown: !(await page.locator('#fault').isHidden()) };
    };
    // Chords left out, then channel 1 too: what the command line shown writes.
    const melody = await converted('#track-boxes input[data-number="2"]');
    const none = await converted('#channel-boxes input[data-number="1"]');
    // No track ticked: refused on the page, nothing converted.
    for (const n of [0, 1]) await page.uncheck(`#track-boxes input[data-number="${n}"]`);
    await page.waitForFunction(() => document.body.dataset.state === 'done');
    const unticked = { problem: await page.textContent('#tracks-problem'),
      offered: (await page.getAttribute('#download', 'aria-disabled')) === 'false' };
    assert.deepStrictEqual({ ...seen, melody: { ...melody, offered: digest(melody.offered.bytes) },
      none: { ...none, offered: none.offered }, unticked, pageErrors: page.errors }, {
      tracks: ['0: vantrel demo', '1: Melody', '2: Chords'], channels: ['channel 1', 'channel 2'],
      melody: { command: 'vantrel --tracks=0-1 demo.mid', faultShown: false, plain: '',
        offered: digest(runNative('demo.mid', demo, ['--tracks=0-1', 'demo.mid']).mml) },
      none: { command: 'vantrel --tracks=0-1 --channels=2 demo.mid', offered: null, faultShown: true,
        plain: 'The tracks and channels chosen hold no notes and no channel messages (--tracks=0-1 --channels=2).' },
      unticked: { problem: 'Tick at least one track.', offered: false },
      pageErrors: [],
    });
    await page.close();
  });
});

describe('voices and velocity steps', () => {
  test('the two controls, the command line, the MML; the roll by voice, its legend as the MML names them', async () => {
    const page = await openPage(`${origin}/`);
    await setFile(page, 'band.mid', band);
    await page.waitForFunction(() => document.body.dataset.state === 'done');
    const byVoiceOffered = () => page.$eval('#roll-colour option[value="voice"]', (o) => !o.disabled);
    const before = { byVoice: await byVoiceOffered(), colour: await page.inputValue('#roll-colour') };
    const previews = Number(await page.getAttribute('body', 'data-previews'));
    await page.check('#voices');
    await page.fill('#velocity-step', '8');
    await page.click('#convert');
    await page.waitForFunction((n) => document.body.dataset.state === 'done'
      && Number(document.body.dataset.previews) > n && document.querySelector('#roll-legend span'), previews);
    const args = shownArguments(await page.textContent('#command-line'));
    const native = runNative('band.mid', band, args);
    const mml = shiftJis.decode(native.mml);
    const comments = [...new Set(mml.match(/^\t\/\/voice .*$/gm).map((c) => c.slice(3)))];
    // A section a voice: as many sections of a channel as it has voices.
    const sections = {};
    for (const [, channel] of mml.matchAll(/^\tCH\((\d+)\);/gm)) sections[channel] = (sections[channel] || 0) + 1;
    // Each note's voice, as the roll is given it: the voices of each channel.
    const voices = await page.evaluate(async (bytes) => {
      const p = await window.vantrel.preview(new Uint8Array(bytes), ['--voices', 'band.mid']);
      const plain = await window.vantrel.preview(new Uint8Array(bytes), ['band.mid']);
      const byChannel = {};
      p.keys.forEach((packed, i) => {
        const channel = ((packed >> 8) & 0x0F) + 1;
        byChannel[channel] = Math.max(byChannel[channel] || 0, p.voices[i]);
      });
      return { byChannel, plain: plain.voices, drum: p.drumNames[38] };
    }, [...band]);
    const on = {
      args, byVoice: await byVoiceOffered(), colour: await page.inputValue('#roll-colour'),
      legend: await legend(page),
      download: digest((await download(page)).bytes), axe: await violations(page),
    };
    // A step the program refuses is refused here, in words.
    await page.fill('#velocity-step', '128');
    await page.waitForFunction(() => document.getElementById('velocity-step-problem').textContent !== '');
    const refused = { problem: await page.textContent('#velocity-step-problem'),
      invalid: await page.getAttribute('#velocity-step', 'aria-invalid') };
    await page.fill('#velocity-step', '8');
    await page.reload();
    await page.waitForFunction(() => document.getElementById('command-line').textContent !== '');
    const remembered = { command: await page.textContent('#command-line'), colour: await page.inputValue('#roll-colour') };
    await page.uncheck('#voices');
    const off = { byVoice: await byVoiceOffered(), colour: await page.inputValue('#roll-colour') };
    assert.deepStrictEqual({ before, on, voices, refused, remembered, off, pageErrors: page.errors }, {
      before: { byVoice: false, colour: 'track' },
      on: { args: ['--voices', '--velocity-step=8', 'band.mid'], byVoice: true, colour: 'voice',
        legend: comments, download: digest(native.mml), axe: [] },
      voices: { byChannel: sections, plain: null, drum: 'Acoustic Snare' },
      refused: { problem: 'The step must be a whole number from 1 to 127, or empty.', invalid: 'true' },
      remembered: { command: 'vantrel --voices --velocity-step=8 song.mid', colour: 'voice' },
      off: { byVoice: false, colour: 'track' },
      pageErrors: [],
    });
    await page.evaluate(() => localStorage.clear());
    await page.close();
  });
});

describe('the result where the user is', () => {
  test('at 1366×768 the result bar is in view, announced, and the focus stays', async () => {
    const page = await browser.newPage({ viewport: { width: 1366, height: 768 }, locale: 'en-US' });
    await page.goto(`${origin}/`);
    await page.selectOption('#language', 'en');
    await setFile(page, 'demo.mid', demo);
    await page.waitForFunction(() => document.body.dataset.state === 'done');
    // A keyboard user ticks kana with the space bar, then asks again with Enter.
    await page.focus('#dialect-kana');
    await page.keyboard.press('Space');
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && document.getElementById('download').getAttribute('aria-disabled') === 'false');
    const afterOption = await page.evaluate(() => document.activeElement.id);
    await page.focus('#convert');
    const count = Number(await page.getAttribute('body', 'data-conversions'));
    await page.keyboard.press('Enter');
    await page.waitForFunction((n) => Number(document.body.dataset.conversions) > n, count);
    const bar = await page.evaluate(() => {
      const box = document.getElementById('result-bar').getBoundingClientRect();
      const link = document.getElementById('download').getBoundingClientRect();
      return { inView: box.top >= 0 && link.bottom <= innerHeight,
        role: document.getElementById('status').getAttribute('role'),
        status: document.getElementById('status-text').textContent,
        focus: document.activeElement.id };
    });
    // A fault: said once, in plain words, with the program's message beside.
    await page.setInputFiles('#smf-file', { name: 'picture.mid', mimeType: 'audio/midi',
      buffer: Buffer.from('\x89PNG\r\n\x1a\n0000000000000000', 'latin1') });
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && !document.getElementById('fault').hidden);
    await page.selectOption('#language', 'ja');
    const fault = await page.evaluate(() => ({
      plain: document.getElementById('fault-plain').textContent,
      program: document.getElementById('fault-message').textContent,
      programLang: document.getElementById('fault-message').lang,
      shown: [...document.querySelectorAll('body *')].filter((e) => e.children.length === 0
        && e.textContent.includes('MThd') && e.offsetParent !== null).length,
    }));
    assert.deepStrictEqual({ afterOption, ...bar, fault }, {
      afterOption: 'dialect-kana', inView: true, role: 'status',
      status: 'demo.mid converted: 1,545 bytes of MML.', focus: 'convert',
      fault: { plain: 'MIDI ファイルではありません（または先頭から壊れています）。',
        program: 'SMFファイルのデータが不正です。\nMThdチャンクがありません。', programLang: 'ja', shown: 1 },
    });
    await page.close();
  });
});

describe('options', () => {
  // Typed values: refused with a message, never changed; good ones given as they are.
  const typed = [
    { id: 'line-bars', value: '0', args: null },
    { id: 'line-bars', value: '-3', args: null },
    { id: 'line-bars', value: '1e3', args: null },
    { id: 'line-bars', value: '2.5', args: null },
    { id: 'line-bars', value: '12', args: ['/C12'] },
    { id: 'pickup', value: '-480', args: null },
    { id: 'pickup', value: '1e3', args: null },
    { id: 'pickup', value: '960', args: ['/A960'] },
    { id: 'pickup', unit: 'beats', value: '1', args: ['/A480'] },
    { id: 'pickup', unit: 'beats', value: '1/3', args: ['/A160'] },
    { id: 'pickup', unit: 'beats', value: '0.001', args: null },
  ];
  test('typed values, the /M choices and remembering them', async () => {
    const page = await openPage(`${origin}/`);
    await setFile(page, 'demo.mid', demo);
    const seen = [];
    for (const t of typed) {
      await page.selectOption('#pickup-unit', t.unit || 'ticks');
      await page.fill('#pickup', '0');
      await page.fill('#line-bars', '4');
      await page.fill(`#${t.id}`, t.value);
      await page.click('#convert');
      await page.waitForFunction(() => document.body.dataset.state === 'done');
      const problem = await page.textContent(`#${t.id}-problem`);
      const words = shownArguments(await page.textContent('#command-line')).slice(0, -1);
      seen.push({ ...t, args: problem ? null : words,
        refused: problem !== '' && (await page.getAttribute('#download', 'aria-disabled')) === 'true',
        kept: await page.inputValue(`#${t.id}`) });
    }
    // Everything but notes leaves the single choices as they were.
    await page.fill('#line-bars', '4');
    await page.fill('#pickup', '0');
    await page.check('#filter-b');
    await page.check('#filter-x');
    await page.check('#filter-all');
    const all = await page.textContent('#command-line');
    await page.uncheck('#filter-all');
    const back = await page.textContent('#command-line');
    await page.check('#dialect-kana');
    await page.reload();
    await page.waitForFunction(() => document.getElementById('command-line').textContent !== '');
    const remembered = await page.textContent('#command-line');
    assert.deepStrictEqual({ seen, all, back, remembered }, {
      seen: typed.map((t) => ({ ...t, args: t.args, refused: t.args === null, kept: t.value })),
      all: 'vantrel /MA demo.mid', back: 'vantrel /Mb /Mx demo.mid', remembered: 'vantrel /J /Mb /Mx song.mid',
    });
    await page.evaluate(() => localStorage.clear());
    await page.close();
  });
});

describe('several files', () => {
  test('a bad one among them: the .zip holds those that converted, under plain names, and a list of the rest', async () => {
    const page = await openPage(`${origin}/`);
    await page.check('#dialect-kana');
    const files = [
      { name: 'demo.mid', bytes: demo },
      { name: '曲 2.mid', bytes: read('gen_4.mid') },
      { name: 'notes.txt', bytes: Buffer.from('not a MIDI file\n') },
      // Names that no archive should hold as they are.
      { name: '-\\..\\..\\..\\escape.mid', bytes: read('gen_3.mid') },
      { name: 'C:\\Windows\\x.mid', bytes: read('gen_3.mid') },
      { name: 'con.mid', bytes: read('gen_3.mid') },
      { name: 'bell\u0007.mid', bytes: read('gen_3.mid') },
      { name: 'DEMO.mid', bytes: demo },
      { name: '.DEMO.mid', bytes: demo },
    ];
    await page.evaluate((files) => {
      const dropped = new DataTransfer();
      for (const f of files) dropped.items.add(new File([new Uint8Array(f.bytes)], f.name));
      document.documentElement.dispatchEvent(new DragEvent('drop', { bubbles: true, cancelable: true,
        dataTransfer: dropped }));
    }, files.map((f) => ({ name: f.name, bytes: [...f.bytes] })));
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && !document.getElementById('download-zip').disabled);
    const rows = await page.$$eval('#file-list tbody tr', (trs) => trs.map((tr) => tr.cells[1].textContent));
    const note = await page.textContent('#zip-note');
    const [file] = await Promise.all([page.waitForEvent('download'), page.click('#download-zip')]);
    const zip = unzip(fs.readFileSync(await file.path()));
    const listing = zip['not-converted.txt'].toString('utf8');
    delete zip['not-converted.txt'];
    const entries = Object.fromEntries(Object.entries(zip).map(([n, b]) => [n, digest(b)]));
    const mml = (f) => digest(runNative(f.name, f.bytes, ['/J', '--', f.name]).mml);
    const [good, gen4, , gen3] = files.map(mml);
    assert.deepStrictEqual({ rows, note, entries, listing, pageErrors: page.errors }, {
      rows: ['converted', 'converted', 'fault', 'converted', 'converted', 'converted', 'converted', 'converted',
        'converted'],
      note: 'The .zip holds the 8 files that converted and not-converted.txt, which lists the 1 file that '
        + 'did not and why.',
      entries: { 'demo.mml': good, '曲 2.mml': gen4, 'escape.mml': gen3, 'x.mml': gen3, '_con.mml': gen3,
        'bell_.mml': gen3, 'DEMO-2.mml': good, 'vantrel.mml': good },
      listing: '1 of 9 files were not converted (vantrel /J):\r\n\r\nnotes.txt: This is not a MIDI file (or it '
        + 'is damaged at its very start): a Standard MIDI File begins with "MThd".\r\n',
      pageErrors: [],
    });
    await page.close();
  });
});

describe('reading and copying the MML', () => {
  test('colours, the first note in view, bar numbers, roll and text linked, Copy, Ctrl+A', async () => {
    const context = await browser.newContext({ viewport: { width: 1366, height: 900 }, locale: 'en-US' });
    await context.grantPermissions(['clipboard-read', 'clipboard-write']);
    const page = await context.newPage();
    await page.goto(`${origin}/`);
    await page.selectOption('#language', 'en');
    await setFile(page, 'demo.mid', demo);
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && Number(document.body.dataset.previews) > 0);
    const text = await page.evaluate(() => {
      const pre = document.getElementById('mml');
      const first = pre.querySelector('.line[data-bar] .n').closest('.line');
      return {
        colours: ['c', 's', 'k', 'n', 'r', 'b', 'o'].filter((c) => pre.querySelector(`.${c}`)),
        firstNoteInView: pre.scrollTop > 0 && first.offsetTop >= pre.scrollTop
          && first.offsetTop < pre.scrollTop + pre.clientHeight,
        gutter: [...pre.querySelectorAll('.line[data-bar]')].map((l) => l.dataset.bar).join(' '),
      };
    });
    // Bar 6 clicked in the roll: the line that holds it is marked.
    const box = await page.locator('#roll-box').boundingBox();
    const bar6 = await page.evaluate(() => {
      const roll = document.getElementById('roll-box');
      return (7680 + 480) / 13440 * (roll.scrollWidth - 2);
    });
    await page.mouse.click(box.x + bar6, box.y + 60);
    const marked = await page.$eval('#mml .line.target', (l) => l.dataset.bar);
    // A bar number clicked in the gutter: the roll, zoomed in, scrolls to it.
    await page.selectOption('#roll-zoom', '8');
    await page.$eval('#mml .line.target', (l) => l.scrollIntoView({ block: 'center' }));
    const line = await page.locator('#mml .line.target').boundingBox();
    await page.mouse.click(line.x + 10, line.y + line.height / 2);
    await page.waitForFunction(() => document.getElementById('roll-box').scrollLeft > 0);
    // Copy MML gives the whole text; Ctrl+A in the text selects the text alone.
    await page.click('#copy-mml');
    await page.waitForFunction(() => document.getElementById('copy-note').textContent !== '');
    const copied = await page.evaluate(() => navigator.clipboard.readText());
    await page.focus('#mml');
    await page.keyboard.press('Control+A');
    const selected = await page.evaluate(() => window.getSelection().toString());
    assert.deepStrictEqual({ ...text, marked, copied, selectedIsText: selected.includes('TR(1);')
      && !selected.includes('Options'), pageErrors: page.errors || [] }, {
      colours: ['c', 's', 'k', 'n', 'r', 'b', 'o'], firstNoteInView: true, gutter: '1 5 1 5',
      marked: '5', copied: shiftJis.decode(runNative('demo.mid', demo, ['demo.mid']).mml),
      selectedIsText: true, pageErrors: [],
    });
    await context.close();
  });
});

describe('hearing it', () => {
  test('Play and Space: playing, the cursor and the bar marked moving on, nothing fetched; the grid as played', async () => {
    const page = await openPage(`${origin}/`);
    await setFile(page, 'demo.mid', demo);
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && !document.getElementById('play').disabled);
    const requests = [];
    page.on('request', (request) => requests.push(request.url()));
    const look = () => page.evaluate(() => ({ playing: document.body.dataset.playing,
      cursor: document.getElementById('roll-cursor').hidden ? null
        : Number(document.getElementById('roll-cursor').dataset.tick),
      bars: [...document.querySelectorAll('#mml .line.playing')].map((l) => l.dataset.bar).join(' ') }));
    await page.click('#play');
    const seen = [];
    for (let i = 0; i < 3; ++i) {
      await page.waitForTimeout(300);
      seen.push(await look());
    }
    // Space types in a field, and plays and stops elsewhere.
    await page.focus('#line-bars');
    await page.keyboard.press('Space');
    const typed = { playing: (await look()).playing, space: (await page.inputValue('#line-bars')).includes(' ') };
    await page.fill('#line-bars', '4');
    await page.focus('#mml');
    await page.keyboard.press('Space');
    const stopped = await look();
    await page.keyboard.press('Space');
    const again = (await look()).playing;
    await page.click('#play');
    const advancing = seen.every((s, i) => s.cursor > (i === 0 ? 0 : seen[i - 1].cursor));

    // On a grid: the notes heard are where the MML has them, or where they
    // were played.
    const played = fs.readFileSync(fileURLToPath(new URL('../../examples/played.mid', import.meta.url)));
    const grid = { shownOff: await page.isVisible('#as-played-box') };
    await page.selectOption('#grid', '16');
    await setFile(page, 'played.mid', played);
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && Number(document.body.dataset.previews) > 0 && !document.getElementById('as-played-box').hidden);
    Object.assign(grid, await page.evaluate(async (bytes) => {
      const p = await window.vantrel.preview(new Uint8Array(bytes), ['/Q16', 'played.mid']);
      const starts = (ticks) => Array.from(ticks).filter((_, i) => i % 2 === 0).sort((a, b) => a - b).join();
      const heard = async (original) => Array.from((await PianoRoll.notesIn(0, Infinity, original, 1e6)).starts)
        .join();
      return { written: await heard(false) === starts(p.ticks), asPlayed: await heard(true) === starts(p.original) };
    }, [...played]));
    await page.check('#as-played');
    await page.click('#play');
    await page.waitForFunction(() => Number(document.getElementById('roll-cursor').dataset.tick) > 0);
    await page.click('#play');
    await page.selectOption('#grid', '');
    assert.deepStrictEqual({ first: seen[0].bars, advancing, playing: seen.map((s) => s.playing), typed, stopped,
      again, grid, requests, pageErrors: page.errors }, {
      first: '1 1', advancing: true, playing: ['true', 'true', 'true'],
      typed: { playing: 'true', space: true }, stopped: { playing: 'false', cursor: null, bars: '' },
      again: 'true', grid: { shownOff: false, written: true, asPlayed: true }, requests: [], pageErrors: [],
    });
    await page.evaluate(() => localStorage.clear());
    await page.close();
  });
});

describe('files made to stop the page', () => {
  test('a track name of a quote and 150,000 letters: shown, the page answering', async () => {
    const page = await openPage(`${origin}/`);
    const name = Buffer.from(`"${'a'.repeat(150000)}`);
    const bytes = smf([0x00, 0xFF, 0x03, ...vlq(name.length), ...name, 0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80,
      0x3C, 0x00]);
    // The longest time the page's own thread was held, from the file chosen
    // to its MML shown: the highlighting that backtracked held it for
    // half a minute.
    await watchThread(page);
    await setFile(page, 'long.mid', bytes);
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && document.getElementById('mml').textContent.includes('aaaa'));
    const seen = await page.evaluate(() => {
      clearInterval(window.ticker);
      return { longest: window.longest,
        nameShown: document.getElementById('mml').textContent.includes(`"${'a'.repeat(150000)}`) };
    });
    console.log(`# the 150,000-letter name: the page held for at most ${seen.longest.toFixed(0)} ms`);
    assert.deepStrictEqual({ nameShown: seen.nameShown, answering: seen.longest < 1000, pageErrors: page.errors },
      { nameShown: true, answering: true, pageErrors: [] });
    await page.close();
  });

  test('56 bytes that make 96 MB of MML: the cap of the page in its words, with the size of the file', async () => {
    const page = await openPage(`${origin}/`);
    await watchThread(page);
    const bytes = longHeld(2);
    await setFile(page, 'tiny.mid', bytes);
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && !document.getElementById('fault').hidden);
    const seen = await page.evaluate(() => {
      clearInterval(window.ticker);
      const $ = (id) => document.getElementById(id);
      return { status: $('status-text').textContent, plain: $('fault-plain').textContent,
        program: $('fault-message').textContent, offered: $('download').getAttribute('aria-disabled') === 'false',
        answering: window.longest < 1000 };
    });
    const uncapped = runNative('tiny.mid', bytes, ['tiny.mid']);
    const capped = runNative('tiny.mid', bytes, [`--max-output=${64 << 20}`, 'tiny.mid']);
    assert.deepStrictEqual({ ...seen, uncapped: uncapped.mml.length > 64 << 20, pageErrors: page.errors }, {
      status: `tiny.mid (${bytes.length} bytes) makes more than 64 MiB of MML, more than this page holds: `
        + 'nothing was written.',
      plain: 'The command line writes it all (vantrel tiny.mid), or as much as you allow with --max-output.',
      program: shiftJis.decode(capped.stderr).trim(), offered: false, answering: true, uncapped: true,
      pageErrors: [],
    });
    await page.close();
  });

  test('a module that runs out of memory: said in plain words, started afresh, the next file converts', async () => {
    const page = await openPage(`${origin}/`);
    // 1100 MiB: the module holds the file and the program's reading of it,
    // more than its 2 GiB.
    await page.evaluate(() => {
      const dropped = new DataTransfer();
      dropped.items.add(new File([new Uint8Array(1100 << 20)], 'huge.mid'));
      document.documentElement.dispatchEvent(new DragEvent('drop', { bubbles: true, cancelable: true,
        dataTransfer: dropped }));
    });
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && document.getElementById('status-text').textContent.includes('memory'), null, { timeout: 120000 });
    const en = await page.textContent('#status-text');
    await page.selectOption('#language', 'ja');
    const ja = await page.textContent('#status-text');
    const stackShown = await page.evaluate(() => /RuntimeError|Aborted|at Object\./.test(document.body.innerText));
    await page.selectOption('#language', 'en');
    await setFile(page, 'demo.mid', demo);
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && document.getElementById('download').getAttribute('aria-disabled') === 'false');
    const next = await download(page);
    assert.deepStrictEqual({ en, ja, stackShown, next: digest(next.bytes), pageErrors: page.errors }, {
      en: 'This file needs more memory than this page has: it was not converted. The converter has been started '
        + 'afresh for the next file (the command line may convert this one).',
      ja: 'このファイルの変換には、このページで使えるより多くのメモリーが必要です。変換していません。'
        + '次のファイルのために変換プログラムを起動し直しました（コマンドラインなら変換できることがあります）。',
      stackShown: false, next: digest(runNative('demo.mid', demo, ['demo.mid']).mml), pageErrors: [],
    });
    await page.close();
  });
});

describe('files', () => {
  test('two dropped, the highlight gone with the drag, the box opens the chooser, a file chosen again', async () => {
    const page = await openPage(`${origin}/`);
    const drag = (type) => page.evaluate((type) => document.documentElement.dispatchEvent(
      new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: new DataTransfer() })), type);
    await drag('dragenter');
    const lit = await page.$eval('#drop-zone', (z) => z.classList.contains('dragging'));
    await drag('dragleave');
    const left = await page.$eval('#drop-zone', (z) => z.classList.contains('dragging'));
    // Two files dropped on the page.
    await page.evaluate(([a, b]) => {
      const files = new DataTransfer();
      files.items.add(new File([new Uint8Array(a)], 'one.mid'));
      files.items.add(new File([new Uint8Array(b)], 'two.mid'));
      document.documentElement.dispatchEvent(new DragEvent('drop', { bubbles: true, cancelable: true,
        dataTransfer: files }));
    }, [[...demo], [...read('gen_3.mid')]]);
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && document.querySelectorAll('#file-list tbody tr').length === 2
      && !document.getElementById('download-zip').disabled);
    const dropped = await page.textContent('#file-info');
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#drop-zone p')]);
    const multiple = chooser.isMultiple();
    // The same name again, with new bytes (saved again from the sequencer).
    await page.setInputFiles('#smf-file', { name: 'song.mid', mimeType: 'audio/midi', buffer: demo });
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && document.getElementById('console').textContent.startsWith('SMF = song.mid'));
    await page.setInputFiles('#smf-file', { name: 'song.mid', mimeType: 'audio/midi', buffer: read('gen_3.mid') });
    await page.waitForFunction((size) => document.body.dataset.state === 'done'
      && document.getElementById('file-info').textContent.includes(`(${size} bytes)`), read('gen_3.mid').length
      .toLocaleString('en'));
    await page.waitForFunction(() => document.getElementById('download').getAttribute('aria-disabled') === 'false');
    const again = await download(page);
    assert.deepStrictEqual({ lit, left, dropped, multiple, again: digest(again.bytes), pageErrors: page.errors },
      { lit: true, left: false, dropped: 'one.mid, two.mid', multiple: true,
        again: digest(runNative('song.mid', read('gen_3.mid'), ['song.mid']).mml), pageErrors: [] });
    await page.close();
  });
});

describe('phone, dark mode and words', () => {
  test('drawn at the pixel ratio, dark, a track and a pickup in words, the title in Japanese', async () => {
    const context = await browser.newContext({ viewport: { width: 390, height: 844 }, deviceScaleFactor: 3,
      colorScheme: 'dark', locale: 'en-US', isMobile: true, hasTouch: true });
    const page = await context.newPage();
    await page.goto(`${origin}/`);
    await page.selectOption('#language', 'en');
    // One note in one track.
    const single = Buffer.from([0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
      0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 13, 0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00,
      0x00, 0xFF, 0x2F, 0x00]);
    await setFile(page, 'one.mid', single);
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && document.getElementById('roll-summary').textContent !== '');
    const one = { info: await page.textContent('#roll-info'), summary: await page.textContent('#roll-summary'),
      legend: await legend(page) };
    await page.fill('#pickup', '480');
    await setFile(page, 'demo.mid', demo);
    await page.waitForFunction(() => document.body.dataset.state === 'done'
      && document.getElementById('listing').textContent.includes('pickup'));
    await page.waitForFunction(() => Number(document.getElementById('roll-box').dataset.drawn || 0) > 0);
    const look = await page.evaluate(() => ({
      pixels: document.getElementById('piano-roll').width / document.getElementById('roll-box').clientWidth,
      background: getComputedStyle(document.body).backgroundColor,
      listing: [...document.querySelectorAll('#listing li')].map((li) => li.textContent),
    }));
    await page.selectOption('#language', 'ja');
    const title = await page.title();
    await page.evaluate(() => localStorage.clear());
    assert.deepStrictEqual({ one, ...look, pixels: Math.round(look.pixels), title }, {
      one: { info: '1 note, 1 track, 480 ticks per quarter note',
        summary: '1 note in 1 track over 1 bar, from o5c to o5c; bar 1: 4/4, C major.', legend: ['track 0'] },
      pixels: 3, background: 'rgb(17, 20, 24)',
      listing: ['bar 1 is a pickup of 480 ticks', 'bar 1: 3/4, G major', 'bar 2: 4/4, G major',
        'bar 5: 4/4, G major'],
      title: 'vantrel — MIDI から MML へ',
    });
    await context.close();
  });
});

describe('accessibility (axe-core)', () => {
  for (const language of ['en', 'ja']) {
    test(`${language}: empty, converted, fault`, async () => {
      const page = await browser.newPage({ viewport: { width: 1366, height: 768 }, locale: 'en-US' });
      await page.goto(`${origin}/`);
      await page.selectOption('#language', language);
      const empty = await violations(page);
      await setFile(page, 'demo.mid', demo);
      await page.waitForFunction(() => document.body.dataset.state === 'done'
        && Number(document.body.dataset.previews) > 0);
      const converted = await violations(page);
      await setFile(page, 'cut.mid', cutShort);
      await page.waitForFunction(() => document.body.dataset.state === 'done'
        && !document.getElementById('fault').hidden);
      const fault = await violations(page);
      assert.deepStrictEqual({ empty, converted, fault }, { empty: [], converted: [], fault: [] });
      await page.close();
    });
  }
});

describe('pictures for the README', { skip: !screenshots }, () => {
  const shots = [
    { file: 'screenshot.png', width: 1366, height: 768, clip: 768, language: 'en', scale: 1, args: [] },
    { file: 'screenshot-phone.png', width: 390, height: 844, clip: 1500, language: 'en', scale: 2, args: [] },
    { file: 'screenshot-ja.png', width: 1366, height: 768, clip: 768, language: 'ja', scale: 1, args: ['/J'] },
  ];
  for (const shot of shots) {
    test(shot.file, async () => {
      const context = await browser.newContext({ viewport: { width: shot.width, height: shot.height },
        deviceScaleFactor: shot.scale, locale: 'en-US', isMobile: shot.scale > 1, hasTouch: shot.scale > 1 });
      const page = await context.newPage();
      await page.goto(`${origin}/`);
      await page.selectOption('#language', shot.language);
      await setOptions(page, shot.args);
      await setFile(page, 'demo.mid', demo);
      await page.waitForFunction(() => document.body.dataset.state === 'done'
        && Number(document.body.dataset.previews) > 0);
      await page.waitForTimeout(300);
      // The roll's control measures: all controls at least 32 px tall on a phone.
      const short = await page.$$eval('select, button, input[type="text"], a.button, .file-button',
        (list) => list.filter((e) => e.offsetParent !== null && e.getBoundingClientRect().height < 32)
          .map((e) => e.id || e.className));
      await page.evaluate(() => document.activeElement.blur());
      await page.screenshot({ path: path.join(screenshots, shot.file), fullPage: true,
        clip: { x: 0, y: 0, width: shot.width, height: shot.clip } });
      assert.deepStrictEqual(short, []);
      await context.close();
    });
  }
});

describe('a million notes', () => {
  const name = 'dense-1M.mid';
  const bytes = read(name);

  test('the page answers while the worker converts and zooms, and gives the same bytes', async () => {
    const page = await openPage(`${origin}/`);
    await setFile(page, name, bytes);
    const count = Number(await page.getAttribute('body', 'data-conversions'));
    const clicked = performance.now();
    await page.click('#convert');
    // While it converts, the page answers at once and its clock moves on:
    // a conversion on the page's own thread would let neither happen.
    const seen = [];
    let slowest = 0;
    let firstMs = 0;
    for (;;) {
      const asked = performance.now();
      const [state, elapsed, done] = await page.evaluate(() => [document.body.dataset.state,
        document.getElementById('elapsed').textContent, Number(document.body.dataset.conversions)]);
      if (done > count) {
        firstMs = performance.now() - clicked;
        break;
      }
      if (state === 'busy') {
        seen.push(elapsed);
        slowest = Math.max(slowest, performance.now() - asked);
      }
      await new Promise((resolve) => setTimeout(resolve, 40));
    }
    console.log(`# ${seen.length} looks while converting: ${seen.join(' ')}`);
    const offered = await download(page);
    const native = runNative(name, bytes, [name]);

    // Zooms in and out by keyboard, as a user does, scrolling the roll in
    // between: the longest gap between two frames of the page, against 50 ms.
    // The page is focused first: the first focus of a headless page costs a
    // frame of its own, whatever the page; and the garbage of the conversions
    // before is collected first, so that the frames measured are the zoom's.
    // A round costs under 3 s; up to three are made, and the best counts: on
    // a loaded 2-core machine other processes can take a frame now and then,
    // while a page that drew a million notes on its own thread would miss
    // frames in every round.
    await page.waitForFunction(() => document.body.dataset.state === 'done');
    await page.evaluate(() => window.gc());
    await page.focus('#roll-zoom');
    await page.waitForTimeout(500);
    const drawn = () => page.evaluate(() => Number(document.getElementById('roll-box').dataset.drawn || 0));
    const rounds = [];
    for (let round = 0; round < 3 && !(rounds.length && Math.min(...rounds) <= 50); ++round) {
      await page.evaluate(() => {
        window.frameGaps = [];
        window.stopFrames = false;
        let last = performance.now();
        const frame = (now) => {
          window.frameGaps.push(now - last);
          last = now;
          if (!window.stopFrames) requestAnimationFrame(frame);
        };
        requestAnimationFrame(frame);
      });
      for (const key of ['ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowUp', 'ArrowUp',
        'ArrowUp', 'ArrowUp']) {
        await page.keyboard.press(key);
        await page.waitForTimeout(150);
        await page.evaluate(() => { document.getElementById('roll-box').scrollLeft += 400; });
        await page.waitForTimeout(150);
      }
      const gaps = await page.evaluate(() => { window.stopFrames = true; return window.frameGaps.slice(1); });
      rounds.push(Math.max(...gaps));
      console.log(`# zooming the 1M-note roll, round ${round + 1}: ${gaps.length} frames, the longest gap `
        + `${rounds.at(-1).toFixed(1)} ms`);
    }
    const longestGap = Math.min(...rounds);
    const zoomed = await page.inputValue('#roll-zoom');

    // Played for a second and a half: its notes come a window at a time, so
    // the page answers as it did while converting.
    await page.click('#play');
    const cursors = [];
    let slowestPlaying = 0;
    for (let i = 0; i < 10; ++i) {
      await page.waitForTimeout(150);
      const asked = performance.now();
      cursors.push(await page.evaluate(() => Number(document.getElementById('roll-cursor').dataset.tick)));
      slowestPlaying = Math.max(slowestPlaying, performance.now() - asked);
    }
    await page.click('#play');
    console.log(`# playing the 1M-note file, the page answered within ${slowestPlaying.toFixed(0)} ms`);
    assert.deepStrictEqual(
      { clockMoved: new Set(seen).size > 1, answersWithin: slowest < 250, drawn: (await drawn()) > 0, zoomed,
        gapWithin50ms: longestGap <= 50, played: cursors.at(-1) > cursors[0], answersPlaying: slowestPlaying < 250,
        download: digest(offered.bytes), pageErrors: page.errors },
      { clockMoved: true, answersWithin: true, drawn: true, zoomed: '1', gapWithin50ms: true, played: true,
        answersPlaying: true, download: digest(native.mml), pageErrors: [] });

    // The figures: the page's call from start to result, the program's run.
    const pageTimes = await page.evaluate(async (url) => {
      const file = new Uint8Array(await (await fetch(url)).arrayBuffer());
      const times = [];
      for (let i = 0; i < 3; ++i) {
        const start = performance.now();
        await window.vantrel.convert(file, ['dense-1M.mid']);
        times.push(performance.now() - start);
      }
      return times;
    }, `/data/${name}`);
    const nativeTimes = [0, 1, 2].map(() => runNative(name, bytes, [name]).ms);
    const calls = await moduleInNode();
    const nodeTimes = [0, 1, 2].map(() => {
      const start = performance.now();
      calls.run([name], bytes);
      return performance.now() - start;
    });
    const best = (times) => Math.min(...times);
    const ratio = best(pageTimes) / best(nativeTimes);
    console.log(`# a million notes, best of 3: command line ${best(nativeTimes).toFixed(0)} ms, `
      + `page ${best(pageTimes).toFixed(0)} ms (${ratio.toFixed(2)}× the command line), same module in `
      + `Node ${best(nodeTimes).toFixed(0)} ms; the first conversion on a new page took `
      + `${firstMs.toFixed(0)} ms from the click to the result shown, during which the page answered `
      + `within ${slowest.toFixed(0)} ms`);
    // The page's own call on a fresh page, once its converter is ready: the
    // first conversion of the file, from the call to the result on the page;
    // the best of three pages, each alone. Also after a pause of a second
    // and a half, as a person takes to choose a file: the machine is then
    // no longer busy with the page's start.
    await page.close();
    const firstCalls = async (pause) => {
      const times = [];
      for (let i = 0; i < 3; ++i) {
        const fresh = await openPage(`${origin}/`);
        times.push(await fresh.evaluate(async ({ url, pause }) => {
          const file = { name: 'dense-1M.mid', bytes: new Uint8Array(await (await fetch(url)).arrayBuffer()) };
          await Vantrel.ready;
          await new Promise((resolve) => { setTimeout(resolve, pause); });
          const start = performance.now();
          const r = await Vantrel.convertFile(file, Options.read(document).settings, 1 << 16);
          return { ms: performance.now() - start, size: r.size, notes: r.preview.keys.length };
        }, { url: `/data/${name}`, pause }));
        await fresh.close();
      }
      return times;
    };
    const firsts = await firstCalls(0);
    const paused = await firstCalls(1500);
    const first = firsts.reduce((a, b) => (b.ms < a.ms ? b : a));
    const firstRatio = first.ms / best(nativeTimes);
    const pausedBest = Math.min(...paused.map((f) => f.ms));
    console.log(`# the page's first call on a fresh page: ${firsts.map((f) => f.ms.toFixed(0)).join(', ')} ms, `
      + `the best ${firstRatio.toFixed(2)}× the command line's best; after a pause: `
      + `${paused.map((f) => f.ms.toFixed(0)).join(', ')} ms, the best `
      + `${(pausedBest / best(nativeTimes)).toFixed(2)}×`);
    assert.deepStrictEqual({ size: first.size, notes: first.notes }, { size: native.mml.length, notes: 1000000 });
    // The ratios are figures to read, not limits: a test does not time.
  });
});
