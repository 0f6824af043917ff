// Note heads, and the look-ahead that decides where a note is written.
//
// A line of MML holds one sounding note at a time. A note during which another
// note or message of its channel begins is written at once as " Sub{...}" with
// its whole length; any other note stays pending in the main line, and its
// length is written by the flushes that follow.

#include "mml/converter.h"

namespace vantrel {
namespace {

// Scale step and sharp of each pitch class: black keys are the white key
// below with the sharp word.
constexpr int kStep[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
constexpr bool kSharp[12] = {false, true, false, true, false, false,
                             true, false, true, false, true, false};

}  // namespace

void Converter::writeNoteHead() {
  if (pendingKey >= 128) {
    output.write(words.rest);
    return;
  }
  if (!noteOpen) {
    output.write(words.tie);
    return;
  }
  if (velocity != pendingVelocity) {
    velocity = pendingVelocity;
    output.write(words.velocity);
    output.writeUnsigned(pendingVelocity);
  }
  int newOctave = pendingKey / 12;
  int difference = newOctave - octave;
  octave = static_cast<std::uint8_t>(newOctave);
  if (difference >= -2 && difference <= 2) {
    output.write(words.octaveMark(difference));
  } else {
    output.write(words.octaveWord());
    output.writeUnsigned(static_cast<unsigned>(newOctave));
  }
  int pitchClass = pendingKey % 12;
  output.write(words.noteNames[kStep[pitchClass]]);
  if (kSharp[pitchClass]) output.write(words.sharp);
}

void Converter::startNote() {
  const EventReader::State saved = reader.save();
  const std::uint8_t noteStatus = reader.status;
  const std::uint8_t channel = noteStatus & 0x0F;
  const std::uint8_t key = reader.data1;
  const std::uint8_t noteVelocity = reader.data2;

  // Read on to the note's end (or the track's), noting whether anything else
  // of the channel begins on the way.
  std::uint64_t duration = 0;
  bool overlap = false;
  while (!reader.endOfTrack) {
    duration += reader.readEvent();
    if (reader.length > 0) reader.skip(static_cast<std::uint32_t>(reader.length));
    const std::uint8_t s = reader.status;
    if ((s == noteStatus && reader.data2 != 0) ||
        (s >= 0xA0 && s <= 0xEF && (s & 0x0F) == channel)) {
      overlap = true;
    }
    bool noteOff = s == (noteStatus & ~0x10) && reader.data1 == key;
    bool zeroOn = s == noteStatus && reader.data1 == key && reader.data2 == 0;
    if (noteOff || zeroOn) break;
  }
  reader.restore(saved);

  if (duration == 0) {
    // A note that ends where it starts has no length to write.
    pendingKey = kNoKey;
    return;
  }
  pendingKey = key;
  pendingVelocity = noteVelocity;
  noteOpen = 1;
  if (!overlap) return;

  output.write(" Sub{");
  writeNoteHead();
  writeLength(duration);
  output.writeChar('}');
  pendingKey = kNoKey;
}

}  // namespace vantrel
