#include "smf/note_spans.h"

#include <array>

namespace vantrel {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;  // after every index, kOpenEnd too

}  // namespace

void NoteSpans::find(const DecodedTrack& track) {
  first_ = track.passBegin[1];
  spans_.resizeForWriting(track.events.size() - first_);
  for (int pass = 1; pass < kPassCount; ++pass) {
    // Most channels have no note that ends at its own tick, and so no key
    // struck again as the exception has it: one sweep back finds them all.
    if (sweepBack(track, pass)) pairForward(track, pass);
  }
}

bool NoteSpans::sweepBack(const DecodedTrack& track, int pass) {
  const std::uint32_t begin = track.passBegin[pass];
  const std::uint32_t end = track.passBegin[pass + 1];
  if (begin == end) return false;
  // Walking the channel's events backwards, keep for each key the nearest
  // later event that ends such a note (and its tick), and the nearest later
  // event that begins while a note sounds. Within a channel's group the
  // indices follow the track's order.
  std::array<std::uint32_t, 256> nextEnd;  // key bytes above 127 are notes too
  std::array<std::uint64_t, 256> nextEndTick;
  nextEnd.fill(kOpenEnd);
  std::uint32_t nextOverlap = kNone;
  bool endsAtItsStart = false;
  for (std::uint32_t i = end; i-- > begin;) {
    const DecodedEvent& event = track.events[i];
    const std::uint8_t kind = event.status & 0xF0;
    if (kind == 0x90 && event.data2 != 0) {
      const std::uint32_t noteEnd = nextEnd[event.data1];
      spans_[i - first_] = {noteEnd, nextOverlap < noteEnd ? 1u : 0u};
      endsAtItsStart |= noteEnd != kOpenEnd && nextEndTick[event.data1] == event.tick;
      nextOverlap = i;
    } else if (kind == 0x80 || kind == 0x90) {
      nextEnd[event.data1] = i;
      nextEndTick[event.data1] = event.tick;
    } else {
      nextOverlap = i;
    }
  }
  return endsAtItsStart;
}

void NoteSpans::pairForward(const DecodedTrack& track, int pass) {
  const std::uint32_t begin = track.passBegin[pass];
  const std::uint32_t end = track.passBegin[pass + 1];
  // The notes of each key that still sound, chained through their spans
  // while they do (`end` the next in the chain, kOpenEnd the last; `overlap`
  // set for a note struck while another of its key sounds). Each event that
  // ends notes of its key ends all that sound, but a note struck again whose
  // first such event lies at its own tick: that one ends the note before,
  // and it sounds on.
  std::array<std::uint32_t, 256> sounding;
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
  // Whether anything else of the channel begins before a note's end.
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

}  // namespace vantrel
