// NoteHeads: the head of a note in the text (velocity, octave, pitch name),
// written only as far as it changes: the octave and velocity in effect are
// the pass's own. NoteHeadTexts holds the words of the dialect, made once.
#pragma once

#include <cstdint>

#include "mml/text_writer.h"
#include "mml/vocabulary.h"

namespace vantrel {

// Each pitch class's name with its sharp word, the velocity word with each
// value, the octave word with each octave (a key byte of up to 255 is
// octave 21) and the relative marks for differences -2 to +2.
struct NoteHeadTexts {
  explicit NoteHeadTexts(const Vocabulary& words);

  ShortText pitch[12];
  ShortText velocity[256];
  ShortText octave[22];
  ShortText octaveMark[5];
};

class NoteHeads {
 public:
  // No octave or velocity written yet.
  explicit NoteHeads(const NoteHeadTexts& texts) : texts_(texts) {}

  // Writes the head of a note of `key` (0 to 255: a malformed key byte is
  // still a note) and `velocity`. Inline: a million notes, a million heads.
  void write(TextWriter& output, int key, std::uint8_t velocity) {
    if (velocity_ != velocity) {
      velocity_ = velocity;
      output.writeShort(texts_.velocity[velocity]);
    }
    const int newOctave = key / 12;
    const int difference = newOctave - octave_;
    octave_ = static_cast<std::uint8_t>(newOctave);
    if (difference >= -2 && difference <= 2) {
      output.writeShort(texts_.octaveMark[difference + 2]);
    } else {
      output.writeShort(texts_.octave[newOctave]);
    }
    output.writeShort(texts_.pitch[key % 12]);
  }

 private:
  static constexpr std::uint8_t kNoOctave = 80;  // none written yet
  static constexpr int kNoVelocity = -1;         // none written yet

  const NoteHeadTexts& texts_;
  std::uint8_t octave_ = kNoOctave;
  int velocity_ = kNoVelocity;
};

}  // namespace vantrel
