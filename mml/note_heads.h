// NoteHeads: the head of a note in the text (velocity, octave, pitch name),
// written only as far as it changes: the octave and velocity in effect are
// the pass's own. With a velocity step, a velocity is written only where it
// differs from the one in effect by the step or more, so that every note
// sounds within the step less one of its own velocity. NoteHeadTexts holds the words of the dialect, made once.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <span>

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

// The velocities to write for the notes of a line with a step of `step`
// (more than 1): `velocities` holds the notes' own in the order of their
// heads, and each becomes the value that a velocity word at that note gives.
// A word falls where a note's own velocity is the step or more from the one
// in effect, as NoteHeads writes them; it gives the middle of the longest run
// of notes from there whose velocities lie within twice the step less one,
// so that the word holds for the whole run: one word a phrase, and the
// accents.
void planVelocities(std::span<std::uint8_t> velocities, std::uint32_t step);

class NoteHeads {
 public:
  // No octave or velocity written yet. `velocityStep` is 1 to 127; 1
  // writes every change.
  explicit NoteHeads(const NoteHeadTexts& texts, std::uint32_t velocityStep = 1)
      : texts_(texts), velocityStep_(velocityStep) {}

  // Writes the head of a note of `key` (0 to 255: a malformed key byte is
  // still a note) and `velocity`, its velocity word where it changes.
  // Inline: a million notes, a million heads.
  void write(TextWriter& output, int key, std::uint8_t velocity) {
    if (velocity_ != velocity) {
      velocity_ = velocity;
      output.writeShort(texts_.velocity[velocity]);
    }
    writePitch(output, key);
  }

  // The same with the velocity step: a velocity word where `velocity` is
  // the step or more from the one in effect, giving `written` (see
  // planVelocities).
  void write(TextWriter& output, int key, std::uint8_t velocity, std::uint8_t written) {
    if (static_cast<std::uint32_t>(std::abs(velocity_ - velocity)) >= velocityStep_) {
      velocity_ = written;
      output.writeShort(texts_.velocity[written]);
    }
    writePitch(output, key);
  }

 private:
  void writePitch(TextWriter& output, int key) {
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

  static constexpr std::uint8_t kNoOctave = 80;  // none written yet
  // None written yet: further from every velocity byte than any step.
  static constexpr int kNoVelocity = -256;

  const NoteHeadTexts& texts_;
  const std::uint32_t velocityStep_;
  std::uint8_t octave_ = kNoOctave;
  int velocity_ = kNoVelocity;
};

}  // namespace vantrel
