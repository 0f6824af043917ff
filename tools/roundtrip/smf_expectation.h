// What the MML text of an SMF must hold, worked out from the SMF alone and the
// conversion's options: per track the sections that get written, their notes
// (a note starts at a Note On with velocity above 0 and ends at the first
// later Note Off of its key on its channel, or Note On of its key with
// velocity 0, else at the end of its track; notes of duration 0 are not
// written), their commands, and the time-signature changes that lay out the
// bars. Or, for a file that vantrel must refuse, the fault it must give.
//
// With a grid (/Q) every event of a track is first moved back by the
// track's offset; then each event but a note at the nearest point of its
// section's grid (see SectionGrid), in the file's order, of the values of
// one controller at one point only the last, and none equal to the value in
// effect. The notes are listed as they were played (in `playedNotes`, moved
// back by the offset): the comparison places them, stretch by stretch of
// each key, beside the text's (see grid_notes.h).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "tools/roundtrip/auto_grid.h"
#include "tools/roundtrip/conversion_options.h"
#include "tools/roundtrip/grid_points.h"
#include "tools/roundtrip/model.h"
#include "tools/roundtrip/section_grid.h"
#include "tools/roundtrip/smf_events.h"

namespace vantrel::roundtrip {

struct Expectation {
  std::optional<SmfRefusal> refusal;
  Model model;
  // Every time-signature change that the bars follow, in tick order, the
  // first at tick 0 (the pickup's 4/4 included).
  std::vector<RhythmChange> rhythm;
  // With a grid: the plan the events were placed with, the straight grid's
  // note value and step (0: no grid) and the triplet grid's step (0: none);
  // for /Q without a value the plan the check chose; the bars, and the grid
  // of each section, by track and channel (0 for the system events).
  GridPlan plan;
  std::uint32_t gridNote = 0;
  std::uint64_t gridStep = 0;
  std::uint64_t tripletStep = 0;
  GridPlan autoPlan;
  std::shared_ptr<const GridPoints> bars;
  std::map<std::pair<int, int>, SectionGrid> sectionGrids;
};

// `reported`, when given, is the grid that vantrel said it chose for /Q
// without a value: the events are placed on it, so that a choice that
// differs is told apart from the notes it moves.
Expectation expectFromSmf(std::span<const std::uint8_t> smf, const ConversionOptions& options,
                          const GridPlan* reported = nullptr);

}  // namespace vantrel::roundtrip
