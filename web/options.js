// Options: the form's controls as the command line's arguments, the command
// line shown to the user, and the names the program gives its files.
'use strict';

const Options = (() => {
  const filterIds = ['filter-a', 'filter-b', 'filter-c', 'filter-p', 'filter-x', 'filter-m'];

  // The options the controls ask for, in the order the usage text lists
  // them; a control left at the program's default gives none.
  function optionArguments(doc) {
    const args = [];
    const get = (id) => doc.getElementById(id);
    if (get('dialect-kana').checked) args.push('/J');
    if (!get('bar-lines').checked) args.push('/B-');
    const mode = get('line-mode').value;
    const bars = wholeNumber(get('line-bars').value, 4);
    const lineBars = mode === 'note' ? 0 : mode === 'never' ? -1 : Math.max(1, bars);
    if (lineBars !== 4) args.push(`/C${lineBars}`);
    const pickup = wholeNumber(get('pickup').value, 0);
    if (pickup > 0) args.push(`/A${pickup}`);
    if (get('filter-all').checked) {
      args.push('/MA');
    } else {
      for (const id of filterIds) if (get(id).checked) args.push(get(id).value);
    }
    return args;
  }

  // A whole number typed in a box, or `fallback` when there is none (the
  // program reads at most 32 bits).
  function wholeNumber(text, fallback) {
    const value = Number.parseInt(String(text).trim(), 10);
    if (!Number.isFinite(value)) return fallback;
    return Math.min(Math.max(value, -2147483648), 2147483647);
  }

  // All the arguments for converting the file called `name`. A name that
  // starts like an option follows `--`.
  function argumentsFor(doc, name) {
    const args = optionArguments(doc);
    if (name.startsWith('-') || name.startsWith('/')) args.push('--');
    args.push(name);
    return args;
  }

  // The command line a user would type: names with spaces or a shell's
  // special characters in double quotes.
  function commandLineText(args) {
    const quoted = args.map((arg) => (/^[^\s"'&|<>^()%!;$`*?]+$/.test(arg) ? arg : `"${arg}"`));
    return ['vantrel', ...quoted].join(' ');
  }

  // The name a download gets: the last part of the output's name as the
  // program printed it on its "MML = " line.
  function downloadName(consoleText) {
    const line = consoleText.split('\n').find((l) => l.startsWith('MML = '));
    if (!line) return 'vantrel.mml';
    return line.slice('MML = '.length).split(/[\\/]/).pop() || 'vantrel.mml';
  }

  return { optionArguments, argumentsFor, commandLineText, downloadName, filterIds };
})();
