#include "smf/note_spans.h"

#include <array>

namespace vantrel {

void NoteSpans::find(const DecodedTrack& track) {
  first_ = track.passBegin[1];
  spans_.resizeForWriting(track.events.size() - first_);
  constexpr std::uint32_t kNone = 0xFFFFFFFF;  // after every index, kOpenEnd too
  // Walking each channel's events backwards, keep for each key the nearest
  // later event that ends such a note, and the nearest later event that
  // begins while a note sounds. Within a channel's group the indices follow
  // the track's order.
  std::array<std::uint32_t, 256> nextEnd;  // key bytes above 127 are notes too
  for (int pass = 1; pass < kPassCount; ++pass) {
    const std::uint32_t begin = track.passBegin[pass];
    const std::uint32_t end = track.passBegin[pass + 1];
    if (begin == end) continue;
    nextEnd.fill(kOpenEnd);
    std::uint32_t nextOverlap = kNone;
    for (std::uint32_t i = end; i-- > begin;) {
      const DecodedEvent& event = track.events[i];
      const std::uint8_t kind = event.status & 0xF0;
      if (kind == 0x90 && event.data2 != 0) {
        const std::uint32_t noteEnd = nextEnd[event.data1];
        spans_[i - first_] = {noteEnd, nextOverlap < noteEnd ? 1u : 0u};
        nextOverlap = i;
      } else if (kind == 0x80 || kind == 0x90) {
        nextEnd[event.data1] = i;
      } else {
        nextOverlap = i;
      }
    }
  }
}

}  // namespace vantrel
