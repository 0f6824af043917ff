// The grid that /Q without a value (or --quantize=auto) must choose for a
// file, worked out from the check's own reading of it: of the note values
// 4, 8, 12, 16, 24 and 32, coarsest first, whose step is a whole number of
// ticks, the first on which the note starts of all tracks move by a 96th of
// a whole note or less on average and by more than a 32nd for at most 1 in
// 100 of them; if none, the finest whose step is whole; 0 when none is.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/roundtrip/model.h"
#include "tools/roundtrip/smf_events.h"

namespace vantrel::roundtrip {

std::uint32_t autoGridNote(const SmfFile& file, const std::vector<RhythmChange>& rhythm,
                           bool pickup);

}  // namespace vantrel::roundtrip
