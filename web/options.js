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
    'pickup-unit', ...filterIds, 'filter-all', 'grid', 'roll-colour', 'roll-zoom'];

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

  // The options the controls ask for, in the order the usage text lists
  // them, and the problems found: {args, problems: {id: text key}}. A control
  // left at the program's default gives no argument.
  function read(doc, beatTicks = 480) {
    const args = [];
    const problems = {};
    if (get(doc, 'dialect-kana').checked) args.push('/J');
    if (!get(doc, 'bar-lines').checked) args.push('/B-');
    const mode = get(doc, 'line-mode').value;
    let lineBars = mode === 'note' ? 0 : mode === 'never' ? -1 : digits(get(doc, 'line-bars').value);
    if (lineBars === null || (mode === 'bars' && (lineBars < 1 || lineBars > kMaxTicks))) {
      problems['line-bars'] = 'lineBarsInvalid';
      lineBars = 4;
    }
    if (lineBars !== 4) args.push(`/C${lineBars}`);
    const pickup = pickupTicks(doc, beatTicks);
    if (pickup.error) problems.pickup = pickup.error;
    else if (pickup.ticks > 0) args.push(`/A${pickup.ticks}`);
    // "Everything but notes" is /MA; the single choices stay as they were
    // set, and count again when it is cleared.
    if (get(doc, 'filter-all').checked) {
      args.push('/MA');
    } else {
      for (const id of filterIds) if (get(doc, id).checked) args.push(get(doc, id).value);
    }
    // The grid: a note value, or the program's choice.
    const grid = get(doc, 'grid') ? get(doc, 'grid').value : '';
    if (grid === 'auto') args.push('/Q');
    else if (grid !== '') args.push(`/Q${grid}`);
    return { args, problems };
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

  return { read, withName, commandLineText, save, restore, filterIds, digits };
})();
