#include "smf/decoded_track.h"

#include <algorithm>
#include <cassert>

namespace vantrel {

std::size_t totalEvents(const PassCounts& counts) {
  std::size_t total = 0;
  for (std::uint32_t count : counts) total += count;
  return total;
}

void DecodedTrack::reserve(std::size_t eventCount, std::size_t systemEvents) {
  events.makeRoom(eventCount);
  dataAt.makeRoom(systemEvents);
}

void DecodedTrack::decode(std::span<const std::uint8_t> smf, const EventFilter& filter,
                          const TrackChunk& chunk, const PassCounts& keep) {
  passBegin[0] = 0;
  for (int p = 0; p < kPassCount; ++p) {
    assert(keep[p] <= chunk.passEvents[p]);
    passBegin[p + 1] = passBegin[p] + keep[p];
  }
  dataAt.resizeForWriting(keep[0]);
  // Each event goes straight to its place in its pass's group, which is
  // filled up to its count: beyond it nothing is kept.
  struct Visitor {
    std::array<std::uint32_t, kPassCount> next;
    std::array<std::uint32_t, kPassCount> end;
    DecodedEvent* events;
    std::uint64_t* dataAt;
    std::uint32_t order = 0;
    std::uint64_t endTick = 0;

    void channel(ChannelEvent e) {
      const std::uint8_t pass = kPassOfStatus[e.status];
      if (pass != kNoPass && next[pass] < end[pass]) {
        events[next[pass]++] = {e.tick, order, e.status, e.data1, e.data2};
      }
      ++order;
    }
    void system(const SystemEvent& e) {
      endTick = e.tick;
      if (e.status != 0 && next[0] < end[0]) {
        const std::uint32_t at = next[0]++;
        events[at] = {e.tick, order, e.status, e.metaType, 0};
        dataAt[at] = e.lengthAt;
      }
      ++order;
    }
  };
  events.resizeForWriting(passBegin[kPassCount]);
  Visitor visitor{{}, {}, events.data(), dataAt.data()};
  std::copy_n(passBegin.begin(), kPassCount, visitor.next.begin());
  std::copy_n(passBegin.begin() + 1, kPassCount, visitor.end.begin());
  const TrackEnd end = forEachEvent(smf, filter, chunk.start, visitor);
  // The walk has read the same bytes to the end of the track.
  assert(end.whole && visitor.order == chunk.events);
  (void)end;
  endTick = visitor.endTick;
  endOrder = visitor.order - 1;
}

}  // namespace vantrel
