// Grid: the points a quantized conversion puts events on, anchored at the
// bar lines of the rhythm table, so that bars stay whole.
//
// Each bar is divided into steps from its first tick; a bar that is not a
// whole number of steps has a shorter last step, and the grid starts again
// at the next bar line. A pickup (the first bar, shorter than the bars after
// it) is divided from its end, the downbeat, so that its notes fall where
// they would in a whole bar. Every bar line is a grid point.
#pragma once

#include <cassert>
#include <algorithm>
#include <cstdint>

#include "rhythm/rhythm_table.h"

namespace vantrel {

// The bars of a rhythm table, found tick by tick. The last bar found is
// kept: the events of a pass come in the order of their ticks, and most
// fall in the bar of the one before.
class Bars {
 public:
  struct Bar {
    std::uint64_t start;
    std::uint64_t end;  // the tick after it: the next bar line
    bool fromEnd;       // a pickup: divided from its end
  };

  // `pickupTicks` as /A gives it (0: none).
  Bars(const RhythmTable& rhythm, std::int32_t pickupTicks);

  // The bar that holds `tick`.
  const Bar& at(std::uint64_t tick) {
    if (tick < last_.start || tick >= last_.end) last_ = find(tick);
    return last_;
  }

  // The beat of `beat` ticks that holds `tick` in its bar: counted from
  // the bar's first tick (a pickup's from its end), the last one of a bar
  // that is no whole number of beats shorter.
  Bar beatAt(std::uint64_t tick, std::uint32_t beat) {
    const Bar& bar = at(tick);
    if (bar.fromEnd) {
      const std::uint64_t back = (bar.end - tick - 1) / beat * beat;
      const std::uint64_t end = bar.end - back;
      return {end > bar.start + beat ? end - beat : bar.start, end, true};
    }
    const std::uint64_t start = bar.start + (tick - bar.start) / beat * beat;
    return {start, std::min(start + beat, bar.end), false};
  }

 private:
  Bar find(std::uint64_t tick) const;

  const RhythmTable& rhythm_;
  const std::uint64_t pickupEnd_;  // 0: no pickup
  Bar last_{1, 0, false};          // none yet
};

class Grid {
 public:
  // Steps of `step` ticks in the bars of `rhythm`; `pickupTicks` as /A gives
  // it (0: none). A Grid keeps its place: one for each thread.
  Grid(const RhythmTable& rhythm, std::int32_t pickupTicks, std::uint32_t step);

  // The grid point nearest to `tick`; halfway between two, the later.
  std::uint64_t nearest(std::uint64_t tick) {
    std::uint64_t before, next;
    around(tick, bars_.at(tick), step_, before, next);
    return tick - before < next - tick ? before : next;
  }
  // The first grid point after `tick`.
  std::uint64_t after(std::uint64_t tick) {
    std::uint64_t before, next;
    around(tick, bars_.at(tick), step_, before, next);
    return next;
  }

  std::uint32_t step() const { return step_; }
  Bars& bars() { return bars_; }

  // The grid points of steps of `step` around `tick` in its bar (or beat)
  // `bar`: the last at or before it and the first after it.
  static void around(std::uint64_t tick, const Bars::Bar& bar, std::uint32_t step,
                     std::uint64_t& before, std::uint64_t& next) {
    assert(step > 0 && tick >= bar.start && tick < bar.end);
    // Within a bar, whose length fits 32 bits: the cheaper division.
    if (bar.fromEnd) {
      // The points are the bar's end less whole steps, and its start.
      const auto toEnd = static_cast<std::uint32_t>(bar.end - tick);
      const std::uint64_t back = std::uint64_t{(toEnd + step - 1) / step} * step;
      before = back <= bar.end - bar.start ? bar.end - back : bar.start;
      next = bar.end - std::uint64_t{(toEnd - 1) / step} * step;
    } else {
      const auto fromStart = static_cast<std::uint32_t>(tick - bar.start);
      before = bar.start + std::uint64_t{fromStart / step} * step;
      next = before + step < bar.end ? before + step : bar.end;
    }
  }

 private:
  Bars bars_;
  const std::uint32_t step_;
};

// The step of the grid of note value `note` (16: sixteenths, 12: eighth-note
// triplets) at `division` ticks per quarter note: 4 × division / note, or 0
// when that is no whole number of ticks.
std::uint32_t gridStep(std::uint32_t note, std::uint16_t division);

}  // namespace vantrel
