// RhythmTable: every time signature of the file, sorted by tick, with the bar
// length in ticks at each and the key signature in effect; the MML writer
// reads it to place bar lines, and the console shows it as the listing.
//
// It is built once, from the walk over all tracks, and only read after that:
// each pass keeps its own place in it. Entry 0 is at tick 0 and the last
// entry is a sentinel that no position reaches, so the entry after the
// current one always exists.
#pragma once

#include <cassert>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "smf/walk.h"
#include "util/sink.h"

namespace vantrel {

inline constexpr std::uint64_t kSentinelTick = 0x7FFFFFFFFFFFFFFFULL;

struct RhythmEntry {
  std::uint64_t tick = 0;
  std::uint8_t numerator = 4;
  std::uint8_t denominator = 4;  // the note value of the beat: 1 .. 128
  std::int8_t key = 0;           // key signature in effect: sharps (+) or flats (-)
  std::uint8_t mode = 0;         // key signature mode: 0 major, 1 minor
  std::uint32_t barLength = 0;   // ticks
};

class RhythmTable {
 public:
  // No table yet: a song not opened.
  RhythmTable() = default;

  // The table of a file of `division` ticks per quarter note: 4/4 at tick 0,
  // a 4/4 bar from the pickup (`pickupTicks`, 0 for none), then each of
  // `signatures` in the order met, a later one at a tick replacing an earlier
  // one there; a signature that gives no usable bar (numerator 0, exponent
  // above 7, a bar that truncates to 0 ticks) changes nothing. Each entry
  // gets the key signature in effect at its tick (the last met among those
  // of the greatest tick not after it; none: 0 and major); the sentinel gets
  // the last of the file.
  RhythmTable(std::span<const TimeSignatureEvent> signatures,
              std::vector<KeySignatureEvent> keys, std::uint16_t division,
              std::int32_t pickupTicks);

  std::span<const RhythmEntry> entries() const { return entries_; }
  const RhythmEntry& operator[](std::size_t index) const {
    assert(index < entries_.size());  // the sentinel is the last
    return entries_[index];
  }
  std::size_t size() const { return entries_.size(); }

  // "Pointer:" tick "\tLength:" bar "\tKey:" key "\tmi:" mode, a line each;
  // stops at the first write that `sink` refuses, and returns its fault.
  Fault writeListing(Sink& sink) const;
  std::string listing() const;

 private:
  std::vector<RhythmEntry> entries_;
};

}  // namespace vantrel
