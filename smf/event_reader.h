// EventReader: decodes the events of a track one at a time, from the input
// held in memory.
//
// It keeps running status, applies the /M event filter (a left-out event comes
// back with status 0), and leaves the data of SysEx and meta events unread for
// the caller. It never reads outside the buffer: an event that the end of the
// file cuts short is reported to the caller, who decides what it means.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace vantrel {

// Bits of the event filter (the /M options): a set bit leaves that kind of
// event out. Notes are never left out.
enum FilterBits : std::int32_t {
  kFilterKeyPressure = 0x0004,
  kFilterControlChange = 0x0008,
  kFilterProgramChange = 0x0010,
  kFilterChannelPressure = 0x0020,
  kFilterPitchBend = 0x0040,
  kFilterSysEx = 0x0100,
  kFilterSysExEscape = 0x0200,
  kFilterMeta = 0x0400,
};

// Reads the variable-length quantity at bytes[pos] into `value` and moves
// `pos` past it. At most four bytes are read, so at most 28 bits: a fourth
// byte ends the quantity even with its top bit set. False, with `pos` at the
// end of `bytes`, when the bytes end first.
inline bool readVarLen(std::span<const std::uint8_t> bytes, std::uint64_t& pos,
                       std::uint32_t& value) {
  // Most quantities (the delta times of chords, the lengths of texts) are one
  // byte.
  if (pos < bytes.size() && bytes[pos] < 0x80) {
    value = bytes[pos++];
    return true;
  }
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos >= bytes.size()) return false;
    const std::uint8_t b = bytes[pos++];
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) break;
  }
  return true;
}

// The filter bit that leaves out each status, 0 for those never left out.
constexpr std::array<std::int32_t, 256> makeStatusFilterBits() {
  std::array<std::int32_t, 256> bits{};
  for (int s = 0xA0; s <= 0xEF; ++s) bits[s] = 1 << ((s >> 4) - 8);
  bits[0xF0] = kFilterSysEx;
  bits[0xF7] = kFilterSysExEscape;
  bits[0xFF] = kFilterMeta;
  return bits;
}
inline constexpr std::array<std::int32_t, 256> kStatusFilterBits = makeStatusFilterBits();

// What the reader knows between two events of a track, kept apart from the
// reader so that a tight loop can hold it in registers.
struct EventState {
  std::uint64_t position = 0;      // offset of the next byte to read
  std::uint8_t runningStatus = 0;  // last channel status, 0 none
  bool endOfTrack = false;         // set by the end-of-track meta event
};

// One event as decoded. Fields that an event does not have keep what they
// held: a program change leaves data2 as it was.
struct EventHead {
  std::uint32_t delta = 0;  // delta time
  std::uint8_t status = 0;  // 0: nothing to act on
  std::uint8_t data1 = 0;   // first data byte; meta event type
  std::uint8_t data2 = 0;   // second data byte of two-byte messages
  std::uint32_t length = 0; // SysEx or meta data bytes that follow
};

// Decodes the event at state.position of `file` into `event`, with the event
// filter of `filterMask` (a left-out event comes back with status 0). False
// when the file ends inside the event; the position then stands at the end.
inline bool decodeEvent(std::span<const std::uint8_t> file, std::int32_t filterMask,
                        EventState& state, EventHead& event) {
  const std::uint8_t* const bytes = file.data();
  const std::uint64_t size = file.size();
  std::uint64_t pos = state.position;
  auto cutShort = [&] {
    state.position = size;  // every missing byte lies at the end of the file
    return false;
  };
  std::uint32_t delta;
  if (!readVarLen(file, pos, delta) || pos >= size) return cutShort();
  const std::uint8_t b = bytes[pos++];
  std::uint8_t s = b;
  std::uint32_t length = 0;
  if (b < 0xF0) {
    if (b >= 0x80) {
      if (pos >= size) return cutShort();
      event.data1 = bytes[pos++];
      state.runningStatus = b;
    } else {
      event.data1 = b;
      s = state.runningStatus;
    }
    // All channel messages but program change and channel pressure have a
    // second data byte.
    if (s >= 0x80 && (s & 0xE0) != 0xC0) {
      if (pos >= size) return cutShort();
      event.data2 = bytes[pos++];
    }
  } else if (b == 0xF0 || b == 0xF7) {
    if (!readVarLen(file, pos, length)) return cutShort();
  } else if (b == 0xFF) {
    if (pos >= size) return cutShort();
    event.data1 = bytes[pos++];
    if (!readVarLen(file, pos, length)) return cutShort();
    if (event.data1 == 0x2F) state.endOfTrack = true;
  }
  state.position = pos;
  event.delta = delta;
  event.length = length;
  event.status = (filterMask & kStatusFilterBits[s]) ? 0 : s;
  return true;
}

