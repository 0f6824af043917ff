#include "smf/decoded_track.h"

#include <algorithm>

namespace vantrel {

bool DecodedTrack::decode(EventReader& reader, const TrackChunk& chunk) {
  events.clear();
  data.clear();
  // Most events of a big track are notes of three bytes with running status:
  // reserving for that avoids copying the array as it grows.
  // The chunk's length says how big the track is, unless it lies.
  std::uint64_t size = std::min<std::uint64_t>(chunk.length, reader.file.size() - chunk.start);
  events.reserve(size / 3 + 1);
  reader.rewindTrack(chunk.start);
  std::uint64_t tick = 0;
  std::array<std::uint32_t, kPassCount> perPass{};
  while (!reader.endOfTrack) {
    if (!reader.readEvent()) return false;
    tick += reader.delta;
    DecodedEvent event{tick, 0, reader.status, reader.data1, reader.data2, kNoPass};
    if (reader.length > 0 || reader.status >= 0xF0 || reader.endOfTrack) {
      // SysEx and meta events (also left-out ones, which still have data to skip).
      event.aux = static_cast<std::uint32_t>(data.size());
      data.push_back({reader.position, reader.length});
      if (reader.length > 0 && !reader.skip(static_cast<std::uint32_t>(reader.length))) {
        return false;
      }
    }
    if (event.status >= 0xF0) {
      event.pass = 0;
    } else if (event.status >= 0x80) {
      event.pass = static_cast<std::uint8_t>((event.status & 0x0F) + 1);
    }
    if (event.pass != kNoPass) ++perPass[event.pass];
    events.push_back(event);
  }
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
