// Quantizer: moves the events of a decoded track onto a grid (see GridPlan),
// so that every note starts and ends on a grid point and its length is a
// note value, and no note drifts from where it was played.
//
// The grid: steps from each bar line (a pickup's from its end), or, where
// the plan has a triplet grid beside the straight one, from each beat (a
// quarter note), each beat of each channel on the triplet grid where the
// distances of its note starts from it add up to less than half of those
// from the straight grid, else on the straight one. A track with an offset
// is moved back by it first.
//
// A note starts at its nearest grid point. Where notes of one key come
// faster than the grid holds them (a roll, a flam: two that would start at
// one point, or out of their order), that stretch of them, the notes of the
// key no more than a step apart, is placed on the grid of half the step,
// halved again until each starts after the one before, as long as the step
// stays a whole number of ticks; past that, at their own ticks (the second
// of two at one tick a tick later). So no note moves by more than half the
// step it is placed with, none is lost or merged, and the notes of one key
// keep their order. A note ends at the grid point nearest to its end, one
// step of its own after its start at the least, and where the next note of
// its key starts at the latest. Each note gets a Note Off of its own; the
// file's Note Offs go.
//
// Every other event goes to the nearest grid point, keeping the file's order
// (at one tick, the notes that end there come first). Of the values of one
// controller (each controller number, pitch bend, channel pressure, the
// pressure of each key) that fall on one grid point only the last stays, and
// a value equal to the one in effect is dropped; the controllers of bank
// select, RPN and NRPN (0, 6, 32, 38, 96 to 101) and the channel mode
// messages (120 and up) always stay.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

#include "grid/grid.h"
#include "grid/grid_choice.h"
#include "smf/decoded_track.h"
#include "smf/note_spans.h"
#include "smf/track_view.h"
#include "util/populated_array.h"

namespace vantrel {

class Quantizer : public TrackTransform {
 public:
  // The grid of `plan` in the bars of `rhythm` at `division` ticks per
  // quarter note; `pickupTicks` as /A gives it.
  Quantizer(const RhythmTable& rhythm, std::int32_t pickupTicks, std::uint16_t division,
            const GridPlan& plan);

  void reserve(std::size_t events, std::size_t systemEvents) override;

  // The events of `in` moved onto the grid, with the spans of its notes. The
  // event orders of `in` are kept, but a Note Off made here has the order
  // kMadeOrder, which follows no event.
  TrackView apply(TrackView in) override;

  static constexpr std::uint32_t kMadeOrder = 0xFFFFFFFF;

 private:
  // A note of the pass being moved.
  struct Note {
    std::uint64_t tick;   // where it was played (less the track's offset)
    std::uint64_t end;    // where it ended
    std::uint64_t start;  // where it is placed
    std::uint64_t cellEnd;  // of the stretch its tick lies in, where it was placed on that one's grid
    std::uint32_t step;   // of the grid it is placed on
    std::uint32_t moved;  // its index in moved_
    std::uint8_t key;
  };
  // A Note Off made for a note, and where its note went.
  struct Off {
    DecodedEvent event;
    std::uint32_t note;  // the note's index in moved_
  };
  // A stretch of the grid: a bar, or a beat, and the step it is divided by.
  struct Cell {
    Bars::Bar bar;
    std::uint32_t step;
  };

  std::uint64_t shifted(std::uint64_t tick) const {
    if (offset_ >= 0) return tick >= std::uint64_t(offset_) ? tick - std::uint64_t(offset_) : 0;
    return tick + std::uint64_t(-std::int64_t{offset_});
  }
  // The stretch that holds `tick` (of `bars`, one of the two below).
  Cell cellAt(Bars& bars, std::uint64_t tick) {
    if (triplet_ == 0) return {bars.at(tick), straight_};
    const Bars::Bar beat = bars.beatAt(tick, division_);
    const bool triplet = std::binary_search(tripletBeats_.begin(), tripletBeats_.end(), beat.start);
    return {beat, triplet ? triplet_ : straight_};
  }
  // The grid point of steps of `step` in `bar` nearest to `tick`, halfway
  // the later; the first after it.
  static std::uint64_t nearest(std::uint64_t tick, const Bars::Bar& bar, std::uint32_t step) {
    std::uint64_t before, next;
    Grid::around(tick, bar, step, before, next);
    return tick - before < next - tick ? before : next;
  }
  static std::uint64_t after(std::uint64_t tick, const Bars::Bar& bar, std::uint32_t step) {
    std::uint64_t before, next;
    Grid::around(tick, bar, step, before, next);
    return next;
  }

  // Chooses the grid of each beat of the pass from its notes (notes_).
  void chooseBeats();
  // Places the notes of each key so that none drifts (see above).
  void placeKeys();
  // Places notes_[from..to) of one key (indices into keyOrder_), none
  // before `after` + 1.
  void placeStretch(std::uint32_t from, std::uint32_t to, std::uint64_t after, bool any);
  // Marks the controller values that are overridden or change nothing, of
  // the `count` events of moved_ (valued_ lists those with a value, in the
  // order of their ticks where `inOrder`).
  void dropRedundant(std::uint32_t count, bool inOrder);

  // Moves the events of `pass` into out_ from `to` on; returns where they
  // end.
  std::uint32_t quantizePass(TrackView in, int pass, std::uint32_t to);

  const std::uint16_t division_;
  const std::uint32_t straight_;  // the straight grid's step
  const std::uint32_t triplet_;   // the triplet grid's, 0 for none
  const GridPlan plan_;
  std::int32_t offset_ = 0;  // of the track being moved
  // Two of the bars, so that each keeps its place: the starts of a pass come
  // in order, and so, mostly, do the ends.
  Bars starts_;
  Bars ends_;
  DecodedTrack out_;
  NoteSpans outSpans_;
  // The beats of the pass on the triplet grid, ascending.
  PopulatedArray<std::uint64_t> tripletBeats_;
  // The events of the pass being moved, in its order; its notes; the Note
  // Offs made, in the order of their notes; and as the pass is written, where
  // each of moved_ went and how many events but Note Offs were written by
  // then.
  PopulatedArray<DecodedEvent> moved_;
  PopulatedArray<std::uint8_t> dropped_;
  PopulatedArray<std::uint32_t> valued_;  // the events of moved_ with a controller value
  PopulatedArray<Note> notes_;
  PopulatedArray<std::uint32_t> keyOrder_;  // notes_ by key, each key's in order
  PopulatedArray<Off> offs_;
  PopulatedArray<std::uint32_t> byTick_;  // the order of moved_ by tick, where not its own
  // A Note Off of offs_ not yet written, on a heap: the first by tick, then
  // by note.
  struct Pending {
    std::uint64_t tick;
    std::uint32_t note;
    bool operator>(const Pending& other) const {
      return tick != other.tick ? tick > other.tick : note > other.note;
    }
  };
  PopulatedArray<Pending> heap_;
  PopulatedArray<std::uint32_t> placedAt_;
  PopulatedArray<std::uint32_t> startsBefore_;
};

}  // namespace vantrel
