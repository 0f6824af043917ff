// NoteSpans: where each note of a decoded track ends, and whether anything
// else of its channel begins while it sounds.
//
// A note (a Note On of velocity above 0) ends at the next Note Off of its
// channel and key, or Note On of velocity 0; a note that none ends lasts to
// the end of the track. One exception: a key struck again while its note
// before still sounds, its Note On written just before that note's Note Off
// at the same tick (as sequencers write a repeated note), lasts to the Note
// Off after that one: the Note Off at its start ends the note before. It
// overlaps when another Note On or any other message of its channel comes
// before its end. The conversion writes an overlapping note apart, with its
// whole length; the page draws every note from here.
#pragma once

#include <cassert>
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

class NoteSpans {
 public:
  // Makes room for tracks of up to `channelEvents` channel messages, so that
  // finding track after track allocates nothing more.
  void reserve(std::size_t channelEvents) { spans_.makeRoom(channelEvents); }

  // Finds the spans of every note of `track`, with one backward sweep over
  // each channel's events.
  void find(const DecodedTrack& track);

  // Room for the spans of the channel messages from index `first` on, `count`
  // of them, to be set one by one (by a quantizer, which knows them as it
  // writes a track).
  void prepare(std::uint32_t first, std::size_t count) {
    first_ = first;
    spans_.resizeForWriting(count);
  }
  void set(std::uint32_t index, NoteSpan span) {
    assert(index >= first_ && index - first_ < spans_.size());
    spans_[index - first_] = span;
  }

  // The span of the note at `index` in the track's events.
  NoteSpan operator[](std::uint32_t index) const {
    assert(index >= first_ && index - first_ < spans_.size());  // a channel message's
    return spans_[index - first_];
  }

  // The tick where the note at `index` ends.
  std::uint64_t endTick(const DecodedTrack& track, std::uint32_t index) const {
    const std::uint32_t end = (*this)[index].end;
    return end == kOpenEnd ? track.endTick : track.events[end].tick;
  }

 private:
  // The spans of a pass's notes as the next event of their key ends them;
  // true when a note ends at its own tick (a key struck again, maybe).
  bool sweepBack(const DecodedTrack& track, int pass);
  // The spans of a pass's notes, a key struck again included.
  void pairForward(const DecodedTrack& track, int pass);

  // One per channel message of the track, in the same order (the channels'
  // groups follow the system events); only a note's has a meaning.
  PopulatedArray<NoteSpan> spans_;
  std::uint32_t first_ = 0;  // the index of the first channel message
};

// Whether `event` starts a note.
inline bool isNoteStart(const DecodedEvent& event) {
  return (event.status & 0xF0) == 0x90 && event.data2 != 0;
}

// Whether `event` ends notes: a Note Off, or a Note On of velocity 0.
inline bool isNoteEnd(const DecodedEvent& event) {
  const std::uint8_t kind = event.status & 0xF0;
  return kind == 0x80 || (kind == 0x90 && event.data2 == 0);
}

}  // namespace vantrel
