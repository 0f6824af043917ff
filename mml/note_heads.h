// NoteHeads: the head of a note in the text (velocity, octave, pitch name),
// with the words of the dialect made once, and the octave and velocity in
// effect in the text, so that each is written only when it changes.
#pragma once

#include <cstdint>

#include "mml/text_writer.h"
#include "mml/vocabulary.h"

namespace vantrel {

class NoteHeads {
 public:
  explicit NoteHeads(const Vocabulary& words);

  // The start of a pass: no octave or velocity written yet.
  void reset() {
    octave_ = kNoOctave;
    velocity_ = kNoVelocity;
  }

  // Writes the head of a note of `key` (0 to 255: a malformed key byte is
  // still a note) and `velocity`. Inline: a million notes, a million heads.
  void write(TextWriter& output, int key, std::uint8_t velocity) {
    if (velocity_ != velocity) {
      velocity_ = velocity;
      output.writeShort(velocityTexts_[velocity]);
    }
    const int newOctave = key / 12;
    const int difference = newOctave - octave_;
    octave_ = static_cast<std::uint8_t>(newOctave);
    if (difference >= -2 && difference <= 2) {
      output.writeShort(octaveMarkTexts_[difference + 2]);
    } else {
      output.writeShort(octaveTexts_[newOctave]);
    }
    output.writeShort(pitchTexts_[key % 12]);
  }

 private:
  static constexpr std::uint8_t kNoOctave = 80;  // none written yet
  static constexpr int kNoVelocity = -1;         // none written yet

  // Each pitch class's name with its sharp word, the velocity word with each
  // value, the octave word with each octave (a key byte of up to 255 is
  // octave 21) and the relative marks for differences -2 to +2.
  ShortText pitchTexts_[12];
  ShortText velocityTexts_[256];
  ShortText octaveTexts_[22];
  ShortText octaveMarkTexts_[5];

  std::uint8_t octave_ = kNoOctave;
  int velocity_ = kNoVelocity;
};

}  // namespace vantrel
