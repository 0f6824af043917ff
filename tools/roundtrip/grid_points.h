// GridPoints: the points that a quantized conversion may put events on,
// worked out from the bar layout alone: every bar line, and from each bar's
// first tick every step after it; a bar that is no whole number of steps
// ends in a shorter step and the next bar starts the grid again. With a
// pickup the first stretch of the file (from 0 to the next rhythm change) is
// divided from its end instead, so that its points fall where they would in
// a whole bar. The check places the SMF's events with it to say where the
// MML must have them.
//
// A Cell is one stretch that steps divide on their own: a bar, or a beat of
// one (a quarter note from the bar line, a pickup's counted from its end, a
// bar's last beat cut short where the bar is no whole number of beats).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/roundtrip/model.h"

namespace vantrel::roundtrip {

// The step of the grid of note value `note` at `division` ticks per quarter
// note: 4 × division / note, or 0 when that is no whole number of ticks.
std::uint64_t gridStepOf(std::uint64_t note, int division);

struct Cell {
  std::uint64_t start;
  std::uint64_t end;  // the first tick of the next cell
  bool fromEnd;       // divided from its end (in a pickup)
};

// The points of steps of `step` in `cell` around `tick` (in the cell): the
// last at or before it and the first after it.
void pointsAround(std::uint64_t tick, const Cell& cell, std::uint64_t step,
                  std::uint64_t& atOrBefore, std::uint64_t& past);
// The point of `cell` nearest to `tick`; halfway between two, the later one.
std::uint64_t nearestIn(std::uint64_t tick, const Cell& cell, std::uint64_t step);
// The first point of `cell` after `tick`.
std::uint64_t afterIn(std::uint64_t tick, const Cell& cell, std::uint64_t step);

class GridPoints {
 public:
  // `rhythm` as the expectation lists it (the first change at 0); `pickup`
  // whether /A gave one; `step` more than 0.
  GridPoints(const std::vector<RhythmChange>& rhythm, bool pickup, std::uint64_t step);

  // The point nearest to `tick`; halfway between two, the later one.
  std::uint64_t nearest(std::uint64_t tick) const { return nearestIn(tick, barAt(tick), step_); }
  // The first point after `tick`.
  std::uint64_t after(std::uint64_t tick) const { return afterIn(tick, barAt(tick), step_); }
  // Whether some bar that [from, to) reaches into is no whole number of
  // steps long (only there may a length be no whole number of steps).
  bool touchesUnevenBar(std::uint64_t from, std::uint64_t to) const;

  // The bar that holds `tick`, and the beat of `beat` ticks that does.
  Cell barAt(std::uint64_t tick) const;
  Cell beatAt(std::uint64_t tick, std::uint64_t beat) const;

  std::uint64_t step() const { return step_; }

 private:
  std::vector<RhythmChange> rhythm_;
  std::uint64_t pickupEnd_ = 0;  // 0: no pickup
  std::uint64_t step_;
};

}  // namespace vantrel::roundtrip
