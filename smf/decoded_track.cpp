#include "smf/decoded_track.h"

#include <algorithm>
#include <cassert>

namespace vantrel {

std::size_t keptEvents(const TrackChunk& chunk) {
  std::size_t kept = 0;
  for (std::uint32_t count : chunk.passEvents) kept += count;
  return kept;
}

void DecodedTrack::reserve(std::size_t eventCount, std::size_t systemEvents) {
  events.makeRoom(eventCount);
  data.makeRoom(systemEvents);
}

void DecodedTrack::decode(std::span<const std::uint8_t> smf, std::int32_t filterMask,
                          const TrackChunk& chunk) {
  passBegin[0] = 0;
  for (int p = 0; p < kPassCount; ++p) passBegin[p + 1] = passBegin[p] + chunk.passEvents[p];
  events.resizeForWriting(passBegin[kPassCount]);
  data.resizeForWriting(chunk.passEvents[0]);
  // Each event goes straight to its place in its pass's group.
  std::array<std::uint32_t, kPassCount> next;
  std::copy_n(passBegin.begin(), kPassCount, next.begin());
  DecodedEvent* const out = events.data();
  DataRef* const refs = data.data();
  std::uint32_t order = 0;
  const TrackEnd end = forEachEvent(smf, filterMask, chunk.start, [&](const TrackEvent& e) {
    const std::uint8_t pass = kPassOfStatus[e.status];
    if (pass != kNoPass) {
      const std::uint32_t at = next[pass]++;
      out[at] = {e.tick, order, e.status, e.data1, e.data2};
      if (pass == 0) refs[at] = {e.dataOffset, e.dataLength};
    }
    ++order;
    endTick = e.tick;
  });
  // The walk has read the same bytes to the end of the track.
  assert(end.whole && order == chunk.events);
  (void)end;
  endOrder = order - 1;
}

}  // namespace vantrel
