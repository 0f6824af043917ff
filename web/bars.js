// Bars: the bar that holds a tick, from where the bars start as the
// conversion counts them (its preview's barStarts), for the roll (in its
// worker), the listing in words and the links between the roll and the MML
// text.
'use strict';

const Bars = (() => {
  // The number (from 1) of the bar that holds `tick`: bar n starts at
  // barStarts[n - 1].
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

  return { barAt };
})();

if (typeof module === 'object' && module.exports) module.exports = { Bars };
