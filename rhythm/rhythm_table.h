// RhythmTable: every time signature of the file, sorted by tick, with the bar
// length in ticks at each; the MML writer walks it to place bar lines.
//
// It is built once, by a walk over all tracks before any is converted, and is
// only read after that: each pass keeps its own place in it. Entry 0 is at
// tick 0 and the last entry is a sentinel that no position reaches, so the
// entry after the current one always exists.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "smf/smf_header.h"

namespace vantrel {

inline constexpr std::uint64_t kSentinelTick = 0x7FFFFFFFFFFFFFFFULL;

struct RhythmEntry {
  std::uint64_t tick = 0;
  std::uint8_t numerator = 4;
  std::uint8_t denominator = 4;  // the note value of the beat: 1 .. 128
  std::int8_t key = 0;           // key signature in effect: sharps (+) or flats (-)
  std::uint8_t mi = 0;           // key signature mode: 0 major, 1 minor
  std::uint32_t barLength = 0;   // ticks
};

struct RhythmTable {
  std::vector<RhythmEntry> entries;

  std::uint32_t count() const { return static_cast<std::uint32_t>(entries.size()); }

  // Inserts a time signature at `tick`, or overwrites the one already there.
  // A signature that gives no usable bar (numerator 0, exponent above 7, or a
  // bar that truncates to 0 ticks) changes nothing.
  void insertRhythm(std::uint64_t tick, std::uint8_t numerator, std::uint8_t exponent,
                    std::uint16_t division);

  // Sorts the entries by tick (ticks are unique).
  void sortEntries();

  // "Pointer:" tick "\tLength:" bar "\tKey:" key "\tmi:" mi, one line each.
  std::string listing() const;

 private:
  std::unordered_map<std::uint64_t, std::size_t> indexOfTick_;  // valid until sorted
};

// The key signatures met in the walk, in the order met.
struct KeySignature {
  std::uint64_t tick;
  std::int8_t key;
  std::uint8_t mi;
};

// Gives each entry the key signature in effect at its tick: the one with the
// greatest tick at or before it, the last met among equals; 0 and 0 if none.
// The sentinel gets the last one of the file.
void assignKeys(RhythmTable& table, std::vector<KeySignature> keys);

// The walk before the conversion: reads every track of `file` once, in file
// order, with the event filter of `filterMask` (left-out signatures do not
// count), and fills `table` with 4/4 at tick 0, a 4/4 bar at the pickup when
// there is one, every time signature, the sentinel, and the key signatures in
// effect. `tracks` receives where each track chunk begins and how many events
// it holds. Returns the message of a fault in the data (a missing track
// chunk, a track cut short), or nullptr. With `threads` above 1 the tracks
// of a big file are walked on that many threads; the result is the same.
[[nodiscard]] const char* buildRhythmTable(std::span<const std::uint8_t> file,
                                           const SmfHeader& header, std::int32_t filterMask,
                                           std::int32_t pickupTicks, RhythmTable& table,
                                           std::vector<TrackChunk>& tracks, int threads = 1);

}  // namespace vantrel
