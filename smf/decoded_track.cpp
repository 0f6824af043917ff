#include "smf/decoded_track.h"

namespace vantrel {
namespace {

// The pass that writes each status: 0 the system events, n channel n, none
// for a status of 0 (left out, or a data byte with no running status).
constexpr std::array<std::uint8_t, 256> makePassOfStatus() {
  std::array<std::uint8_t, 256> pass{};
  for (int s = 0; s < 256; ++s) {
    pass[s] = s >= 0xF0 ? 0 : s >= 0x80 ? static_cast<std::uint8_t>((s & 0x0F) + 1) : kNoPass;
  }
  return pass;
}
constexpr std::array<std::uint8_t, 256> kPassOfStatus = makePassOfStatus();

}  // namespace

namespace {

// Room for `count` elements. The old elements are not needed: dropping them
// first saves copying them.
template <typename Array>
void makeRoom(Array& array, std::size_t count) {
  if (array.capacity() >= count) return;
  array.clear();
  array.reserve(count);
}

}  // namespace

void DecodedTrack::reserve(std::size_t eventCount, std::size_t dataEventCount) {
  makeRoom(events, eventCount);
  makeRoom(passOrder, eventCount);
  makeRoom(data, dataEventCount);
}

bool DecodedTrack::decode(std::span<const std::uint8_t> file, std::int32_t filterMask,
                          const TrackChunk& chunk) {
  reserve(chunk.eventCount, chunk.dataEventCount);
  events.clear();
  data.clear();
  // The reader's state in a local, which the stores into the arrays cannot
  // alias: it stays in registers.
  EventState state{chunk.start, 0, false};
  EventHead event;
  std::uint64_t tick = 0;
  std::array<std::uint32_t, kPassCount> perPass{};
  const std::uint8_t* const bytes = file.data();
  const std::uint64_t fastLimit =
      file.size() >= kShortChannelEventMost ? file.size() - kShortChannelEventMost + 1 : 0;
  while (!state.endOfTrack) {
    // Channel messages in a loop of their own (see shortChannelEvent).
    std::uint64_t pos = state.position;
    std::uint8_t running = state.runningStatus;
    std::uint32_t delta;
    for (std::uint64_t at; pos < fastLimit && (at = shortChannelEvent(bytes, pos, delta, running));) {
      const std::uint8_t dataBytes = kChannelDataBytes[running];
      event.data1 = bytes[at];
      if (dataBytes == 2) event.data2 = bytes[at + 1];
      pos = at + dataBytes;
      tick += delta;
      const std::uint8_t status = (filterMask & kStatusFilterBits[running]) ? 0 : running;
      const std::uint8_t pass = kPassOfStatus[status];
      if (pass != kNoPass) ++perPass[pass];
      events.push_back({tick, 0, status, event.data1, event.data2, pass});
    }
    state.position = pos;
    state.runningStatus = running;
    if (!decodeEvent(file, filterMask, state, event)) return false;
    tick += event.delta;
    const std::uint8_t pass = kPassOfStatus[event.status];
    DecodedEvent decoded{tick, 0, event.status, event.data1, event.data2, pass};
    if (event.length > 0 || event.status >= 0xF0 || state.endOfTrack) {
      // SysEx and meta events (also left-out ones, which still have data to skip).
      decoded.aux = static_cast<std::uint32_t>(data.size());
      data.push_back({state.position, static_cast<std::int32_t>(event.length)});
      if (event.length > file.size() - state.position) return false;
      state.position += event.length;
    }
    if (pass != kNoPass) ++perPass[pass];
    events.push_back(decoded);
  }

  // A counting sort keeps the track order within each pass.
  passBegin[0] = 0;
  for (int p = 0; p < kPassCount; ++p) passBegin[p + 1] = passBegin[p] + perPass[p];
  passOrder.resize(passBegin[kPassCount]);
  std::array<std::uint32_t, kPassCount> next;
  for (int p = 0; p < kPassCount; ++p) next[p] = passBegin[p];
  for (std::uint32_t i = 0; i < events.size(); ++i) {
    std::uint8_t pass = events[i].pass;
    if (pass != kNoPass) passOrder[next[pass]++] = i;
  }
  return true;
}

}  // namespace vantrel
