// What a conversion must carry over from the SMF into the MML text, in one
// form for both sides: per track and per section (the system events, or one
// MIDI channel), the notes with start, key, velocity and length, and the
// commands with their ticks. The SMF side says what should be there, the MML
// side what is there; the comparison lays one over the other.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::roundtrip {

struct Note {
  std::uint64_t tick = 0;  // start, counted from the start of the track
  int key = 0;
  int velocity = 0;
  std::uint64_t duration = 0;

  friend bool operator==(const Note&, const Note&) = default;
  friend auto operator<=>(const Note&, const Note&) = default;
};

// One command of the text at its tick: its whole text with its separator
// ("Tempo(120);\n\t", "y7,100; "), words of the kana dialect given in the
// MML dialect. Rhythm comments are kept the same way ("3/4").
struct Command {
  std::uint64_t tick = 0;
  std::string text;

  friend bool operator==(const Command&, const Command&) = default;
};

// One length as the MML text writes it: a note value with its dots, or "%"
// and ticks; where it starts and how long it lasts. Lengths written as one,
// tied (a note's "4^16", a sub-block's whole length), share a group; a
// bar line, line break, rhythm comment or command between two lengths
// starts a new group, as does every note and rest.
struct WrittenLength {
  std::uint64_t tick = 0;
  std::uint64_t ticks = 0;
  std::uint64_t value = 0;  // 4 for a quarter note; 0 for "%"
  int dots = 0;
  std::uint32_t group = 0;
  bool inSub = false;
};

struct Section {
  int channel = 0;  // 0: the system events; 1 to 16: a MIDI channel
  // MML side: the number of the voice its comment names ("//voice 2"), 0
  // without one, and what the comment says after it (": Acoustic Snare").
  int voice = 0;
  std::string voiceNote;
  // MML side, for the figures of how the text reads: notes written in
  // sub-blocks, velocity words, and the characters (bytes) and lines of the
  // section after its header.
  std::uint64_t subNotes = 0;
  std::uint64_t velocityWords = 0;
  std::uint64_t textBytes = 0;
  std::uint64_t textLines = 0;
  std::vector<Note> notes;
  // On the SMF side with a grid: each note of `notes` as it was played (its
  // tick and length before the grid moved it), in the same order.
  std::vector<Note> playedNotes;
  std::vector<Command> commands;
  std::vector<Command> rhythmMarks;
  // The time the section's line reaches: the tick of its last written
  // event, or, on the SMF side, also `hangingEndTick` when not 0: the end of
  // the track, which a note still sounding there may reach.
  std::uint64_t endTick = 0;
  std::uint64_t hangingEndTick = 0;
  // Layout, only known on the MML side: the ticks of the bar lines and of
  // the counted line breaks (not those of rhythm comments or commands).
  std::vector<std::uint64_t> barLines;
  std::vector<std::uint64_t> lineBreaks;
  std::vector<WrittenLength> lengths;  // MML side: every length, in text order
};

struct Track {
  std::uint32_t size = 0;         // the chunk's length field
  std::vector<Section> sections;  // in pass order
};

struct Model {
  std::uint32_t headerSize = 0;
  int format = 0;
  int trackCount = 0;
  int division = 0;
  std::vector<Track> tracks;
};

// A time-signature change as the bar layout uses it.
struct RhythmChange {
  std::uint64_t tick = 0;
  unsigned numerator = 4;
  unsigned denominator = 4;
  std::uint32_t barLength = 0;
};

// Something the comparison found: where, and what was expected and found
// there. `channel` is -1 for the file as a whole, 0 for the system section;
// `track` is -1 for the file as a whole.
struct Difference {
  int track = -1;
  int channel = -1;
  std::uint64_t tick = 0;
  std::string what;
  std::string expected;
  std::string found;
};

}  // namespace vantrel::roundtrip
