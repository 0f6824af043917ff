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

#include "grid/grid.h"
#include "smf/decoded_track.h"
#include "smf/note_spans.h"
#include "smf/track_view.h"
#include "util/populated_array.h"

namespace vantrel {

class Quantizer : public TrackTransform {
 public:
  // Grids of `step` ticks in the bars of `rhythm` (see Grid).
  Quantizer(const RhythmTable& rhythm, std::int32_t pickupTicks, std::uint32_t step)
      : starts_(rhythm, pickupTicks, step), ends_(rhythm, pickupTicks, step) {}

  void reserve(std::size_t events, std::size_t systemEvents) override;

  // The events of `in` moved onto the grid, with the spans of its notes. The
  // event orders of `in` are kept, but a Note Off made here has the order
  // kMadeOrder, which follows no event.
  TrackView apply(TrackView in) override;

  static constexpr std::uint32_t kMadeOrder = 0xFFFFFFFF;

 private:
  // A Note Off made for a note, and where its note went.
  struct Off {
    DecodedEvent event;
    std::uint32_t note;  // the note's index in moved_
  };

  // Moves the events of `pass` into out_ from `to` on; returns where they
  // end.
  std::uint32_t quantizePass(TrackView in, int pass, std::uint32_t to);

  // Two of the one grid, so that each keeps its place in the bars: the
  // starts of a pass come in order, and so, mostly, do the ends.
  Grid starts_;
  Grid ends_;
  DecodedTrack out_;
  NoteSpans outSpans_;
  // The events of the pass being moved, in its order; the Note Offs made,
  // in the order of their notes; and as the pass is written, where each of
  // moved_ went and how many events but Note Offs were written by then.
  PopulatedArray<DecodedEvent> moved_;
  PopulatedArray<Off> offs_;
  PopulatedArray<std::uint32_t> byTick_;  // the order of moved_ by tick, where not its own
  PopulatedArray<std::uint32_t> placedAt_;
  PopulatedArray<std::uint32_t> startsBefore_;
};

}  // namespace vantrel
