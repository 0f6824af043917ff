// What the MML text of an SMF must hold, worked out from the SMF alone and the
// conversion's options: per track the sections that get written, their notes
// (a note starts at a Note On with velocity above 0 and ends at the first
// later Note Off of its key on its channel, or Note On of its key with
// velocity 0, else at the end of its track; notes of duration 0 are not
// written), their commands, and the time-signature changes that lay out the
// bars. Or, for a file that vantrel must refuse, the fault it must give.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tools/roundtrip/conversion_options.h"
#include "tools/roundtrip/model.h"
#include "tools/roundtrip/smf_events.h"

namespace vantrel::roundtrip {

struct Expectation {
  std::optional<SmfRefusal> refusal;
  Model model;
  // Every time-signature change that the bars follow, in tick order, the
  // first at tick 0 (the pickup's 4/4 included).
  std::vector<RhythmChange> rhythm;
};

Expectation expectFromSmf(std::span<const std::uint8_t> smf, const ConversionOptions& options);

}  // namespace vantrel::roundtrip
