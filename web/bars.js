// Bars: where the bars of a file start, as the converter counts them, for the
// roll (in its worker), the listing in words and the links between the roll
// and the MML text.
//
// From each time signature entry a bar starts every bar length until the
// next entry, where the count starts again (a bar cut short by a change of
// signature is still a bar). Inside a pickup longer than a bar, no bar
// starts: the pickup is bar 1.
'use strict';

const Bars = (() => {
  const kMaxBars = 4000000;

  // The ticks at which bars start, ascending (bar n starts at starts[n - 1]).
  // `rhythm` as the preview gives it (the sentinel's tick is -1), `end` the
  // last tick to count bars to.
  function starts(rhythm, pickup, end) {
    const entries = rhythm.filter((e) => e.tick >= 0 && e.barLength > 0);
    const out = [];
    entries.forEach((entry, index) => {
      const next = index + 1 < entries.length ? entries[index + 1].tick : Math.max(end, entry.tick + 1);
      out.push(entry.tick);
      for (let tick = entry.tick + entry.barLength; tick < next && out.length < kMaxBars;
        tick += entry.barLength) {
        if (tick >= pickup) out.push(tick);
      }
    });
    return Float64Array.from(out);
  }

  // The number (from 1) of the bar that holds `tick`.
  function barAt(barStarts, tick) {
    let low = 0;
    let high = barStarts.length;
    while (low < high) {
      const middle = (low + high) >> 1;
      if (barStarts[middle] <= tick) low = middle + 1;
      else high = middle;
    }
    return Math.max(1, low);
  }

  return { starts, barAt };
})();

if (typeof module === 'object' && module.exports) module.exports = { Bars };
