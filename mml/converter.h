// Converter: writes the block of one track of an SMF as MML text.
//
// A track is converted in 17 passes over its events: pass 0 writes the SysEx
// and meta events, pass n the messages of MIDI channel n, each as one
// time-ordered line. Time between the written events of a pass accumulates in
// the bar clock and is written, before the next written event, as the pending
// note, its continuation, or a rest. Each track is decoded once; every pass
// then visits only its own events, and each note's end and overlap are found
// for the whole track in one backward sweep, so the work is linear in the
// size of the input and the output. The writers are split by the kind of
// event: notes.cpp, channel_messages.cpp, meta_events.cpp.
#pragma once

#include <cstdint>
#include <span>

#include "mml/bar_clock.h"
#include "mml/note_heads.h"
#include "mml/settings.h"
#include "mml/text_writer.h"
#include "mml/vocabulary.h"
#include "rhythm/rhythm_table.h"
#include "smf/decoded_track.h"
#include "smf/event_reader.h"
#include "smf/smf_header.h"

namespace vantrel {

class Converter {
 public:
  // `input` is the whole SMF; `header` and `rhythm` are what the walk before
  // the conversion found in it. All of them, and `settings`, must outlive
  // the Converter, which only reads them: several Converters can share them.
  Converter(std::span<const std::uint8_t> input, const SmfHeader& header,
            const RhythmTable& rhythm, const Settings& settings, TextWriter& output);

  // Makes room for the largest of `tracks` at once.
  void reserveFor(std::span<const TrackChunk> tracks);

  // Writes the block of track `index`, whose chunk is `chunk`: its head, then
  // its passes. Returns the message of the data fault that stopped it, or
  // nullptr. When the output fails, stops as soon as it can.
  [[nodiscard]] const char* convertTrack(int index, const TrackChunk& chunk);

 private:
  static constexpr int kNoKey = -1;  // pendingKey: nothing sounds

  // What one pass knows; `pass_ = {...}` begins the next.
  struct PassState {
    int channel = 0;  // 0: system events; 1..16: MIDI channel
    bool headerWritten = false;
    // The key of the main-line note, or kNoKey: time is a rest. Apart from
    // every key byte, so that even a malformed key of 128 or more is a note.
    int pendingKey = kNoKey;
    std::uint8_t pendingVelocity = 0;
    bool noteOpen = false;            // head of the pending note not yet written
    std::uint32_t consumedAhead = 0;  // events after the current one that an idiom took in
  };

  // converter.cpp: the driver.
  void runPass(int channel);
  [[nodiscard]] const char* processEvent(std::uint32_t index);
  void writePassHeader();
  void flushPending();

  // notes.cpp
  void writeNoteHead();
  void startNote(const DecodedEvent& event);
  void findNoteEnds();  // for every Note On of the track: its end and overlap

  // channel_messages.cpp
  void writeChannelMessage(const DecodedEvent& event, std::uint32_t index);
  void writeControlChange(const DecodedEvent& event, std::uint32_t index);
  bool writeIdiom(const DecodedEvent& event, std::uint32_t index);

  // meta_events.cpp
  [[nodiscard]] const char* writeMetaEvent(std::uint8_t type, std::span<const std::uint8_t> data);
  void writeSysEx(std::uint8_t status, std::span<const std::uint8_t> data);
  void writeHexList(std::span<const std::uint8_t> data);
  void writeQuotedText(std::span<const std::uint8_t> data);
  void writeVarLen(std::uint32_t value);

  // The run and the file.
  const std::span<const std::uint8_t> input_;
  const SmfHeader& header_;
  const std::int32_t filterMask_;
  const Vocabulary& words_;
  TextWriter& output_;

  // The track.
  DecodedTrack track_;
  const char* fault_ = nullptr;  // the first data fault of the track

  // The pass, its place in time, and the note heads in effect.
  PassState pass_;
  BarClock clock_;
  NoteHeads heads_;
};

}  // namespace vantrel
