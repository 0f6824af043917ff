// The grid of a quantized conversion, and the one that /Q without a value
// (or --quantize=auto) must choose for a file, worked out from the check's
// own reading of it.
//
// The choice: of the pairs of a straight and a triplet grid 1/8 and 1/12,
// 1/16 and 1/24, 1/32 and 1/48, coarsest first, those whose straight step
// divides a quarter note in whole ticks (the triplet grid left out where its
// step does not). For each pair each track gets an offset: the distance
// from the points the two grids share (a signed value, no more than half
// their common step either way) that at least half of the track's note
// starts have, 0 where none is had so. Each beat of each track (a quarter
// note from the bar line, a pickup's from its end) takes the grid of the two
// from which its note starts, moved back by the offset, lie less far in sum.
// The pair chosen is the first on which no start moves; else the first on
// which they move by a 96th of a whole note or less on average and by more
// than a 32nd for at most 1 in 100; else the finest; none when no pair is
// usable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/roundtrip/model.h"
#include "tools/roundtrip/smf_events.h"

namespace vantrel::roundtrip {

struct GridPlan {
  std::uint32_t note = 0;         // the straight grid (16: sixteenths); 0: none
  std::uint32_t tripletNote = 0;  // the triplet grid beside it; 0: none
  std::vector<std::int32_t> offsets;  // of each track, in ticks late; empty: all 0

  std::int32_t offset(std::size_t track) const {
    return track < offsets.size() ? offsets[track] : 0;
  }
  friend bool operator==(const GridPlan&, const GridPlan&) = default;
};

// Where an event of `tick` goes in a track moved back by `offset` ticks (not
// below tick 0; forward where the offset is negative).
std::uint64_t movedBack(std::uint64_t tick, std::int32_t offset);

GridPlan chooseAutoGrid(const SmfFile& file, const std::vector<RhythmChange>& rhythm, bool pickup);

// The line the program prints for `plan`, tab and all:
// "Grid:1/16+1/24\tStep:120+80\tOffset:TR(1)=7,TR(2)=-5".
std::string gridLine(const GridPlan& plan, int division);

// The grid line of the program's standard output (after the bar listing):
// the plan it names, or nothing when there is no such line or it cannot be
// read. `line` gets the line as printed.
std::optional<GridPlan> reportedGrid(std::string_view console, std::string& line);

}  // namespace vantrel::roundtrip
