// Converter: the state of one conversion from SMF to MML text.
//
// A track is converted in 17 passes over its events: pass 0 writes the SysEx
// and meta events, pass n the messages of MIDI channel n, each as one
// time-ordered line. Time between the written events of a pass accumulates in
// pendingTicks and is written, before the next written event, as the pending
// note, its continuation, or a rest. Each track is decoded once; every pass
// then visits only its own events, and each note's end and overlap are found
// for the whole track in one backward sweep, so the work is linear in the
// size of the input and the output. The record is split over several source
// files by concern: converter.cpp (driver), timing.cpp (lengths and bars),
// notes.cpp, channel_messages.cpp and meta_events.cpp.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "app/options.h"
#include "mml/text_writer.h"
#include "mml/vocabulary.h"
#include "rhythm/rhythm_table.h"
#include "smf/decoded_track.h"
#include "smf/event_reader.h"
#include "smf/smf_header.h"

namespace vantrel {

inline constexpr int kNoKey = -1;               // pendingKey: nothing sounds
inline constexpr std::uint8_t kNoOctave = 80;   // octave: none written yet
inline constexpr int kNoVelocity = -1;          // velocity: none written yet

struct Converter {
  const Options& options;
  TextWriter& output;
  std::span<const std::uint8_t> input;  // the whole SMF
  std::ostream& console;                // where the rhythm listing goes
  const Vocabulary& words;              // of the chosen dialect

  RhythmTable rhythm;
  EventReader reader;
  DecodedTrack track;              // the current track, decoded once
  SmfHeader header;
  std::uint64_t trackStart = 0;   // offset of the current track's first event
  std::uint32_t trackLength = 0;  // the chunk's length field, only printed
  std::int32_t trackIndex = 0;
  std::int32_t channelPass = 0;   // 0: system events; 1..16: MIDI channel
  std::uint32_t eventIndex = 0;   // the event being written, in `track`
  std::uint32_t consumedAhead = 0;  // events after it that an idiom took in

  // Time accounting of a pass (writtenTick + pendingTicks = absoluteTick).
  std::uint64_t pendingTicks = 0;  // elapsed and not yet written as lengths
  std::uint64_t absoluteTick = 0;
  std::uint64_t writtenTick = 0;
  std::uint32_t ticksSinceBar = 0;
  std::uint64_t ticksSinceLine = 0;  // exact: a line of many bars may pass 2^32 ticks
  std::uint32_t barLength = 0;     // of the rhythm entry in effect
  bool longPickup = false;         // a pickup longer than the first bar

  // Note state of a pass.
  std::uint8_t passHeaderWritten = 0;
  // The key of the main-line note, or kNoKey: time is a rest. Apart from
  // every key byte, so that even a malformed key of 128 or more is a note.
  int pendingKey = kNoKey;
  std::uint8_t pendingVelocity = 0;
  std::uint8_t noteOpen = 0;         // head of the pending note not yet written
  std::uint8_t octave = kNoOctave;   // in effect in the text
  int velocity = kNoVelocity;        // in effect in the text

  // Reads and checks the header chunk of `input` (ends the run if rejected).
  Converter(const Options& options, std::span<const std::uint8_t> input, TextWriter& output,
            std::ostream& console);

  // converter.cpp: the driver.
  void run();
  void readTrackHeader();
  void buildRhythmTable();
  std::vector<KeySignature> collectTimeSignatures();  // and the key signatures met
  void resetPass();
  void runPass();
  void processEvent(std::uint32_t index);
  void flushPending();

  // timing.cpp: lengths, ties, bar lines, line breaks, rhythm changes.
  void writeLength(std::uint64_t ticks);
  void checkBoundaries();
  void writePendingTicks();

  // notes.cpp
  void writeNoteHead();
  void startNote();
  void findNoteEnds();  // for every Note On of `track`: its end and overlap

  // channel_messages.cpp
  void writeChannelMessage();
  void writeControlChange();

  // meta_events.cpp
  void writeSysEx();
  void writeSysExEscape();
  void writeMetaEvent();
  void writeHexBytes();  // the event's data, consumed
  void writeHexList(std::span<const std::uint8_t> data);
  void writeQuotedText();
  void writeVarLen(std::uint32_t value);

 private:
  // The words of note heads in the dialect, made once: each pitch class's
  // name with its sharp word, the velocity word with each value, the octave
  // word with each octave (a key byte of up to 255 is octave 21) and the
  // relative marks for differences -2 to +2.
  ShortText pitchTexts_[12];
  ShortText velocityTexts_[256];
  ShortText octaveTexts_[22];
  ShortText octaveMarkTexts_[5];
  void prepareHeadTexts();

  // The texts of recent lengths ("%" and 20 digits at the most).
  struct LengthText {
    std::uint64_t ticks = 0;  // 0: empty (no length is 0 ticks)
    ShortText text;
  };
  static constexpr std::size_t kLengthCacheSize = 64;
  LengthText lengthCache_[kLengthCacheSize];

  ShortText lengthText(std::uint64_t ticks) const;  // the MML length of `ticks`
  void writePiece(std::uint64_t ticks, bool first);
  // Ticks of a line of /C bars at the bar length in effect (0 for /C0).
  std::uint64_t lineThreshold() const {
    return options.lineBars > 0 ? std::uint64_t(options.lineBars) * barLength : 0;
  }
  std::uint64_t ticksToNextChange() const;
  bool writeIdiom();
};

}  // namespace vantrel
