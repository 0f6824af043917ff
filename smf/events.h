// The events of a track: delta times, running status and the /M filter, and
// the one loop that steps through a track's events, used by the walk over
// the tracks and by the decoding of a track alike.
//
// Nothing here reads outside the file's bytes: an event that the end of the
// file cuts short ends the loop, and the caller decides what that means.
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

// The /M filter as a table: the status each status byte becomes, 0 for one
// left out. Made once per file.
struct EventFilter {
  explicit EventFilter(std::int32_t mask) {
    for (int s = 0; s < 256; ++s) status[s] = (mask & kStatusFilterBits[s]) ? 0 : static_cast<std::uint8_t>(s);
  }
  std::array<std::uint8_t, 256> status;
};

// A channel message as the loop hands it over. Its status is the one after
// the filter: 0 for a message left out, and for a data byte with no status
// to run on (nothing acts on either).
struct ChannelEvent {
  std::uint64_t tick;  // absolute, from the start of the track
  std::uint8_t status;
  std::uint8_t data1;
  std::uint8_t data2;  // 0 for messages of one data byte
};

// Any other event: SysEx, its escape, a meta event, or a status that no
// file may hold (0xF1 to 0xFE but 0xF7, which has no data).
struct SystemEvent {
  std::uint64_t tick = 0;
  std::uint8_t status = 0;        // after the filter: 0 for one left out
  std::uint8_t metaType = 0;      // of a meta event
  bool endOfTrack = false;        // the end-of-track meta event, left out or not
  std::uint64_t lengthAt = 0;     // where the length of its data is written
  std::uint64_t dataOffset = 0;   // where its data begins
  std::uint32_t dataLength = 0;   // and how many bytes it has
};

// The data of the system event whose length is written at `lengthAt` in
// `file` (a place the loop has read: the data is whole).
inline std::span<const std::uint8_t> systemEventData(std::span<const std::uint8_t> file,
                                                     std::uint64_t lengthAt) {
  std::uint32_t length = 0;
  readVarLen(file, lengthAt, length);
  return file.subspan(lengthAt, length);
}

// Whether a status carries data (SysEx, its escape, meta events). An event
// left out by the filter carries its data still, to be stepped over.
inline bool carriesData(std::uint8_t rawStatus) {
  return rawStatus == 0xF0 || rawStatus == 0xF7 || rawStatus == 0xFF;
}

// Where the loop over a track stopped.
struct TrackEnd {
  std::uint64_t position = 0;  // after the end-of-track event and its data
  bool whole = false;          // false: the file ends inside the track
};

namespace detail {

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

// Most events are channel messages with a delta time of one or two bytes:
// the loop steps over them with this, without the checks for the end of the
// file, while kShortChannelEventMost bytes remain at `pos`. Returns where the
// message's data begins (kChannelDataBytes of `running` bytes), with `delta`
// set and `running` set to a status byte read; 0, with `running` as it was,
// when the event at `pos` is of another kind.
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

}  // namespace detail

// Calls visitor.channel(ChannelEvent) or visitor.system(const SystemEvent&)
// for every event of the track whose first event is at `start` in `file`,
// up to and with its end-of-track event, with the /M filter `filter`, in
// the track's order. Inline, so that each caller's visitor is compiled into
// the loop: every event of a file passes here twice (the walk, then the
// decoding), and the channel messages, most of them, are handed over in
// registers.
template <typename Visitor>
TrackEnd forEachEvent(std::span<const std::uint8_t> file, const EventFilter& filter,
                      std::uint64_t start, Visitor& visitor) {
  using detail::kChannelDataBytes;
  const std::uint8_t* const bytes = file.data();
  const std::uint64_t size = file.size();
  const std::uint64_t fastLimit =
      size >= detail::kShortChannelEventMost ? size - detail::kShortChannelEventMost + 1 : 0;
  // The loop's state in locals, whose addresses never escape: they stay in
  // registers while each event is handed over as a value of its own.
  std::uint64_t pos = start;
  std::uint64_t tick = 0;
  std::uint8_t running = 0;  // the last channel status, 0 none
  for (;;) {
    // Channel messages in a loop of their own (see shortChannelEvent).
    std::uint32_t delta;
    for (std::uint64_t at; pos < fastLimit && (at = detail::shortChannelEvent(bytes, pos, delta, running));) {
      const std::uint8_t dataBytes = kChannelDataBytes[running];
      tick += delta;
      pos = at + dataBytes;
      const std::uint8_t data2 = dataBytes == 2 ? bytes[at + 1] : 0;
      visitor.channel(ChannelEvent{tick, filter.status[running], bytes[at], data2});
    }

    // Any event, with every check of the end of the file.
    if (!readVarLen(file, pos, delta) || pos >= size) return {size, false};
    tick += delta;
    const std::uint8_t b = bytes[pos++];
    if (b < 0xF0) {
      std::uint8_t status = b, data1, data2 = 0;
      if (b >= 0x80) {
        if (pos >= size) return {size, false};
        data1 = bytes[pos++];
        running = b;
      } else {
        data1 = b;
        status = running;
      }
      if (kChannelDataBytes[status] == 2 && status >= 0x80) {
        if (pos >= size) return {size, false};
        data2 = bytes[pos++];
      }
      visitor.channel(ChannelEvent{tick, filter.status[status], data1, data2});
      continue;
    }
    SystemEvent event;
    event.tick = tick;
    event.status = filter.status[b];
    if (carriesData(b)) {
      if (b == 0xFF) {
        if (pos >= size) return {size, false};
        event.metaType = bytes[pos++];
        event.endOfTrack = event.metaType == 0x2F;
      }
      std::uint32_t length;
      event.lengthAt = pos;
      if (!readVarLen(file, pos, length)) return {size, false};
      if (length > size - pos) return {size, false};
      event.dataOffset = pos;
      event.dataLength = length;
      pos += length;
    }
    // Other system statuses have no data bytes: nothing that a file may
    // hold, which the walk reports.
    visitor.system(static_cast<const SystemEvent&>(event));
    if (event.endOfTrack) return {pos, true};
  }
}

}  // namespace vantrel
