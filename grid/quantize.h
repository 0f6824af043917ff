// Quantizer: moves the events of a decoded track onto a grid, so that every
// note starts and ends on a grid point and its length is a note value.
//
// A note's start goes to the nearest grid point, its end to the nearest grid
// point at least one step after its start. No note is lost or merged: the
// notes of one key and channel keep their order, and one that would start
// where (or before) the note before it does starts at the next grid point
// after that one's start, which then ends there if it sounded longer. Each
// note gets a Note Off of its own at its end; the file's Note Offs go. Every
// other event goes to the nearest grid point, keeping the file's order: at
// one tick, the notes that end there come first.
#pragma once

#include <cstdint>
#include <vector>

#include "grid/grid.h"
#include "smf/decoded_track.h"
#include "smf/note_spans.h"

namespace vantrel {

class Quantizer {
 public:
  explicit Quantizer(const Grid& grid) : grid_(grid) {}

  // Writes into `out` the events of `in` (whose notes end as `spans` says)
  // moved onto the grid. The event orders of `in` are kept, but a Note Off
  // made here has the order kMadeOrder, which follows no event.
  void quantize(const DecodedTrack& in, const NoteSpans& spans, DecodedTrack& out);

  static constexpr std::uint32_t kMadeOrder = 0xFFFFFFFF;

 private:
  struct Placed {
    std::uint64_t tick;
    std::uint32_t sequence;  // where it came in the pass, Note Offs made at their note
    bool noteOff;            // at one tick, the notes that end there come first
    DecodedEvent event;
  };
  void quantizePass(const DecodedTrack& in, const NoteSpans& spans, int pass);

  const Grid& grid_;
  std::vector<Placed> placed_;  // of the pass being moved
};

}  // namespace vantrel
