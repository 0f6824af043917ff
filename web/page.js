// The page: files in, the options, the preview, the conversions and their
// results. Every change of file or option converts again; a newer request
// supersedes an older one, whose reply is dropped, so what is shown always
// belongs to the file and the options on the page.
//
// body's data-state is 'idle', 'busy' or 'done'; data-conversions and
// data-previews count the results shown, so scripts can wait for the next.
'use strict';

(() => {
  const $ = (id) => document.getElementById(id);
  const kShownMml = 192 * 1024;  // bytes of MML text shown; more slows the page down
  const kCopiedMml = 16 << 20;   // bytes of MML at most copied: more would stall the page
  // Bytes of MML the page holds at most (given to the program as
  // --max-output): a file of a few bytes can make gigabytes, which a tab has
  // no room for. The command line shown leaves it out: up to it, the page's
  // MML is that command line's.
  const kHeldMml = 64 << 20;
  const kTypingDelay = 300;      // ms after the last key before typed values convert

  const state = {
    // {id, name, bytes, status, result, url}; a result is what
    // Vantrel.convertFile gives, or {error, detail} when the converter failed.
    files: [],
    current: null,      // the file shown
    generation: 0,      // of the latest request; older replies are dropped
    preview: null,      // the conversion's preview of the current file, without its notes
    previewFileId: -1,
    barStarts: new Float64Array([0]),  // the core's: bar n starts at barStarts[n - 1]
    noteLines: [],
    pickup: 0,
    // The tracks (with their names) and the channels with notes of the
    // current file, for the tick boxes: from a conversion that chose them all.
    inventory: null,
    zipUrl: null,
    playFrom: 0,        // the tick the player starts from
    playingBar: null,   // the bar marked in the MML while it plays
  };
  let nextFileId = 1;
  let timer = 0;
  let busyTimer = 0;

  const bump = (name) => {
    document.body.dataset[name] = String(Number(document.body.dataset[name]) + 1);
  };

  // ---- language

  function setLanguage(language) {
    I18n.apply(language);
    $('language').value = I18n.language;
    try { localStorage.setItem('vantrel-language', I18n.language); } catch { /* not kept */ }
    showFiles();
    showChoice();
    showOptions();
    showPreviewWords();
    showResult();
    showPlayControl();
    PianoRoll.setView({ pickupLabel: I18n.text('pickupLabel') });
  }

  function initialLanguage() {
    try {
      const kept = localStorage.getItem('vantrel-language');
      if (kept) return kept;
    } catch { /* not kept */ }
    return I18n.preferred();
  }

  // ---- files

  async function takeFiles(list) {
    const chosen = [...list].filter((f) => f);
    if (chosen.length === 0) return;
    const files = [];
    for (const file of chosen) {
      files.push({ id: nextFileId++, name: file.name, bytes: new Uint8Array(await file.arrayBuffer()),
        size: file.size, status: 'waiting', result: null, url: null });
    }
    for (const old of state.files) if (old.url) URL.revokeObjectURL(old.url);
    state.files = files;
    state.current = files[0];
    state.preview = null;
    state.inventory = null;
    stopPlaying();
    PianoRoll.clear();
    $('roll-box').hidden = true;
    showPreviewWords();
    showChoice();
    clearResults(true);
    // The memory a big file made the module take comes back with the next.
    Vantrel.giveMemoryBack();
    $('smf-file').value = '';  // the same file chosen again reloads it
    showFiles();
    schedule(0);
  }

  function showFiles() {
    const info = $('file-info');
    const file = state.current;
    info.textContent = !file ? I18n.text('noFile') : state.files.length === 1
      ? I18n.text('fileInfo', file.name, file.size)
      : state.files.map((f) => f.name).join(', ');
    $('file-list-box').hidden = state.files.length < 2;
    $('convert').disabled = !file;
    if (state.files.length < 2) return;
    const body = $('file-list').tBodies[0];
    body.textContent = '';
    for (const f of state.files) {
      const row = body.insertRow();
      const nameCell = row.insertCell();
      const show = document.createElement('button');
      show.type = 'button';
      show.className = 'link';
      show.textContent = f.name;
      show.setAttribute('aria-current', f === state.current ? 'true' : 'false');
      show.addEventListener('click', () => {
        state.current = f;
        state.inventory = null;
        showChoice();
        showFiles();
        schedule(0);
      });
      nameCell.append(show);
      row.insertCell().textContent = I18n.text('listStatus')[f.status];
      const out = row.insertCell();
      if (f.url) {
        const link = document.createElement('a');
        link.href = f.url;
        link.download = f.result.name;
        link.textContent = f.result.name;
        out.append(link);
      }
    }
    showZip();
  }

  // The .zip holds the files that converted and, when some did not, a list
  // of them: it is on offer once every file has a result and one converted.
  function showZip() {
    const finished = state.files.every((f) => f.result);
    const done = state.files.filter((f) => f.status === 'done').length;
    const failed = state.files.length - done;
    $('download-zip').disabled = !finished || done === 0;
    $('zip-note').textContent = !finished ? I18n.text('zipWaiting') : done === 0 ? I18n.text('zipNone')
      : failed > 0 ? I18n.text('zipSome', done, failed, I18n.text('zipListingName')) : '';
  }

  // ---- options

  // The length of a beat of the current file's first time signature.
  function beatTicks() {
    const p = state.preview;
    const first = p && p.rhythm.find((e) => e.tick === 0);
    return p && first ? (p.division * 4) / first.denominator : 480;
  }

  function readOptions() {
    return Options.read(document, beatTicks());
  }

  function argumentsFor(file, args) {
    return Options.withName(args, file ? file.name : 'song.mid');
  }

  function showOptions() {
    $('line-bars').disabled = $('line-mode').value !== 'bars';
    for (const id of Options.filterIds) $(id).disabled = $('filter-all').checked;
    const { settings, args, problems } = readOptions();
    for (const id of ['line-bars', 'pickup', 'velocity-step', 'tracks', 'channels']) {
      const problem = problems[id];
      $(`${id}-problem`).textContent = problem ? I18n.text(problem) : '';
      if ($(id)) $(id).setAttribute('aria-invalid', problem ? 'true' : 'false');
    }
    $('command-line').textContent = Options.commandLineText(argumentsFor(state.current, args));
    return { settings, args, problems };
  }

  // The tick boxes of the current file's tracks (by name, the number where
  // a track has none) and of its channels with notes. A new file has every
  // box ticked; the same file keeps its choice.
  function showChoice() {
    const inventory = state.inventory;
    $('choice-box').hidden = !inventory;
    const fill = (id, numbers, label) => {
      const box = $(id);
      const was = new Map([...box.querySelectorAll('input')].map((b) => [b.dataset.number, b.checked]));
      for (const old of box.querySelectorAll('label')) old.remove();
      for (const n of inventory ? numbers : []) {
        const item = document.createElement('label');
        const tick = document.createElement('input');
        tick.type = 'checkbox';
        tick.dataset.number = String(n);
        tick.checked = was.get(String(n)) ?? true;
        item.append(tick, ` ${label(n)}`);
        box.append(item);
      }
    };
    fill('track-boxes', inventory ? inventory.tracks : [], (n) => {
      const name = displayName(inventory.names[n]);
      return name ? `${n}: ${name}` : I18n.text('track', n);
    });
    fill('channel-boxes', inventory ? inventory.channels : [], (n) => I18n.text('channel', n));
  }

  // The roll's colours: by voice is on offer with voices, and chosen when
  // they are ticked (`voicesTicked`: true or false as the box was just
  // changed, else undefined); it goes back to by track without them.
  function showColourChoice(voicesTicked) {
    const select = $('roll-colour');
    const byVoice = select.querySelector('option[value="voice"]');
    const was = select.value;
    byVoice.disabled = !$('voices').checked;
    if (voicesTicked !== undefined) select.value = voicesTicked ? 'voice' : 'track';
    else if (byVoice.disabled && select.value === 'voice') select.value = 'track';
    if (select.value !== was) PianoRoll.setView({ colourBy: select.value });
  }

  function optionsChanged(event) {
    const target = event && event.target;
    showColourChoice(target && target.id === 'voices' && event.type === 'change' ? target.checked : undefined);
    Options.save(document);
    showOptions();
    const typed = event && event.target && event.target.type === 'text' && event.type === 'input';
    schedule(typed ? kTypingDelay : 0);
  }

  // ---- requests

  function schedule(delay) {
    clearTimeout(timer);
    timer = setTimeout(run, delay);
  }

  function setBusy(busy) {
    document.body.dataset.state = busy ? 'busy' : 'done';
    $('busy').hidden = !busy;
    clearInterval(busyTimer);
    if (busy) {
      const started = performance.now();
      $('elapsed').textContent = '0.0 s';
      busyTimer = setInterval(() => {
        $('elapsed').textContent = `${((performance.now() - started) / 1000).toFixed(1)} s`;
      }, 100);
    }
  }

  // Converts the current file, then the other files of the list, with the
  // options on the page: one call each, which gives the MML and the preview
  // together. A later call makes this one's replies void.
  async function run() {
    clearTimeout(timer);
    const generation = ++state.generation;
    const current = state.current;
    if (!current) return;
    const stale = () => generation !== state.generation;
    // A pickup in beats needs the file's first time signature: the file is
    // converted without it first.
    if ($('pickup-unit').value === 'beats' && state.previewFileId !== current.id) {
      setBusy(true);
      const first = await convert(current, { ...Options.read(document).settings, pickupTicks: 0 });
      if (stale()) return;
      if (!first.error) showPreview(current, first);
    }
    const { settings, problems } = showOptions();
    if (Object.keys(problems).length > 0) {
      setBusy(false);
      clearResults(true);
      setStale(false);
      setStatus(I18n.text('statusOptions'));
      return;
    }
    // Until the new results come, none is on offer, and what is shown is
    // marked as the last one's.
    clearResults();
    setStale(true);
    setBusy(true);
    current.status = 'busy';
    setStatus(I18n.text('statusBusy', current.name));
    showFiles();
    const result = await convert(current, settings);
    if (stale()) return;
    if (!result.error) showPreview(current, result);
    setResult(current, result);
    showResult(true);
    setStale(false);
    bump('conversions');
    for (const f of state.files) {
      if (f === current) continue;
      f.status = 'busy';
      showFiles();
      const other = await convert(f, settings);
      if (stale()) return;
      setResult(f, other);
    }
    showFiles();
    setBusy(false);
  }

  // The result of converting `file` with `settings`: the MML stays in a
  // Blob, of which only the part shown is copied. When the converter failed:
  // {error: 'memory' (the module ran out of it), 'crash' (another fault of
  // the module) or 'failed', detail}.
  async function convert(file, settings) {
    try {
      const result = await Vantrel.convertFile(file, { ...settings, outputLimit: kHeldMml }, kShownMml);
      result.kana = settings.kana;
      result.pickup = settings.pickupTicks;
      result.chosen = settings.tracks.length > 0 || settings.channels.length > 0;
      // Stopped at the page's cap: no MML was written.
      result.capped = result.faultKind === 'outputTooLong';
      return result;
    } catch (error) {
      const kind = !error.broken ? 'failed' : error.memory ? 'memory' : 'crash';
      return { error: kind, detail: String(error.message || error) };
    }
  }

  // The faults of the options rather than of the file.
  const optionFaults = new Set(['badOption', 'secondSmfName', 'noOutputName', 'secondOutputName', 'badGrid',
    'badList', 'noSuchTrack', 'noSuchChannel', 'nothingChosen']);

  // The program's fault in the page's words.
  function plainWords(result) {
    return I18n.faultWords(result.faultKind, result.faultSubject, { division: result.preview.division });
  }

  // The converter's failure in the page's words (never its stack).
  function failureText(result) {
    return result.error === 'memory' ? I18n.text('moduleMemory')
      : result.error === 'crash' ? I18n.text('moduleCrash') : `${I18n.text('statusError')} ${result.detail}`;
  }

  // The page's cap, in its words, with the file's size.
  function cappedText(file) {
    return I18n.text('mmlCapped', file.name, file.size, kHeldMml >> 20);
  }

  function setResult(file, result) {
    if (file.url) URL.revokeObjectURL(file.url);
    file.url = null;
    file.result = result;
    if (result.error) {
      file.status = 'fault';
      return;
    }
    file.status = result.status === 0 ? 'done' : result.blob ? 'incomplete' : 'fault';
    if (result.blob) file.url = URL.createObjectURL(result.blob);
  }

  // ---- the preview

  // Shows the preview that came with `result`, the conversion of `file`:
  // the notes' arrays move to the roll's worker.
  function showPreview(file, result) {
    const p = result.preview;
    state.previewFileId = file.id;
    state.pickup = result.pickup;
    const noteCount = p.keys.length;
    const onGrid = p.original !== null;
    stopPlaying();
    state.playFrom = 0;
    // The tick boxes list what a conversion of every track and channel found.
    if (!result.chosen && p.headerRead && p.rhythm.length > 0) {
      const channels = new Set();
      for (const key of p.keys) channels.add(((key >> 8) & 0x0F) + 1);
      state.inventory = { tracks: p.trackNames.map((_, n) => n), names: p.trackNames,
        channels: [...channels].sort((a, b) => a - b) };
    }
    if (noteCount > 0 || !p.fault) PianoRoll.setData(p);
    else PianoRoll.clear();
    state.preview = { ...p, noteCount, onGrid, hasVoices: p.voices !== null, ticks: null, keys: null,
      velocities: null, voices: null, original: null };
    state.barStarts = p.barStarts.length > 0 ? p.barStarts : new Float64Array([0]);
    $('roll-box').hidden = p.division === 0 || (noteCount === 0 && p.fault !== null);
    PianoRoll.setView({ pickup: state.pickup });
    showChoice();
    showPreviewWords();
    bump('previews');
  }

  // What the roll worker found: the legend and the summary need it.
  let rollData = null;
  function rollReady(data) {
    rollData = data;
    showPreviewWords();
    showPlayControl();
  }

  // A track's name for display (control characters as spaces), or ''.
  const displayName = (name) => (name || '').replace(/[\u0000-\u001F\u007F]/g, ' ').trim();

  // The name of track `n` for display, or ''.
  function trackName(n) {
    return displayName(state.preview ? state.preview.trackNames[n] : '');
  }

  function keyName(key) {
    return `o${Math.floor(key / 12)}${['c', 'c+', 'd', 'd+', 'e', 'f', 'f+', 'g', 'g+', 'a', 'a+', 'b'][key % 12]}`;
  }

  function showPreviewWords() {
    const p = state.preview;
    const listing = $('listing');
    listing.textContent = '';
    $('roll-legend').textContent = '';
    $('roll-summary').textContent = '';
    $('roll-info').textContent = '';
    // Notes before a fault of the file's data are shown; a fault of the
    // options or the header leaves nothing to show.
    const partial = Boolean(p && p.fault && p.headerRead && p.rhythm.length > 0);
    $('preview-fault').hidden = !partial;
    $('preview-fault').textContent = partial ? I18n.text('previewFault') : '';
    $('listing-box').hidden = !p || p.rhythm.length === 0;
    if (!p) return;
    if (!p.headerRead) return;
    $('roll-info').textContent = I18n.text('rollInfo', p.noteCount, p.trackCount, p.division);
    $('grid-chosen').textContent = !p.gridNote ? ''
      : $('grid').value === 'auto' ? I18n.text('gridChosen', p.gridNote) : I18n.text('gridShown');
    // The listing in words: one line per entry, as the program lists them.
    const lines = [];
    if (state.pickup > 0) lines.push(I18n.text('pickupLine', state.pickup));
    for (const e of p.rhythm) {
      if (e.tick < 0) continue;
      lines.push(I18n.text('listingLine', Bars.barAt(state.barStarts, e.tick),
        `${e.numerator}/${e.denominator}`, I18n.keyName(e.key, e.mi)));
    }
    for (const line of lines) {
      const item = document.createElement('li');
      item.textContent = line;
      listing.append(item);
    }
    if (!rollData || rollData.notes !== p.noteCount) return;
    const colourBy = $('roll-colour').value === 'voice' && !rollData.legend.voice ? 'track'
      : $('roll-colour').value;
    const addItem = (colour, text, title) => {
      const item = document.createElement('span');
      const swatch = document.createElement('i');
      swatch.style.background = PianoRoll.colour(colour);
      item.append(swatch, text);
      if (title) item.title = title;
      $('roll-legend').append(item);
    };
    // By voice: "voice 2", and on the drum channel the sound's name where
    // the MML's comment gives it.
    for (const entry of colourBy === 'voice' ? rollData.legend.voice : []) {
      const name = entry.drumKey >= 0 && p.drumNames ? p.drumNames[entry.drumKey] : '';
      addItem(entry.group, name ? I18n.text('drumVoice', entry.voice, name) : I18n.text('voice', entry.voice),
        entry.drumKey >= 0 ? I18n.text('channel', 10) : '');
    }
    for (const group of colourBy === 'voice' ? [] : rollData.legend[colourBy]) {
      // A track by its name (as the MML's TR(n) numbers it where it has none).
      const number = colourBy === 'channel' ? I18n.text('channel', group + 1) : I18n.text('track', group);
      const name = colourBy === 'track' ? trackName(group) : '';
      addItem(group % 16, name || number, name ? number : '');
    }
    const first = p.rhythm.find((e) => e.tick >= 0);
    const firstWords = first ? I18n.text('listingLine', 1, `${first.numerator}/${first.denominator}`,
      I18n.keyName(first.key, first.mi)) : '';
    const bars = Bars.barAt(state.barStarts, Math.max(0, rollData.end - 1));
    $('roll-summary').textContent = I18n.text('rollSummary', p.noteCount, rollData.legend.track.length,
      bars, keyName(rollData.low), keyName(rollData.high), firstWords);
  }

  // ---- results

  function setStatus(text) {
    $('status-text').textContent = text;
  }

  // The text and the roll shown are the last result's while a new one is
  // made (dimmed, and busy for screen readers).
  function setStale(stale) {
    document.body.dataset.result = stale ? 'stale' : 'fresh';
    for (const id of ['preview-section', 'mml-section']) $(id).setAttribute('aria-busy', String(stale));
  }

  function clearResults(fresh = false) {
    for (const f of state.files) {
      if (f.url) URL.revokeObjectURL(f.url);
      f.url = null;
      f.result = null;
      f.status = 'waiting';
    }
    showResult(fresh);
    showFiles();
  }

  // No MML to download or copy.
  function offerNoMml() {
    const link = $('download');
    link.setAttribute('aria-disabled', 'true');
    link.removeAttribute('href');
    link.removeAttribute('download');
    link.textContent = I18n.text('download');
    $('download-name').textContent = '';
    $('copy-mml').disabled = true;
  }

  // The bar of each line of `shown` (the MML's first bytes) that the
  // conversion lists, or null: its lines are given by their offsets in the
  // text's bytes (a line end is one byte, 0x0A, which no other character of
  // the text holds).
  function barsOfLines(shown, lines) {
    const bars = [];
    let k = 0;
    for (let at = 0; at < shown.length;) {
      const lineEnd = shown.indexOf(0x0A, at);
      const end = lineEnd < 0 ? shown.length : lineEnd + 1;
      while (k < lines.offsets.length && lines.offsets[k] < at) ++k;
      bars.push(k < lines.offsets.length && lines.offsets[k] < end
        ? { bar: lines.bars[k], lastBar: lines.lastBars[k] } : null);
      at = end;
    }
    return bars;
  }

  // Shows the current file's result in the result bar and the MML section;
  // `fresh` when it just came (the text is rendered and scrolled again).
  function showResult(fresh = false) {
    const file = state.current;
    const result = file && file.result;
    const link = $('download');
    $('fault').hidden = true;
    $('copy-note').textContent = '';
    if (!result) {
      if (file && document.body.dataset.state === 'busy') setStatus(I18n.text('statusBusy', file.name));
      offerNoMml();
      $('result-file').textContent = file ? I18n.text('fileInfo', file.name, file.size) : '';
      if (!file) setStatus(I18n.text('statusNone'));
      if (fresh || !file) {
        $('console').textContent = '';
        $('mml').textContent = '';
        $('mml-note').hidden = true;
      }
      return;
    }
    $('result-file').textContent = I18n.text('fileInfo', file.name, file.size);
    if (result.error) {
      setStatus(failureText(result));
      offerNoMml();
      if (fresh) {
        $('console').textContent = '';
        $('mml').textContent = '';
        $('mml-note').hidden = true;
        state.noteLines = [];
      }
      return;
    }
    const faultText = result.stderr.length > 0 ? Vantrel.decodeConsole(result.stderr) : '';
    const mml = result.blob ? result.head : null;
    if (result.status === 0 && mml) {
      setStatus(I18n.text('statusDone', file.name, result.size));
    } else if (result.capped) {
      setStatus(cappedText(file));
    } else {
      setStatus(`${I18n.text(optionFaults.has(result.faultKind) ? 'statusRefused' : 'statusFault', file.name)} ${mml ? I18n.text('statusIncomplete', result.size)
        : I18n.text('statusNoMml')}`);
    }
    if (faultText) {
      $('fault').hidden = false;
      $('fault-plain').textContent = result.capped
        ? I18n.text('mmlCappedHow', Options.commandLineText(argumentsFor(file, readOptions().args)))
        : plainWords(result);
      $('fault-message').textContent = faultText.trim();
    }
    if (mml) {
      link.href = file.url;
      link.download = result.name;
      link.setAttribute('aria-disabled', 'false');
      link.textContent = I18n.text(result.status === 0 ? 'download' : 'downloadIncomplete');
      $('download-name').textContent = I18n.text('fileInfo', result.name, result.size);
      $('copy-mml').disabled = false;
    } else {
      offerNoMml();
    }
    if (!fresh) {
      if (mml && !$('mml-note').hidden) {
        $('mml-note').textContent = I18n.text('mmlCut', Number($('mml').dataset.shown), result.size);
      }
      return;
    }
    $('console').textContent = Vantrel.decodeConsole(result.stdout);
    const note = $('mml-note');
    note.hidden = true;
    if (!mml) {
      $('mml').textContent = '';
      state.noteLines = [];
      return;
    }
    // A big text is shown only in part, cut after a whole line.
    let shown = mml;
    if (result.size > shown.length) {
      const lineEnd = shown.lastIndexOf(0x0A);
      shown = shown.subarray(0, lineEnd > 0 ? lineEnd + 1 : shown.length);
    }
    const pre = $('mml');
    // The kana dialect's text is Japanese.
    if (result.kana) pre.lang = 'ja';
    else pre.removeAttribute('lang');
    const view = MmlView.render(pre, Vantrel.decodeText(shown), barsOfLines(shown, result.preview.lines));
    state.noteLines = view.noteLines;
    state.playingBar = null;  // marked again in the new text
    // The lines shown end where as many line ends have passed (a line end
    // is one byte, 0x0A, which no other character of the text holds).
    for (let at = 0, line = 0; at < shown.length; ++line) {
      if (line === view.lineCount) {
        shown = shown.subarray(0, at);
        break;
      }
      const end = shown.indexOf(0x0A, at);
      at = end < 0 ? shown.length : end + 1;
    }
    pre.dataset.shown = String(shown.length);
    if (result.size > shown.length) {
      note.hidden = false;
      note.textContent = I18n.text('mmlCut', shown.length, result.size);
    }
    // The first note in view.
    const firstNote = state.noteLines.find((l) => l.pitch) || state.noteLines[0];
    if (firstNote) MmlView.scrollTo(pre, firstNote.element, false);
    else pre.scrollTop = 0;
  }

  // ---- copying and reading

  async function copyMml() {
    const result = state.current && state.current.result;
    if (!result || !result.blob) return;
    if (result.size > kCopiedMml) {
      $('copy-note').textContent = I18n.text('copyTooBig', result.size);
      return;
    }
    const text = Vantrel.decodeText(new Uint8Array(await result.blob.arrayBuffer()));
    let copied = false;
    try {
      await navigator.clipboard.writeText(text);
      copied = true;
    } catch {
      // Without the asynchronous clipboard (some pages opened from disk):
      // through a selection of a hidden text box.
      const box = document.createElement('textarea');
      box.value = text;
      box.setAttribute('readonly', '');
      box.className = 'visually-hidden';
      document.body.append(box);
      const focused = document.activeElement;
      box.select();
      try { copied = document.execCommand('copy'); } catch { copied = false; }
      box.remove();
      if (focused && focused.focus) focused.focus();
    }
    $('copy-note').textContent = I18n.text(copied ? 'copied' : 'copyFailed');
  }

  function selectMml(event) {
    if ((event.ctrlKey || event.metaKey) && event.key.toLowerCase() === 'a') {
      event.preventDefault();
      const range = document.createRange();
      range.selectNodeContents($('mml'));
      const selection = window.getSelection();
      selection.removeAllRanges();
      selection.addRange(range);
    }
  }

  // A click in the roll: picks the pickup when asked to, else shows the bar
  // in the MML text.
  function rollClicked(event) {
    const tick = PianoRoll.tickAt(event.clientX);
    if (tick === null) return;
    if ($('pickup-pick').getAttribute('aria-pressed') === 'true') {
      const beat = beatTicks();
      const snapped = Math.round(tick / beat) * beat;
      const beats = snapped / beat;
      $('pickup').value = $('pickup-unit').value === 'beats' ? String(beats) : String(Math.round(snapped));
      setPicking(false);
      optionsChanged();
      return;
    }
    const bar = Bars.barAt(state.barStarts, tick);
    const line = MmlView.lineOfBar(state.noteLines, bar);
    if (line) MmlView.scrollTo($('mml'), line.element, true);
    playFromBar(bar);
  }

  // The player starts from bar `bar` next, or at once when it plays.
  function playFromBar(bar) {
    state.playFrom = state.barStarts[Math.min(bar, state.barStarts.length) - 1] || 0;
    if (Player.playing) startPlaying();
  }

  // A click on a bar number in the MML's gutter shows that bar in the roll.
  function mmlClicked(event) {
    const line = event.target.closest && event.target.closest('.line[data-bar]');
    if (!line) return;
    if (event.clientX - line.getBoundingClientRect().left > 48) return;
    const bar = Number(line.dataset.bar);
    PianoRoll.scrollToTick(state.barStarts[Math.min(bar, state.barStarts.length) - 1] || 0);
    MmlView.mark($('mml'), line);
    playFromBar(bar);
  }

  function setPicking(on) {
    $('pickup-pick').setAttribute('aria-pressed', on ? 'true' : 'false');
    $('pickup-pick').textContent = I18n.text(on ? 'pickupPicking' : 'pickupPick');
    $('roll-box').classList.toggle('picking', on);
  }

  // Why `file` did not convert, in a line.
  function faultLine(file) {
    const result = file.result;
    if (result.error) return failureText(result);
    if (result.capped) return cappedText(file);
    const words = plainWords(result).replace(/\s+/g, ' ').trim();
    return file.status === 'incomplete' ? `${words} (${I18n.text('zipIncomplete')})` : words;
  }

  async function downloadZip() {
    const done = state.files.filter((f) => f.status === 'done');
    const failed = state.files.filter((f) => f.status !== 'done');
    const listing = I18n.text('zipListingName');
    const names = Zip.safeNames([...done.map((f) => f.result.name), ...(failed.length ? [listing] : [])]);
    const entries = [];
    for (const [i, f] of done.entries()) {
      entries.push({ name: names[i], bytes: new Uint8Array(await f.result.blob.arrayBuffer()) });
    }
    if (failed.length > 0) {
      // Windows' line ends: most who read it will open it there.
      const visible = (name) => name.replace(/[\u0000-\u001F\u007F-\u009F]/g, '\uFFFD');
      const lines = [I18n.text('zipListingTitle', failed.length, state.files.length,
        Options.commandLineText(readOptions().args)), '',
      ...failed.map((f) => `${visible(f.name)}: ${faultLine(f)}`)];
      entries.push({ name: names.at(-1), bytes: new TextEncoder().encode(`${lines.join('\r\n')}\r\n`) });
    }
    const blob = await Zip.make(entries);
    if (state.zipUrl) URL.revokeObjectURL(state.zipUrl);
    state.zipUrl = URL.createObjectURL(blob);
    const link = document.createElement('a');
    link.href = state.zipUrl;
    link.download = 'vantrel-mml.zip';
    document.body.append(link);
    link.click();
    link.remove();
  }

  // ---- playing

  // Plays the current file's notes from `state.playFrom`: where the MML has
  // them, or where they were played when that is asked for on a grid.
  function startPlaying() {
    const p = state.preview;
    if (!p || !Player.available || p.noteCount === 0 || !rollData || rollData.notes !== p.noteCount) return;
    const asPlayed = p.onGrid && $('as-played').checked;
    try {
      Player.play({
        division: p.division, tempos: p.tempos, from: state.playFrom, end: rollData.end,
        ask: (from, to, max) => PianoRoll.notesIn(from, to, asPlayed, max),
        onTick: showPlaying,
        onEnd: () => {
          state.playFrom = 0;
          stopPlaying();
        },
      });
    } catch {
      // No sound to be had (no audio device, say): said beside the controls.
      $('copy-note').textContent = I18n.text('noAudio');
    }
    showPlayControl();
  }

  function stopPlaying() {
    Player.stop();
    PianoRoll.setCursor(null);
    state.playingBar = null;
    MmlView.markPlaying($('mml'), state.noteLines, null);
    showPlayControl();
  }

  function togglePlaying() {
    if (Player.playing) stopPlaying();
    else startPlaying();
  }

  // The cursor at `tick` on the roll, and its bar marked in the MML.
  function showPlaying(tick) {
    PianoRoll.setCursor(tick);
    const bar = Bars.barAt(state.barStarts, tick);
    if (bar === state.playingBar) return;
    state.playingBar = bar;
    MmlView.markPlaying($('mml'), state.noteLines, bar);
  }

  function showPlayControl() {
    const p = state.preview;
    const playing = Player.playing;
    document.body.dataset.playing = String(playing);
    const button = $('play');
    button.textContent = I18n.text(playing ? 'stop' : 'play');
    button.setAttribute('aria-pressed', String(playing));
    button.disabled = !Player.available || !p || p.noteCount === 0;
    button.title = Player.available ? '' : I18n.text('noAudio');
    $('as-played-box').hidden = !(p && p.onGrid);
  }

  // Space plays and stops, except where it types or presses something.
  function playKey(event) {
    if (event.key !== ' ' || event.repeat || event.ctrlKey || event.metaKey || event.altKey) return;
    const target = event.target;
    if (target.closest && target.closest('input, textarea, select, button, a, summary, [contenteditable]')) {
      return;
    }
    if ($('play').disabled) return;
    event.preventDefault();
    togglePlaying();
  }

  // ---- wiring

  function start() {
    Options.restore(document);
    PianoRoll.start($('roll-box'), rollReady);
    PianoRoll.setView({ colourBy: $('roll-colour').value, zoom: Number($('roll-zoom').value) });
    showColourChoice();
    setLanguage(initialLanguage());
    $('language').addEventListener('change', (e) => setLanguage(e.target.value));
    $('smf-file').addEventListener('change', (e) => takeFiles(e.target.files));
    $('options').addEventListener('input', optionsChanged);
    $('options').addEventListener('change', (e) => { if (e.target.type !== 'text') optionsChanged(e); });
    $('options').addEventListener('submit', (e) => e.preventDefault());
    $('convert').addEventListener('click', run);
    $('copy-mml').addEventListener('click', copyMml);
    $('download-zip').addEventListener('click', downloadZip);
    $('play').addEventListener('click', togglePlaying);
    $('as-played').addEventListener('change', () => {
      // On at once, from where it is.
      if (!Player.playing) return;
      state.playFrom = Number($('roll-cursor').dataset.tick || 0);
      startPlaying();
    });
    document.addEventListener('keydown', playKey);
    $('pickup-pick').addEventListener('click', () =>
      setPicking($('pickup-pick').getAttribute('aria-pressed') !== 'true'));
    $('mml').addEventListener('keydown', selectMml);
    $('mml').addEventListener('click', mmlClicked);
    $('roll-box').addEventListener('click', rollClicked);
    $('roll-colour').addEventListener('change', () => {
      Options.save(document);
      PianoRoll.setView({ colourBy: $('roll-colour').value });
      showPreviewWords();
    });
    $('roll-zoom').addEventListener('change', () => {
      Options.save(document);
      PianoRoll.setView({ zoom: Number($('roll-zoom').value) });
    });
    matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => PianoRoll.redraw());

    // Files dropped anywhere on the page; the highlight goes when the drag
    // leaves the window.
    const zone = $('drop-zone');
    let depth = 0;
    const page = document.documentElement;
    page.addEventListener('dragenter', (e) => {
      e.preventDefault();
      depth += 1;
      zone.classList.add('dragging');
    });
    page.addEventListener('dragover', (e) => e.preventDefault());
    page.addEventListener('dragleave', () => {
      depth = Math.max(0, depth - 1);
      if (depth === 0) zone.classList.remove('dragging');
    });
    page.addEventListener('drop', (e) => {
      e.preventDefault();
      depth = 0;
      zone.classList.remove('dragging');
      if (e.dataTransfer && e.dataTransfer.files.length > 0) takeFiles(e.dataTransfer.files);
    });
    window.addEventListener('blur', () => { depth = 0; zone.classList.remove('dragging'); });
    // The whole box opens the file chooser.
    zone.addEventListener('click', (e) => {
      if (e.target.closest('label, input')) return;
      $('smf-file').click();
    });
    showOptions();
  }

  start();
})();
