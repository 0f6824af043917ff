// The page: a file in, the options, the preview, the conversion and its
// results.
//
// body's data-state is 'idle', 'busy' or 'done'; data-conversions and
// data-previews count the results shown, so scripts can wait for the next.
'use strict';

(() => {
  const $ = (id) => document.getElementById(id);
  const kShownMml = 256 * 1024;  // bytes of MML text shown; more slows the page down

  const state = {
    name: '',       // the file's name, as the program is given it
    bytes: null,    // Uint8Array
    preview: null,  // the worker's preview of the file
    previewArgs: '',
    downloadUrl: null,
  };
  let previewTimer = 0;
  let busyTimer = 0;

  // ---- language

  function setLanguage(language) {
    I18n.apply(language);
    $('language').value = I18n.language;
    try { localStorage.setItem('vantrel-language', I18n.language); } catch { /* not kept */ }
    showFileInfo();
    drawRoll();
    showFaultEnglish();
  }

  function initialLanguage() {
    try {
      const kept = localStorage.getItem('vantrel-language');
      if (kept) return kept;
    } catch { /* not kept */ }
    return I18n.preferred();
  }

  // ---- the file

  async function takeFile(file) {
    if (!file) return;
    const bytes = new Uint8Array(await file.arrayBuffer());
    state.name = file.name;
    state.bytes = bytes;
    state.preview = null;
    state.previewArgs = '';
    showFileInfo();
    clearResult();
    optionsChanged();
  }

  function showFileInfo() {
    $('file-info').textContent = state.bytes ? I18n.text('fileInfo', state.name, state.bytes.length) : '';
  }

  // ---- options

  function currentArguments() {
    return Options.argumentsFor(document, state.name || 'song.mid');
  }

  function optionsChanged() {
    const lineMode = $('line-mode').value;
    $('line-bars').disabled = lineMode !== 'bars';
    const all = $('filter-all').checked;
    for (const id of Options.filterIds) {
      $(id).disabled = all;
      if (all) $(id).checked = false;
    }
    $('command-line').textContent = Options.commandLineText(currentArguments());
    $('convert').disabled = !state.bytes || document.body.dataset.state === 'busy';
    // Typing a pickup asks once, when the typing stops.
    clearTimeout(previewTimer);
    previewTimer = setTimeout(requestPreview, 150);
  }

  // ---- the preview

  // The preview depends on the file, the pickup and the filter; it is asked
  // for again only when one of them changes.
  async function requestPreview() {
    if (!state.bytes) return;
    const args = currentArguments();
    const key = Options.optionArguments(document).filter((a) => /^\/[AM]/.test(a)).join(' ');
    if (key === state.previewArgs && state.preview) return;
    state.previewArgs = key;
    const bytes = state.bytes;
    let preview;
    try {
      preview = await Vantrel.preview(bytes, args);
    } catch (error) {
      preview = null;
      $('preview-fault').hidden = false;
      $('preview-fault').textContent = String(error.message || error);
    }
    if (bytes !== state.bytes || key !== state.previewArgs || !preview) return;  // overtaken
    state.preview = preview;
    $('preview-fault').hidden = !preview.fault;
    $('preview-fault').textContent = preview.fault
      ? `${Vantrel.decodeText(preview.fault).trim()} (${englishLines(Vantrel.decodeText(preview.fault))})`
      : '';
    drawRoll();
    document.body.dataset.previews = String(Number(document.body.dataset.previews) + 1);
  }

  function drawRoll() {
    const preview = state.preview;
    const canvas = $('piano-roll');
    // A file with a fault gets its message instead: the program converts it
    // only up to the fault, if at all.
    $('roll-box').hidden = !preview || preview.fault !== null;
    if ($('roll-box').hidden) {
      $('roll-info').textContent = '';
      $('roll-legend').textContent = '';
      return;
    }
    const pickupArg = currentArguments().find((a) => a.startsWith('/A'));
    const legend = PianoRoll.draw(canvas, preview, {
      colourBy: $('roll-colour').value,
      zoom: Number($('roll-zoom').value),
      width: $('roll-box').clientWidth,
      pickup: pickupArg ? Number(pickupArg.slice(2)) : 0,
      labels: {
        pickupLabel: I18n.text('pickupLabel'),
        track: (n) => I18n.text('track', n),
        channel: (n) => I18n.text('channel', n),
      },
    });
    $('roll-info').textContent = I18n.text('rollInfo', preview.keys.length, preview.trackCount,
      preview.division);
    const legendBox = $('roll-legend');
    legendBox.textContent = '';
    for (const [label, colour] of legend) {
      const item = document.createElement('span');
      const swatch = document.createElement('i');
      swatch.style.background = colour;
      item.append(swatch, label);
      legendBox.append(item);
    }
  }

  // ---- the conversion

  function setBusy(busy) {
    document.body.dataset.state = busy ? 'busy' : 'done';
    $('busy').hidden = !busy;
    $('convert').disabled = busy || !state.bytes;
    clearInterval(busyTimer);
    if (busy) {
      const started = performance.now();
      $('elapsed').textContent = '0.0 s';
      busyTimer = setInterval(() => {
        $('elapsed').textContent = `${((performance.now() - started) / 1000).toFixed(1)} s`;
      }, 100);
    }
  }

  async function convert() {
    if (!state.bytes) return;
    setBusy(true);
    clearResult();
    try {
      showResult(await Vantrel.convert(state.bytes, currentArguments()));
    } catch (error) {
      $('fault').hidden = false;
      $('fault-message').textContent = String(error.message || error);
      $('fault-english').textContent = '';
    } finally {
      setBusy(false);
      document.body.dataset.conversions = String(Number(document.body.dataset.conversions) + 1);
    }
  }

  function clearResult() {
    $('console').textContent = '';
    $('fault').hidden = true;
    $('fault-message').textContent = '';
    $('fault-english').textContent = '';
    $('mml').textContent = '';
    $('mml-note').hidden = true;
    $('download-name').textContent = '';
    const link = $('download');
    link.setAttribute('aria-disabled', 'true');
    link.removeAttribute('href');
    link.removeAttribute('download');
    if (state.downloadUrl) URL.revokeObjectURL(state.downloadUrl);
    state.downloadUrl = null;
  }

  function showResult(result) {
    const consoleText = Vantrel.decodeConsole(result.stdout);
    $('console').textContent = consoleText;
    if (result.stderr.length > 0) {
      $('fault').hidden = false;
      $('fault-message').textContent = Vantrel.decodeConsole(result.stderr);
      showFaultEnglish();
    }
    const note = $('mml-note');
    if (result.mml === null) {
      note.hidden = false;
      note.textContent = I18n.text('noMml');
      return;
    }
    // The exact bytes, under the name the command line gives the file.
    const name = Options.downloadName(consoleText);
    state.downloadUrl = URL.createObjectURL(new Blob([result.mml], { type: 'application/octet-stream' }));
    const link = $('download');
    link.href = state.downloadUrl;
    link.download = name;
    link.setAttribute('aria-disabled', 'false');
    $('download-name').textContent = I18n.text('fileInfo', name, result.mml.length);
    // A big text is shown only in part, cut after a whole line.
    let shown = result.mml;
    if (shown.length > kShownMml) {
      const lineEnd = shown.lastIndexOf(0x0A, kShownMml);
      shown = shown.subarray(0, lineEnd > 0 ? lineEnd + 1 : kShownMml);
      note.hidden = false;
      note.textContent = I18n.text('mmlCut', shown.length, result.mml.length);
    }
    $('mml').textContent = Vantrel.decodeText(shown);
  }

  // One English line for each line of the program's message.
  function englishLines(text) {
    return text.split('\n').map((line) => I18n.english(line)).filter((line) => line).join('\n');
  }

  function showFaultEnglish() {
    $('fault-english').textContent = englishLines($('fault-message').textContent);
  }

  // ---- wiring

  function start() {
    setLanguage(initialLanguage());
    $('language').addEventListener('change', (e) => setLanguage(e.target.value));
    $('smf-file').addEventListener('change', (e) => takeFile(e.target.files[0]));
    $('options').addEventListener('input', optionsChanged);
    $('options').addEventListener('change', optionsChanged);
    $('options').addEventListener('submit', (e) => e.preventDefault());
    $('convert').addEventListener('click', convert);
    $('roll-colour').addEventListener('change', drawRoll);
    $('roll-zoom').addEventListener('change', drawRoll);
    window.addEventListener('resize', () => { if ($('roll-zoom').value === '1') drawRoll(); });

    const zone = $('drop-zone');
    const page = document.documentElement;
    page.addEventListener('dragover', (e) => {
      e.preventDefault();
      zone.classList.add('dragging');
    });
    page.addEventListener('dragleave', (e) => {
      if (e.target === page || e.target === zone) zone.classList.remove('dragging');
    });
    page.addEventListener('drop', (e) => {
      e.preventDefault();
      zone.classList.remove('dragging');
      if (e.dataTransfer.files.length > 0) takeFile(e.dataTransfer.files[0]);
    });
    optionsChanged();
  }

  start();
})();
