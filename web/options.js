// Options: the form's controls as the command line's arguments, checked
// (a value the program would read otherwise is refused with a message, never
// changed), remembered between visits, and the command line shown.
'use strict';

const Options = (() => {
  const filterIds = ['filter-a', 'filter-b', 'filter-c', 'filter-p', 'filter-x', 'filter-m'];
  const kStorageKey = 'vantrel-options';
  const kMaxTicks = 2147483647;  // the program reads at most 32 bits, signed
  // The controls remembered, by id: checkboxes and radios by `checked`, the
  // others by `value`.
  const remembered = ['dialect-mml', 'dialect-kana', 'bar-lines', 'line-mode', 'line-bars', 'pickup',
    'pickup-unit', ...filterIds, 'filter-all', 'grid', 'voices', 'velocity-step', 'roll-colour', 'roll-zoom'];

  const get = (doc, id) => doc.getElementById(id);

  // A whole number of digits alone, or null: "1e3", "2.5", "-3" and "" are
  // not whole numbers of ticks or bars.
  function digits(text) {
    const trimmed = String(text).trim();
    return /^[0-9]+$/.test(trimmed) ? Number(trimmed) : null;
  }

  // The pickup in ticks, from the box and its unit: `beatTicks` is the
  // length of a beat of the file's first time signature (a quarter note when
  // there is no file). Gives {ticks} or {error: text key}.
  function pickupTicks(doc, beatTicks) {
    const text = String(get(doc, 'pickup').value).trim();
    if (text === '') return { ticks: 0 };
    if (get(doc, 'pickup-unit').value === 'beats') {
      if (!/^[0-9]+(\.[0-9]+)?$/.test(text) && !/^[0-9]+\/[0-9]+$/.test(text)) {
        return { error: 'pickupBeatsInvalid' };
      }
      const [top, bottom] = text.includes('/') ? text.split('/').map(Number) : [Number(text), 1];
      const ticks = (top * beatTicks) / bottom;
      if (!Number.isFinite(ticks) || bottom === 0 || Math.abs(ticks - Math.round(ticks)) > 1e-9) {
        return { error: 'pickupBeatsInvalid' };
      }
      if (ticks > kMaxTicks) return { error: 'pickupTooBig' };
      return { ticks: Math.round(ticks) };
    }
    const ticks = digits(text);
    if (ticks === null) return { error: 'pickupInvalid' };
    if (ticks > kMaxTicks) return { error: 'pickupTooBig' };
    return { ticks };
  }

  // The /M letters' bits in Settings.filterMask, and the grid's "auto", as
  // the program has them (web/make_page.js checks them against the module).
  const filterBits = { a: 0x24, b: 0x40, c: 0x08, p: 0x10, x: 0x300, m: 0x400 };
  const kAllFilters = 0xFFFF;
  const kAutoGrid = 0xFFFFFFFF;
  const kNoLimit = Infinity;
  const kMaxVelocityStep = 127;  // a step of 1 writes every change, as without one

  // The numbers ticked among the boxes in `box` ([] where every box is
  // ticked, as where there are none), or null where none is.
  function ticked(doc, box) {
    const boxes = [...doc.querySelectorAll(`#${box} input[type="checkbox"]`)];
    const chosen = boxes.filter((b) => b.checked).map((b) => Number(b.dataset.number));
    if (chosen.length === boxes.length) return [];
    return chosen.length === 0 ? null : chosen;
  }

  // "1-3,5" for [1, 2, 3, 5] (ascending).
  function listText(numbers) {
    const parts = [];
    for (let i = 0; i < numbers.length;) {
      let j = i;
      while (j + 1 < numbers.length && numbers[j + 1] === numbers[j] + 1) ++j;
      parts.push(j > i ? `${numbers[i]}-${numbers[j]}` : String(numbers[i]));
      i = j + 1;
    }
    return parts.join(',');
  }

  // The command line's options for `settings` (Settings' fields, as the page
  // gives them to the program), in the order the usage text lists them; an
  // option left at the program's default gives no argument.
  function argumentsOf(settings) {
    const args = [];
    if (settings.kana) args.push('/J');
    if (!settings.barLines) args.push('/B-');
    if (settings.lineBars !== 4) args.push(`/C${settings.lineBars}`);
    if (settings.pickupTicks > 0) args.push(`/A${settings.pickupTicks}`);
    if (settings.filterMask === kAllFilters) {
      args.push('/MA');
    } else {
      for (const [letter, bits] of Object.entries(filterBits)) {
        if ((settings.filterMask & bits) === bits) args.push(`/M${letter}`);
      }
    }
    if (settings.gridNote === kAutoGrid) args.push('/Q');
    else if (settings.gridNote !== 0) args.push(`/Q${settings.gridNote}`);
    if (settings.tracks.length > 0) args.push(`--tracks=${listText(settings.tracks)}`);
    if (settings.channels.length > 0) args.push(`--channels=${listText(settings.channels)}`);
    if (settings.voices) args.push('--voices');
    if (settings.velocityStep !== 1) args.push(`--velocity-step=${settings.velocityStep}`);
    return args;
  }

  // The settings the controls ask for, the command line's options that give
  // them, and the problems found: {settings, args, problems: {id: text
  // key}}. The settings hold every field of the program's Settings, the cap
  // on the MML (none) and the options' texts as `args` writes them (the
  // program's messages name them).
  function read(doc, beatTicks = 480) {
    const problems = {};
    const mode = get(doc, 'line-mode').value;
    let lineBars = mode === 'note' ? 0 : mode === 'never' ? -1 : digits(get(doc, 'line-bars').value);
    if (lineBars === null || (mode === 'bars' && (lineBars < 1 || lineBars > kMaxTicks))) {
      problems['line-bars'] = 'lineBarsInvalid';
      lineBars = 4;
    }
    const pickup = pickupTicks(doc, beatTicks);
    if (pickup.error) problems.pickup = pickup.error;
    // "Everything but notes" is /MA; the single choices stay as they were
    // set, and count again when it is cleared.
    let filterMask = 0;
    if (get(doc, 'filter-all').checked) {
      filterMask = kAllFilters;
    } else {
      for (const id of filterIds) if (get(doc, id).checked) filterMask |= filterBits[id.slice(-1)];
    }
    // The grid: a note value, or the program's choice.
    const grid = get(doc, 'grid') ? get(doc, 'grid').value : '';
    const tracks = ticked(doc, 'track-boxes');
    const channels = ticked(doc, 'channel-boxes');
    if (tracks === null) problems.tracks = 'noTrackTicked';
    if (channels === null) problems.channels = 'noChannelTicked';
    // The velocity step: empty for none (every change written).
    const stepText = String(get(doc, 'velocity-step').value).trim();
    let velocityStep = stepText === '' ? 1 : digits(stepText);
    if (velocityStep === null || velocityStep < 1 || velocityStep > kMaxVelocityStep) {
      problems['velocity-step'] = 'velocityStepInvalid';
      velocityStep = 1;
    }
    const settings = {
      barLines: get(doc, 'bar-lines').checked, lineBars, pickupTicks: pickup.error ? 0 : pickup.ticks,
      kana: get(doc, 'dialect-kana').checked, filterMask,
      gridNote: grid === 'auto' ? kAutoGrid : grid === '' ? 0 : Number(grid),
      tracks: tracks || [], channels: channels || [], voices: get(doc, 'voices').checked, velocityStep,
      outputLimit: kNoLimit,
    };
    const args = argumentsOf(settings);
    const argument = (prefix) => args.find((a) => a.startsWith(prefix)) || '';
    settings.gridArgument = argument('/Q');
    settings.tracksArgument = argument('--tracks=');
    settings.channelsArgument = argument('--channels=');
    return { settings, args, problems };
  }

  // All the arguments for converting the file called `name`. A name that
  // starts like an option follows `--`.
  function withName(args, name) {
    const all = [...args];
    if (name.startsWith('-') || name.startsWith('/')) all.push('--');
    all.push(name);
    return all;
  }

  // The command line a user would type: names with spaces or a shell's
  // special characters in double quotes.
  function commandLineText(args) {
    const quoted = args.map((arg) => (/^[^\s"'&|<>^()%!;$`*?]+$/.test(arg) ? arg : `"${arg}"`));
    return ['vantrel', ...quoted].join(' ');
  }

  function save(doc) {
    const kept = {};
    for (const id of remembered) {
      const element = get(doc, id);
      if (!element) continue;
      kept[id] = element.type === 'checkbox' || element.type === 'radio' ? element.checked : element.value;
    }
    try { localStorage.setItem(kStorageKey, JSON.stringify(kept)); } catch { /* not kept */ }
  }

  function restore(doc) {
    let kept = null;
    try { kept = JSON.parse(localStorage.getItem(kStorageKey) || 'null'); } catch { /* none */ }
    if (!kept || typeof kept !== 'object') return;
    for (const id of remembered) {
      const element = get(doc, id);
      if (!element || !(id in kept)) continue;
      if (element.type === 'checkbox' || element.type === 'radio') element.checked = Boolean(kept[id]);
      else if ([...(element.options || [])].some((o) => o.value === kept[id]) || !element.options) {
        element.value = String(kept[id]);
      }
    }
  }

  return { read, withName, commandLineText, save, restore, filterIds, digits, filterBits, kAutoGrid };
})();
