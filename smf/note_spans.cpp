#include "smf/note_spans.h"

#include <array>

namespace vantrel {

void NoteSpans::find(const DecodedTrack& track) {
  first_ = track.passBegin[1];
  spans_.resizeForWriting(track.events.size() - first_);
  constexpr std::uint32_t kNone = 0xFFFFFFFF;  // after every index, kOpenEnd too
  // The notes of each key that still sound, chained through their spans
  // while they do (`end` the next in the chain, kOpenEnd the last; `overlap`
  // set for a note struck while another of its key sounds).
  std::array<std::uint32_t, 256> sounding;  // key bytes above 127 are notes too
  for (int pass = 1; pass < kPassCount; ++pass) {
    const std::uint32_t begin = track.passBegin[pass];
    const std::uint32_t end = track.passBegin[pass + 1];
    if (begin == end) continue;
    // Forward: each event that ends notes of its key ends all that sound,
    // but a note struck again whose first such event lies at its own tick:
    // that one ends the note before it, and it sounds on.
    sounding.fill(kOpenEnd);
    for (std::uint32_t i = begin; i < end; ++i) {
      const DecodedEvent& event = track.events[i];
      const std::uint8_t kind = event.status & 0xF0;
      std::uint32_t& chain = sounding[event.data1];
      if (kind == 0x90 && event.data2 != 0) {
        spans_[i - first_] = {chain, chain != kOpenEnd ? 1u : 0u};
        chain = i;
      } else if (kind == 0x80 || kind == 0x90) {
        std::uint32_t left = kOpenEnd;
        for (std::uint32_t note = chain; note != kOpenEnd;) {
          NoteSpan& span = spans_[note - first_];
          const std::uint32_t next = span.end;
          if (span.overlap && track.events[note].tick == event.tick) {
            span = {left, 0};
            left = note;
          } else {
            span = {i, 0};
          }
          note = next;
        }
        chain = left;
      }
    }
    for (std::uint32_t& chain : sounding) {
      for (std::uint32_t note = chain; note != kOpenEnd;) {
        NoteSpan& span = spans_[note - first_];
        const std::uint32_t next = span.end;
        span = {kOpenEnd, 0};
        note = next;
      }
    }
    // Backward: whether anything else of the channel begins before a note's
    // end.
    std::uint32_t nextOverlap = kNone;
    for (std::uint32_t i = end; i-- > begin;) {
      const DecodedEvent& event = track.events[i];
      const std::uint8_t kind = event.status & 0xF0;
      if (kind == 0x90 && event.data2 != 0) {
        NoteSpan& span = spans_[i - first_];
        span.overlap = nextOverlap < span.end ? 1u : 0u;
        nextOverlap = i;
      } else if (kind != 0x80 && kind != 0x90) {
        nextOverlap = i;
      }
    }
  }
}

}  // namespace vantrel
