// NoteSpans: where each note of a decoded track ends, and whether anything
// else of its channel begins while it sounds.
//
// A note (a Note On of velocity above 0) ends at the next Note Off of its
// channel and key, or Note On of velocity 0; a note that none ends lasts to
// the end of the track. It overlaps when another Note On or any other message
// of its channel comes before its end. The conversion writes an overlapping
// note apart, with its whole length; the page draws every note from here.
#pragma once

#include <cstdint>
#include <span>

#include "smf/decoded_track.h"
#include "util/populated_array.h"

namespace vantrel {

struct NoteSpan {
  // The index in the track's events of the event that ends the note, or
  // kOpenEnd: the end of the track.
  std::uint32_t end : 31;
  std::uint32_t overlap : 1;
};
inline constexpr std::uint32_t kOpenEnd = 0x7FFFFFFF;

struct NoteSpans {
  // One per event of the track, in the same order; only a note's has a
  // meaning.
  PopulatedArray<NoteSpan> spans;

  // Finds the spans of every note of `track`, with one backward sweep over
  // each channel's events.
  void find(const DecodedTrack& track);

  // The tick where the note at `index` ends.
  std::uint64_t endTick(const DecodedTrack& track, std::uint32_t index) const {
    const std::uint32_t end = spans[index].end;
    return end == kOpenEnd ? track.endTick : track.events[end].tick;
  }
};

// Whether `event` starts a note.
inline bool isNoteStart(const DecodedEvent& event) {
  return (event.status & 0xF0) == 0x90 && event.data2 != 0;
}

}  // namespace vantrel
