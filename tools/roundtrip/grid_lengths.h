// The lengths of a text written on a grid, held to what a musician reads:
// note values, one dotted at most, from those that are whole steps of the
// grid (for sixteenths 1, 2, 4, 8, 16 and the dotted ones that are whole
// steps; beside a triplet grid, of the step the two grids share), never "%"
// ticks. A length written as one is a single value where one fits, else
// tied values longest first. Only in a bar that is no whole number of steps,
// and in the time of a note placed off the grid (a stretch of notes placed
// on a finer one), may a length end in values of fewer ticks than that.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/roundtrip/grid_points.h"
#include "tools/roundtrip/model.h"

namespace vantrel::roundtrip {

// Checks every written length of `found` (a section of track `track`) on
// the grid of note value `note` (`grid`, of its step). `channelNotes`: the
// notes of all the channel's voices, whose starts and ends off the grid
// allow shorter values (the first voice runs to the channel's last event). `wholeGroups`: the main line's lengths are
// cut only at bar lines and rhythm changes, so that each group of tied
// values is one length as written (true with bar lines; a sub-block's
// length always is one).
std::vector<Difference> checkGridLengths(int track, const Section& found,
                                         const std::vector<Note>& channelNotes, const GridPoints& grid,
                                         std::uint64_t note, int division, bool wholeGroups);

}  // namespace vantrel::roundtrip
