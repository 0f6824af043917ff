// PassWriter: one pass over a track, which writes one section of its block:
// pass 0 the SysEx and meta events, pass n the messages of MIDI channel n,
// each section one time-ordered line. With voices, a pass over a channel
// writes one of its voices: the first with the channel's other messages,
// each further one its notes alone.
//
// Time between the written events of a pass accumulates in the bar clock
// and is written, before the next written event, as the pending note, its
// continuation, or a rest. A pass visits only its own events. Each pass is
// written by a PassWriter of its own, so every pass starts from nothing. The
// writers are split by the kind of event: notes.cpp, channel_messages.cpp,
// meta_events.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mml/bar_clock.h"
#include "mml/length_text.h"
#include "mml/note_heads.h"
#include "mml/open.h"
#include "mml/text_writer.h"
#include "mml/vocabulary.h"
#include "smf/track_view.h"
#include "voices/voice_table.h"

namespace vantrel {

// What the passes of a track read and write with.
struct PassContext {
  const OpenedSong& song;
  const Vocabulary& words;
  const NoteHeadTexts& headTexts;
  LengthWriter& lengths;
  TextWriter& output;
  TrackView view;  // the track being written
  const VoiceTable* voices;  // its notes' voices; nullptr without voices
  // With a velocity step, room for the plan of a section's velocities (see
  // planVelocities); else nullptr.
  std::vector<std::uint8_t>* velocityPlan;
  std::vector<LineMark>* lines;  // where lines begin, for a preview; else nullptr
};

class PassWriter {
 public:
  // Without voices `voice` is 0; with them, a voice (from 0) of the pass's
  // channel.
  PassWriter(const PassContext& context, int pass, int voice = 0);

  // Writes the pass's section. At the `stopAt`-th of the pass's events
  // (counted from 0), where the data has a fault, it writes only what comes
  // before the event and stops. When the output fails, stops as soon as it
  // can.
  void write(std::uint32_t stopAt);

 private:
  static constexpr int kNoKey = -1;  // pendingKey: nothing sounds

  // The functions of the writer's path come in two instances: kExtras
  // false, the path as it is without voices and velocity steps, and true,
  // with them, so that the extras cost the plain path nothing.

  // pass_writer.cpp: the order of a pass.
  template <bool kExtras>
  void writeEvents(std::uint32_t stopAt);
  // With voices, the first voice: whether the event at `index` is one of its.
  bool ownEvent(const DecodedEvent& event, std::uint32_t index) const;
  // With voices, a voice after the first: its notes one by one, each main
  // note's end after it (the next of the voice begins after that).
  void writeVoiceNotes();
  void writeVisited(std::uint32_t index);
  void writePassHeader();
  void writeVoiceComment();
  void planSectionVelocities();
  template <bool kExtras>
  void flushPending();
  // Writes the event at `index` in the track's events and returns how many
  // of the pass's events it took (a controller idiom takes three).
  template <bool kExtras>
  std::uint32_t writeEvent(std::uint32_t index);

  // notes.cpp
  template <bool kExtras>
  void writeNoteHead();
  template <bool kExtras>
  void startNote(const DecodedEvent& event, std::uint32_t index);

  // channel_messages.cpp
  template <bool kExtras>
  std::uint32_t writeChannelMessage(const DecodedEvent& event, std::uint32_t index);
  template <bool kExtras>
  std::uint32_t writeControlChange(const DecodedEvent& event, std::uint32_t index);
  template <bool kExtras>
  bool writeIdiom(const DecodedEvent& event, std::uint32_t index);

  // meta_events.cpp
  void writeMetaEvent(std::uint8_t type, std::span<const std::uint8_t> data);
  void writeSysEx(std::uint8_t status, std::span<const std::uint8_t> data);
  void writeQuotedText(std::span<const std::uint8_t> data);
  void writeVarLen(std::uint32_t value);

  const PassContext& c_;
  const DecodedTrack& track_;
  const NoteSpans& spans_;
  TextWriter& output_;
  const Vocabulary& words_;
  const int pass_;  // 0: system events; 1..16: MIDI channel
  const VoiceTable* const voices_;
  const int voice_;
  // A note of the main line is written whole, not cut where a note of a
  // sub-block ends (lengths in note values).
  const bool wholeNotes_;
  BarClock clock_;
  NoteHeads heads_;

  bool headerWritten_ = false;
  // The key of the main-line note, or kNoKey: time is a rest. Apart from
  // every key byte, so that even a malformed key of 128 or more is a note.
  int pendingKey_ = kNoKey;
  std::uint32_t pendingEnd_ = 0;  // the index of the event that ends it (see NoteSpan)
  std::uint8_t pendingVelocity_ = 0;
  bool noteOpen_ = false;  // head of the pending note not yet written
  // With a velocity step: the plan of the section's velocities, and the
  // note whose head comes next in it.
  std::vector<std::uint8_t>* const velocityPlan_;
  std::size_t planned_ = 0;
};

}  // namespace vantrel
