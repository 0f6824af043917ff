// VoiceTable: the notes of each channel of a track dealt into voices, lines
// in which no two notes overlap, so that a channel is written as a section
// per voice (--voices) instead of one line with a sub-block for every chord
// and every note held under another.
//
// It labels the notes of a view and changes no event, so it is no step of
// the view: the writer reads it beside the view, and so does the preview,
// which therefore shows the voices the text holds. The dealing depends on
// nothing but the view, so the same file always gives the same voices.
//
// The rule, for each channel but 10: notes are taken in the order of their
// starts. A voice is free for a note when its last note has ended before
// the note's Note On (in the track's order: a Note On written before the
// Note Off of the note it follows at the same tick finds that voice still
// sounding). A note that starts alone goes to the free voice, of those that
// hold a note already, whose last key is nearest to its own (the
// lower-numbered on a tie), else to the lowest-numbered voice not used yet.
// Notes that start together are a chord: the highest first, they go onto
// the free voices in the order of their last keys, highest first, so that
// voices do not cross, the voices chosen for the least sum of the notes'
// distances from their voices' last keys, where a voice an octave or more
// away is taken only when no voice is left to open and a new voice counts
// as two octaves. Voice 1 is the channel's section as without voices and
// holds the channel's other messages; a note during which one of them comes
// (before its end, in the track's order) is not dealt into it, so that no
// message cuts a note of voice 1. At most kVoiceLimit voices: a note that
// finds none of them free goes to the last, where it is written as without
// voices, as a sub-block when another note of that voice begins while it
// sounds; of a chord's notes that find none, the lowest.
//
// On channel 10, the drum channel, each key (drum sound) is a voice of its
// own, the lowest key first, whatever their number; a hit during which
// another of its key begins, or during which a message comes in voice 1,
// is a sub-block there.
//
// A note that ends where it starts has no length and is in no voice.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "smf/decoded_track.h"
#include "smf/note_spans.h"
#include "smf/track_view.h"
#include "util/populated_array.h"

namespace vantrel {

inline constexpr int kVoiceLimit = 8;
inline constexpr int kDrumPass = 10;  // MIDI channel 10

class VoiceTable {
 public:
  // Makes room for tracks of up to `channelEvents` channel messages.
  void reserve(std::size_t channelEvents);

  // Deals the notes of every channel of `view`, which must stay valid while
  // the table is read.
  void deal(TrackView view);

  // How many voices channel pass `pass` (1 to 16) has: 1 at least.
  int count(int pass) const { return counts_[pass]; }

  // The voice (from 0) of the channel message at `index` in the view's
  // events: a note's own, 0 for every other message.
  int voiceOf(std::uint32_t index) const { return at(index).voice; }

  // Whether the note at `index` is in a voice (it has a length).
  bool voiced(std::uint32_t index) const { return at(index).flags & kVoiced; }

  // Whether the note at `index` is written as a sub-block in its voice.
  bool sub(std::uint32_t index) const { return at(index).flags & kSub; }

  // The notes of voice `voice` of channel pass `pass`, as indices in the
  // view's events, in their order.
  std::span<const std::uint32_t> notesOf(int pass, int voice) const {
    const std::vector<std::uint32_t>& begins = voiceBegin_[static_cast<std::size_t>(pass)];
    return {byVoice_.data() + begins[static_cast<std::size_t>(voice)],
            begins[static_cast<std::size_t>(voice) + 1] - begins[static_cast<std::size_t>(voice)]};
  }

  // On the drum channel, the key of voice `voice`; -1 for a voice of no
  // notes (the first, when the channel has none).
  int drumKey(int voice) const {
    return voice < drumVoices_ ? drumKeys_[static_cast<std::size_t>(voice)] : -1;
  }

 private:
  struct Entry {
    std::uint8_t voice;
    std::uint8_t flags;
  };
  static constexpr std::uint8_t kVoiced = 1;
  static constexpr std::uint8_t kSub = 2;

  const Entry& at(std::uint32_t index) const {
    assert(index >= first_ && index - first_ < entries_.size());
    return entries_[index - first_];
  }
  Entry& at(std::uint32_t index) { return entries_[index - first_]; }

  void dealMelodic(const DecodedTrack& track, const NoteSpans& spans, int pass);
  void dealDrums(const DecodedTrack& track, const NoteSpans& spans);
  // Marks the notes of the pass that are sub-blocks in their voices.
  void findSubs(const DecodedTrack& track, const NoteSpans& spans, int pass);
  // Lists the notes of the pass voice by voice, from `from` in byVoice_;
  // returns where the list ends.
  std::uint32_t listByVoice(const DecodedTrack& track, int pass, std::uint32_t from);

  PopulatedArray<Entry> entries_;
  // For each channel message, the index of the next message of its pass
  // that is not a note's start or end (itself, if it is one), or kOpenEnd.
  PopulatedArray<std::uint32_t> nextMessage_;
  // Dealing the notes that start at one tick: they, the costs of their
  // ways onto the voices, and the voice that each is given.
  std::vector<std::uint32_t> group_;
  std::vector<std::int64_t> cost_;
  std::vector<std::int64_t> lineCost_;
  std::vector<int> choice_;
  std::uint32_t first_ = 0;
  std::array<int, 17> counts_{};
  // The notes of every channel voice by voice (see notesOf), and where each
  // voice's begin there, one more than the pass's voices.
  PopulatedArray<std::uint32_t> byVoice_;
  std::array<std::vector<std::uint32_t>, 17> voiceBegin_;
  std::array<std::uint8_t, 256> drumKeys_{};
  int drumVoices_ = 0;
};

}  // namespace vantrel
