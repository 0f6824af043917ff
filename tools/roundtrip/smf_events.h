// An SMF read event by event, on its own: the header chunk, and for every
// track the decoded events with absolute ticks. It follows the reading rules
// of the converter's input (no chunk length positions anything: each track
// header is read where the previous track's end-of-track event left off;
// running status survives SysEx and meta events; the /M filter blanks events)
// but shares no code with it, so that the two can be checked against each
// other.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tools/roundtrip/fault_texts.h"

namespace vantrel::roundtrip {

struct SmfEvent {
  std::uint64_t tick = 0;
  std::uint32_t delta = 0;
  std::uint8_t status = 0;             // after the filter; 0 is an event with nothing to act on
  std::uint8_t data1 = 0;              // first data byte; the type of a meta event
  std::uint8_t data2 = 0;              // second data byte of two-byte channel messages
  std::span<const std::uint8_t> data;  // the data of a SysEx or meta event
  bool runningStatus = false;          // stored without its status byte
};

struct SmfTrack {
  std::uint32_t size = 0;        // the chunk's length field, only reported
  std::vector<SmfEvent> events;  // up to and with the end-of-track event
  std::uint64_t endTick = 0;     // tick of the end-of-track event
};

struct SmfFile {
  int format = 0;
  int division = 0;
  std::uint32_t headerSize = 0;
  std::vector<SmfTrack> tracks;
};

// Where a file is refused, if it is: the fault, and the track (-1 for the
// header) and tick where it lies.
struct SmfRefusal {
  faults::Fault fault;
  int track = -1;
  std::uint64_t tick = 0;
};

// Reads the whole file with the given filter mask. Faults found while the
// tracks are walked the first time (header, chunk and truncation faults) are
// returned; faults that only the writing of system events meets are left to
// the caller.
std::optional<SmfRefusal> readSmf(std::span<const std::uint8_t> bytes, std::int32_t filterMask,
                                  SmfFile& file);

}  // namespace vantrel::roundtrip
