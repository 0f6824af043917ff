// What the MML text of an SMF must hold, worked out from the SMF alone and the
// conversion's options: per track the sections that get written, their notes
// (a note starts at a Note On with velocity above 0 and ends at the first
// later Note Off of its key on its channel, or Note On of its key with
// velocity 0, else at the end of its track; notes of duration 0 are not
// written), their commands, and the time-signature changes that lay out the
// bars. Or, for a file that vantrel must refuse, the fault it must give.
//
// With a grid (/Q) the events are where the grid puts them: each note start
// at the nearest grid point, or just after the start before it of its key
// and channel where that one starts as late; each note end at the nearest
// point at least a step after its start and not after the next start of its
// key and channel; every other event at the nearest point, in the file's
// order. The file's Note Offs give way to one for each note.
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
  // With a grid: the note value the events were placed with and its step
  // (0: no grid), and for /Q without a value the one the check chose.
  std::uint32_t gridNote = 0;
  std::uint64_t gridStep = 0;
  std::uint32_t autoGridNote = 0;
};

// `reportedGridNote`, when not 0, is the grid that vantrel said it chose for
// /Q without a value: the events are placed on it, so that a choice that
// differs is told apart from the notes it moves.
Expectation expectFromSmf(std::span<const std::uint8_t> smf, const ConversionOptions& options,
                          std::uint32_t reportedGridNote = 0);

}  // namespace vantrel::roundtrip
