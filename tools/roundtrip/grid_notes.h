// The notes of one section on a grid, where each must be: per key, the
// notes in the order they were played, paired one to one with the text's
// (velocity and all; notes of one key played at one tick at one point,
// notes played apart never at one point, none lost, none added).
//
// A note starts at the nearest point of its cell's step (see SectionGrid).
// Where that puts notes of one key out of order (two played apart at one
// point, or one before the note before), the stretch they lie in (notes of
// the key one after the other less than a step, the later one's, apart) is
// placed on its steps halved, the fewest times that put each note after the
// one before it (and the first after the stretch before), as long as every
// step stays whole; past that, at the notes' own ticks. So no note moves by
// more than half the step it was placed with. A note ends at the grid point
// nearest to its end, one step of its own after its start at the least, and
// where the next note of its key that starts later starts at the latest.
// All of this is worked out from the played ticks; only where the stretch
// before a stretch ended is taken from the text (its notes checked already).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/roundtrip/model.h"
#include "tools/roundtrip/section_grid.h"

namespace vantrel::roundtrip {

// `played`: the notes of the file, in its order, moved back by the track's
// offset (`offset`, only told in the messages); `found`: the text's. A
// velocity may differ from the played one by `velocityTolerance` (a velocity
// step less one). Adds to `finer` the notes of stretches placed on a finer
// grid (or at their own ticks).
std::vector<Difference> checkGridNotes(int track, int channel, const std::vector<Note>& played,
                                       const std::vector<Note>& found, const SectionGrid& grid,
                                       std::int32_t offset, int velocityTolerance,
                                       std::uint64_t& finer);

}  // namespace vantrel::roundtrip