// The data bytes of a channel message of each status; 1 where there is no
// status to run on, as the byte read as data is all the event has.
constexpr std::array<std::uint8_t, 256> makeChannelDataBytes() {
  std::array<std::uint8_t, 256> bytes{};
  for (int s = 0; s < 0xF0; ++s) bytes[s] = s < 0x80 || (s & 0xE0) == 0xC0 ? 1 : 2;
  return bytes;
}
inline constexpr std::array<std::uint8_t, 256> kChannelDataBytes = makeChannelDataBytes();

// The most bytes that a channel message with a delta time of one or two
// bytes takes.
inline constexpr std::uint64_t kShortChannelEventMost = 5;

// Most events are channel messages with a delta time of one or two bytes;
// tight loops step over them with this, without the checks for the end of
// the file: the caller makes sure that kShortChannelEventMost bytes remain
// at `pos`. Returns where the message's data begins (kChannelDataBytes of
// `running` bytes), with `delta` set and `running` set to a status byte
// read; 0, with `running` as it was, when the event at `pos` is of another
// kind, for decodeEvent.
inline std::uint64_t shortChannelEvent(const std::uint8_t* bytes, std::uint64_t pos,
                                       std::uint32_t& delta, std::uint8_t& running) {
  std::uint64_t next = pos + 1;
  delta = bytes[pos];
  if (delta >= 0x80) {
    if (bytes[next] >= 0x80) return 0;
    delta = (delta & 0x7F) << 7 | bytes[next++];
  }
  const std::uint8_t b = bytes[next];
  if (b >= 0xF0) return 0;
  if (b >= 0x80) {
    running = b;
    ++next;
  }
  return next;
}

struct EventReader {
  std::span<const std::uint8_t> file;  // the whole SMF
  std::uint64_t position = 0;          // offset of the next byte to read
  std::int32_t filterMask = 0;         // FilterBits of the events left out

  std::uint8_t runningStatus = 0;  // last channel status, 0 none
  std::uint32_t delta = 0;         // delta time of the current event
  std::uint8_t status = 0;         // 0: nothing to act on
  std::uint8_t data1 = 0;          // first data byte; meta event type
  std::uint8_t data2 = 0;          // second data byte of two-byte messages
  std::int32_t length = 0;         // SysEx or meta data bytes still unread
  bool endOfTrack = false;         // set by the end-of-track meta event

  // Moves to `offset` (the first event of a track) and forgets running
  // status and the end of track.
  void rewindTrack(std::uint64_t offset) {
    position = offset;
    runningStatus = 0;
    endOfTrack = false;
  }

  // Decodes the next event into the fields. False when the file ends inside
  // the event; `position` then stands at the end of the file. Inline: every
  // event of every track passes here twice.
  [[nodiscard]] bool readEvent() {
    EventState state{position, runningStatus, endOfTrack};
    EventHead event{delta, status, data1, data2, static_cast<std::uint32_t>(length)};
    const bool whole = decodeEvent(file, filterMask, state, event);
    position = state.position;
    runningStatus = state.runningStatus;
    endOfTrack = state.endOfTrack;
    if (!whole) return false;
    delta = event.delta;
    status = event.status;
    data1 = event.data1;
    data2 = event.data2;
    length = static_cast<std::int32_t>(event.length);
    return true;
  }

  // Steps over `count` bytes (the data of a SysEx or meta event). False, and
  // nothing skipped, when the file holds fewer.
  [[nodiscard]] bool skip(std::uint64_t count) {
    if (count > file.size() - position) return false;
    position += count;
    return true;
  }
};

}  // namespace vantrel
