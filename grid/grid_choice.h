// GridPlan and chooseGrid: the grid a quantized conversion puts its notes on.
//
// /Q<n> asks for one grid of nth notes. /Q without a value (or
// --quantize=auto) asks the program to read the file as it was written:
// it chooses a straight grid and the triplet grid beside it (sixteenths and
// sixteenth triplets, say), of which each beat of each channel takes the one
// its notes lie on, and for each track the constant lateness (or
// earliness) of its notes, so that a track played a few ticks late comes
// back onto the grid its notes were written for. The bar lines stay where
// the file has them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "rhythm/rhythm_table.h"
#include "smf/events.h"
#include "smf/walk.h"

namespace vantrel {

struct GridPlan {
  std::uint32_t note = 0;         // the straight grid's note value (16: sixteenths); 0: none
  std::uint32_t tripletNote = 0;  // the triplet grid beside it, chosen per beat (24); 0: none
  // Of each track, the ticks its notes lie after the grid (before it when
  // negative); empty: none of them does.
  std::vector<std::int32_t> offsets;

  std::int32_t offset(std::size_t track) const { return track < offsets.size() ? offsets[track] : 0; }
};

// The pairs of straight and triplet grids that /Q chooses from, coarsest
// first.
struct GridPair {
  std::uint32_t straight;
  std::uint32_t triplet;
};
inline constexpr GridPair kGridPairs[] = {{8, 12}, {16, 24}, {32, 48}};

// The plan of /Q for the notes of `tracks` (only those of the channels of
// `channels[t]` in track t: bit c for channel c + 1): of kGridPairs whose
// straight step is a whole number of ticks, the coarsest on which every note
// start lies exactly, each beat (a quarter note) on the pair's triplet grid
// where the distances from it add up to less than half of those from the
// straight one, each track moved by its offset; if none, the coarsest on
// which the starts move by a 96th of a whole note or less on average and by
// more than a 32nd for at most 1 in 100 of them; if none, the finest. A
// track's offset is the distance from the pair's common points that at least
// half of its note starts share (0 when none is). No grid (note 0) when no
// straight step is whole.
GridPlan chooseGrid(std::span<const std::uint8_t> smf, std::span<const TrackChunk> tracks,
                    std::span<const std::uint16_t> channels, const EventFilter& filter,
                    const RhythmTable& rhythm, std::int32_t pickupTicks, std::uint16_t division);

}  // namespace vantrel
