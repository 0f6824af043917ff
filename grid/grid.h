// Grid: the points a quantized conversion puts events on, anchored at the
// bar lines of the rhythm table, so that bars stay whole.
//
// Each bar is divided into steps from its first tick; a bar that is not a
// whole number of steps has a shorter last step, and the grid starts again
// at the next bar line. A pickup (the first bar, shorter than the bars after
// it) is divided from its end, the downbeat, so that its notes fall where
// they would in a whole bar. Every bar line is a grid point.
#pragma once

#include <cstdint>

#include "rhythm/rhythm_table.h"

namespace vantrel {

class Grid {
 public:
  // Steps of `step` ticks in the bars of `rhythm`; `pickupTicks` as /A gives
  // it (0: none).
  Grid(const RhythmTable& rhythm, std::int32_t pickupTicks, std::uint32_t step);

  // The grid point nearest to `tick`; halfway between two, the later.
  std::uint64_t nearest(std::uint64_t tick) const;
  // The first grid point after `tick`.
  std::uint64_t after(std::uint64_t tick) const;

  std::uint32_t step() const { return step_; }

 private:
  // The bar that holds `tick`: its first tick and the tick after it.
  struct Bar {
    std::uint64_t start;
    std::uint64_t end;
    bool fromEnd;  // a pickup: divided from its end
  };
  Bar barAt(std::uint64_t tick) const;
  // The grid points around `tick` in its bar: the last at or before it and
  // the first after it.
  void around(std::uint64_t tick, std::uint64_t& before, std::uint64_t& next) const;

  const RhythmTable& rhythm_;
  const std::uint64_t pickupEnd_;  // 0: no pickup
  const std::uint32_t step_;
};

// The step of the grid of note value `note` (16: sixteenths, 12: eighth-note
// triplets) at `division` ticks per quarter note: 4 × division / note, or 0
// when that is no whole number of ticks.
std::uint32_t gridStep(std::uint32_t note, std::uint16_t division);

}  // namespace vantrel
