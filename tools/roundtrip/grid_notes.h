// The notes of one section on a grid, held to the bounds the grid sets them
// rather than to one place each: where notes of one key come faster than
// the grid holds them, the conversion places that stretch of them on a
// finer grid, and which stretches those are and how fine is its choice.
//
// Exact: every note played is in the text and no other, with its key and
// velocity; the notes of each key in the order they were played; notes of
// one key played at one tick at one point, and notes played apart never at
// one point.
// Bounds: a note starts at the nearest point of its cell's step (see
// SectionGrid), or of that step halved (as often as the step stays a whole
// number of ticks), or at its own tick; never more than half that step
// from where it was played. Only a note that has a note of its key less
// than a step away (of the grid at either) starts elsewhere than the
// nearest point of its cell's step. It ends at the nearest grid point to its end, but at least a step
// (of the grid it was placed on) after its start, and where the next note
// of its key that starts later starts at the latest.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/roundtrip/model.h"
#include "tools/roundtrip/section_grid.h"

namespace vantrel::roundtrip {

// `played`: the notes of the file, in its order, moved back by the track's
// offset (`offset`, only told in the messages); `found`: the text's. Adds
// to `finer` the notes found elsewhere than the nearest point of their
// cell's step (placed on a finer grid, or at their own tick).
std::vector<Difference> checkGridNotes(int track, int channel, const std::vector<Note>& played,
                                       const std::vector<Note>& found, const SectionGrid& grid,
                                       std::int32_t offset, std::uint64_t& finer);

}  // namespace vantrel::roundtrip
