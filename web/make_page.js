// Makes the page one file: web/index.html with the style sheet and every
// script put in its place, the workers' texts as strings (the module's
// JavaScript and worker.js; bars.js and roll_worker.js), and a content
// security policy that allows exactly those inline texts by their hashes.
//
//   node web/make_page.js WASM_JS OUTDIR
//
// Writes OUTDIR/index.html (the page: it works opened from disk, from a
// folder or a package, and served by any static server) and
// OUTDIR/worker_source.js (the worker's text alone, for timing it in Node).
//
// It first holds the page's tables against the module's: words for every
// kind of fault the program reports, and the bits and values of the
// settings the page gives it. A kind added to the program without words on
// the page stops the build here.
'use strict';

const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const vm = require('vm');

const [wasmJs, out] = process.argv.slice(2);
const web = __dirname;
const read = (name) => fs.readFileSync(path.join(web, name), 'utf8');

function checkTables() {
  const core = require(path.resolve(wasmJs))();
  const page = vm.createContext({});
  vm.runInContext(`${read('i18n.js')}\n${read('options.js')}`, page);
  const words = vm.runInContext('I18n.faultKinds', page);
  const kinds = core.faultKinds().filter((kind) => kind !== 'none');
  const problems = [
    ...kinds.filter((kind) => !words.includes(kind)).map((kind) => `no words for the fault ${kind}`),
    ...words.filter((kind) => !kinds.includes(kind)).map((kind) => `words for ${kind}, which is no fault`),
  ];
  const bits = core.filterBits();
  const pageBits = vm.runInContext('Options.filterBits', page);
  for (const letter of Object.keys(bits)) {
    if (letter !== 'all' && pageBits[letter] !== bits[letter]) problems.push(`the bits of /M${letter}`);
  }
  if (vm.runInContext('Options.kAutoGrid', page) !== core.autoGrid) problems.push('the value of /Q');
  if (problems.length > 0) {
    console.error(`web/make_page.js: the page does not match the program: ${problems.join('; ')}`);
    process.exit(1);
  }
}
checkTables();

// A string constant that no HTML parser ends early.
const constant = (name, text) => `const ${name} = ${JSON.stringify(text).replace(/<\//g, '<\\/')};\n`;
const workerText = `${fs.readFileSync(wasmJs, 'utf8')}\n${read('worker.js')}`;
const generated = {
  'worker_source.js': `// Made by web/make_page.js from vantrel_wasm.js and worker.js.\n'use strict';\n`
    + constant('vantrelWorkerSource', workerText)
    + constant('vantrelRollSource', `${read('bars.js')}\n${read('roll_worker.js')}`),
};

const hashes = { script: [], style: [] };
const hash = (text) => `'sha256-${crypto.createHash('sha256').update(text, 'utf8').digest('base64')}'`;
let html = read('index.html');
html = html.replace('<link rel="stylesheet" href="style.css">', () => {
  const css = `\n${read('style.css')}`;
  hashes.style.push(hash(css));
  return `<style>${css}</style>`;
});
html = html.replace(/<script src="([a-z0-9_]+\.js)"><\/script>/g, (_, name) => {
  const text = `\n${generated[name] || read(name)}`;
  if (/<\/script/i.test(text)) throw new Error(`${name} holds "</script"`);
  hashes.script.push(hash(text));
  return `<script>${text}</script>`;
});
const csp = [
  "default-src 'self'",
  `script-src ${hashes.script.join(' ')} 'wasm-unsafe-eval'`,
  `style-src ${hashes.style.join(' ')}`,
  'worker-src blob:',
  // The page reads nothing from anywhere; its own downloads are blob: URLs.
  "connect-src 'self' blob:",
  "img-src 'self' blob: data:",
].join('; ');
if (hashes.style.length !== 1 || hashes.script.length !== 10 || !html.includes('@CSP@')) {
  throw new Error(`index.html was not as expected: ${hashes.style.length} style sheets and `
    + `${hashes.script.length} scripts put in`);
}
html = html.replace('@CSP@', () => csp);

fs.mkdirSync(out, { recursive: true });
fs.writeFileSync(path.join(out, 'index.html'), html);
fs.writeFileSync(path.join(out, 'worker_source.js'), generated['worker_source.js']);
console.log(`web/make_page.js: ${path.join(out, 'index.html')}, ${html.length} bytes`);
