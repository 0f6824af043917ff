// DecodedTrack: the events of one track chunk, decoded once into a compact
// array, so that the 17 passes over a track and the look-aheads of notes and
// controller idioms cost no further decoding.
//
// Each event keeps what the event reader gave for it (status after the /M
// filter, data bytes) and its absolute tick; the data of a SysEx or meta event
// stays in the input and is referred to by offset. The events are also listed
// by the pass that writes them, in track order, so that a pass visits only
// its own events.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "smf/event_reader.h"
#include "smf/populated_allocator.h"
#include "smf/smf_header.h"

namespace vantrel {

inline constexpr std::uint8_t kNoPass = 255;  // written by no pass (status 0)
inline constexpr int kPassCount = 17;         // 0: system events; 1..16: channels

struct DecodedEvent {
  std::uint64_t tick;   // absolute, from the start of the track
  std::uint32_t aux;    // SysEx/meta: index into `data`; Note On: set by the note sweep
  std::uint8_t status;  // as the reader gave it: 0 when left out
  std::uint8_t data1;
  std::uint8_t data2;
  std::uint8_t pass;    // the pass that writes it, or kNoPass
};

// Where the data of a SysEx or meta event lies in the input.
struct DataRef {
  std::uint64_t offset;
  std::int32_t length;
};

struct DecodedTrack {
  template <typename T>
  using Array = std::vector<T, PopulatedAllocator<T>>;

  Array<DecodedEvent> events;  // the last one is the end-of-track event
  Array<DataRef> data;
  Array<std::uint32_t> passOrder;           // event indices grouped by pass
  std::array<std::uint32_t, kPassCount + 1> passBegin{};  // pass p: [passBegin[p], passBegin[p+1])

  // Makes room for tracks of up to `events` events, `dataEvents` of them
  // with data, so that decoding track after track allocates nothing more.
  void reserve(std::size_t events, std::size_t dataEvents);

  // Decodes the track of `chunk`, up to and with its end-of-track event.
  // False when the file ends inside the track. Reuses the vectors' storage
  // from track to track.
  // `file` is the whole SMF; `filterMask` leaves events out as the reader does.
  [[nodiscard]] bool decode(std::span<const std::uint8_t> file, std::int32_t filterMask,
                            const TrackChunk& chunk);
};

}  // namespace vantrel
