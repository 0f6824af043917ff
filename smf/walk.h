// The walk: one pass over every track chunk of an SMF before anything is
// converted. It finds where each track lies and how many events of each
// kind it holds (so that decoding allocates once), every time and key
// signature (the bar structure of the whole file, which every track's text
// needs), and the first fault in the data (so that the conversion knows
// where to stop before it writes a byte of the tracks).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "smf/events.h"
#include "smf/smf_header.h"
#include "util/fault.h"

namespace vantrel {

// The events of a track go to 17 passes: pass 0 writes SysEx and meta
// events, pass n the messages of MIDI channel n.
inline constexpr int kPassCount = 17;
// Written by no pass (status 0): counted after the passes.
inline constexpr std::uint8_t kNoPass = kPassCount;

// The pass that writes each status: 0 the system events, n channel n, none
// for a status of 0 (left out, or a data byte with no running status).
constexpr std::array<std::uint8_t, 256> makePassOfStatus() {
  std::array<std::uint8_t, 256> pass{};
  for (int s = 0; s < 256; ++s) {
    pass[s] = s >= 0xF0 ? 0 : s >= 0x80 ? static_cast<std::uint8_t>((s & 0x0F) + 1) : kNoPass;
  }
  return pass;
}
inline constexpr std::array<std::uint8_t, 256> kPassOfStatus = makePassOfStatus();

struct TrackChunk {
  std::uint64_t start = 0;   // offset of the track's first event
  std::uint32_t length = 0;  // the chunk's length field: only reported
  std::uint32_t events = 0;  // all its events, those written by no pass too
  // The events of each pass, as the filter leaves them.
  std::array<std::uint32_t, kPassCount> passEvents{};
};

// How many events of each pass of a track are decoded and written: all of
// them; none of a channel that is not converted; of a track with a fault in
// its events, only the system events up to the fault.
using PassCounts = std::array<std::uint32_t, kPassCount>;

// Stop at no event: the track has no fault.
inline constexpr std::uint32_t kNoStop = 0xFFFFFFFF;

struct TimeSignatureEvent {
  std::uint64_t tick;
  std::uint8_t numerator;
  std::uint8_t exponent;  // the denominator is 2 to this power
};

struct KeySignatureEvent {
  std::uint64_t tick;
  std::int8_t key;  // sharps (+) or flats (-)
  std::uint8_t mode;  // 0 major, 1 minor
};

struct Walk {
  // The tracks in file order. After a fault of the chunks (a missing track
  // chunk, a track cut short), those before it.
  std::vector<TrackChunk> tracks;
  // Every signature met, in file order (those the filter leaves out are not
  // met). A signature counts with its first two bytes, whatever its length.
  std::vector<TimeSignatureEvent> timeSignatures;
  std::vector<KeySignatureEvent> keySignatures;

  // The first fault. A fault of the chunks (kNoMTrk, kTrackCutShort) leaves
  // nothing of the tracks to convert; a fault of an event (one that no file
  // may hold, a meta event of the wrong length) lets the conversion write
  // everything before it: the tracks before `faultTrack`, and that track's
  // system events before its `faultEvent`-th one (counted from 0).
  Fault fault;
  std::uint32_t faultTrack = 0;
  std::uint32_t faultEvent = 0;

  bool chunksWhole() const {
    return fault.kind != FaultKind::kNoMTrk && fault.kind != FaultKind::kTrackCutShort;
  }
};

// What the walk finds in one track: from its first event at `start` to its
// end-of-track event (`end`, after it), unless the file ends first.
struct TrackWalk {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  bool whole = false;
  std::uint32_t events = 0;
  std::array<std::uint32_t, kPassCount + 1> counts{};  // the last: no pass
  std::vector<TimeSignatureEvent> timeSignatures;
  std::vector<KeySignatureEvent> keySignatures;
  FaultKind fault = FaultKind::kNone;  // the first fault of an event
  std::uint32_t faultEvent = 0;        // of the track's system events
};
TrackWalk walkTrack(std::span<const std::uint8_t> smf, const EventFilter& filter,
                    std::uint64_t start);

// Where the tracks would begin if the chunk lengths were right, for walking
// them side by side: as many as the chunk headers found that way.
std::vector<std::uint64_t> trackStartsByLength(std::span<const std::uint8_t> smf,
                                               const SmfHeader& header);

// Walks the `header.trackCount` tracks of `smf`, which starts with the header
// chunk, with the /M filter of `filterMask`: an event left out is neither
// a signature nor a fault. A track of `ahead` (walked ahead, say on another
// thread, from where the chunk lengths put it) is taken where it begins where
// the track truly does; no length is trusted.
Walk walkTracks(std::span<const std::uint8_t> smf, const SmfHeader& header,
                std::int32_t filterMask, std::span<TrackWalk> ahead = {});

// The fault of a system event (status 0xF0 and up, as the filter left it),
// or kNone: a status that is neither SysEx nor meta, or a meta event whose
// type is unknown or whose data has the wrong length for its type.
FaultKind systemEventFault(std::uint8_t status, std::uint8_t metaType, std::uint32_t length);

}  // namespace vantrel
