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

void DecodedTrack::reserve(std::size_t eventCount, std::size_t dataEventCount) {
  events.reserve(eventCount);
  passOrder.reserve(eventCount);
  data.reserve(dataEventCount);
}

bool DecodedTrack::decode(EventReader& trackReader, const TrackChunk& chunk) {
  events.clear();
  data.clear();
  events.reserve(chunk.eventCount);
  data.reserve(chunk.dataEventCount);
  // A copy in a local, which the stores into the arrays cannot alias: its
  // fields stay in registers.
  EventReader reader = trackReader;
  reader.rewindTrack(chunk.start);
  std::uint64_t tick = 0;
  std::array<std::uint32_t, kPassCount> perPass{};
  while (!reader.endOfTrack) {
    if (!reader.readEvent()) {
      trackReader = reader;
      return false;
    }
    tick += reader.delta;
    const std::uint8_t pass = kPassOfStatus[reader.status];
    DecodedEvent event{tick, 0, reader.status, reader.data1, reader.data2, pass};
    if (reader.length > 0 || reader.status >= 0xF0 || reader.endOfTrack) {
      // SysEx and meta events (also left-out ones, which still have data to skip).
      event.aux = static_cast<std::uint32_t>(data.size());
      data.push_back({reader.position, reader.length});
      if (reader.length > 0 && !reader.skip(static_cast<std::uint32_t>(reader.length))) {
        trackReader = reader;
        return false;
      }
    }
    if (pass != kNoPass) ++perPass[pass];
    events.push_back(event);
  }
  trackReader = reader;
  endPosition = reader.position;

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
