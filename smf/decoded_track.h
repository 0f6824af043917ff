// DecodedTrack: the events of one track chunk, decoded once into a compact
// array, so that the 17 passes over a track and the look-aheads of notes and
// controller idioms cost no further decoding.
//
// The events are grouped by the pass that writes them, each group in track
// order, so that a pass reads its own events one after the other; events
// that no pass writes (left out by the filter) are not kept. The data of
// SysEx and meta events stays in the input and is referred to by offset.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "smf/walk.h"
#include "util/populated_array.h"

namespace vantrel {

struct DecodedEvent {
  std::uint64_t tick;    // absolute, from the start of the track
  std::uint32_t order;   // its place among all the track's events, left-out ones too
  std::uint8_t status;   // 0x80 to 0xFF: what the filter left
  std::uint8_t data1;    // a meta event's type
  std::uint8_t data2;
};

struct DecodedTrack {
  PopulatedArray<DecodedEvent> events;
  std::array<std::uint32_t, kPassCount + 1> passBegin{};  // pass p: [passBegin[p], passBegin[p+1])
  // Where the length of each pass 0 event's data is written in the input,
  // in the same order (see systemEventData).
  PopulatedArray<std::uint64_t> dataAt;
  std::uint64_t endTick = 0;     // the end-of-track event's tick
  std::uint32_t endOrder = 0;    // the end-of-track event's order: the last

  std::span<const DecodedEvent> pass(int p) const {
    return {events.data() + passBegin[p], passBegin[p + 1] - passBegin[p]};
  }

  // Makes room for tracks of up to `events` kept events, `systemEvents` of
  // them in pass 0, so that decoding track after track allocates nothing
  // more.
  void reserve(std::size_t events, std::size_t systemEvents);

  // Decodes the track of `chunk`, walked with `filter`: the first `keep[p]`
  // events of each pass p (at most the pass's count). `smf` is the whole
  // SMF. Reuses the storage from track to track.
  void decode(std::span<const std::uint8_t> smf, const EventFilter& filter, const TrackChunk& chunk,
              const PassCounts& keep);
};

// The events of all passes of `counts`.
std::size_t totalEvents(const PassCounts& counts);

}  // namespace vantrel
