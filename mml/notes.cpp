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

void Converter::prepareHeadTexts() {
  for (int pitchClass = 0; pitchClass < 12; ++pitchClass) {
    pitchTexts_[pitchClass].append(words.noteNames[kStep[pitchClass]]);
    if (kSharp[pitchClass]) pitchTexts_[pitchClass].append(words.sharp);
  }
  for (int value = 0; value < 256; ++value) {
    velocityTexts_[value].append(words.velocity);
    velocityTexts_[value].appendNumber(static_cast<std::uint64_t>(value));
  }
  for (int number = 0; number < 22; ++number) {
    octaveTexts_[number].append(words.octaveWord());
    octaveTexts_[number].appendNumber(static_cast<std::uint64_t>(number));
  }
  for (int difference = -2; difference <= 2; ++difference) {
    octaveMarkTexts_[difference + 2].append(words.octaveMark(difference));
  }
}

void Converter::writeNoteHead() {
  // No word of a note head holds a line feed.
  if (pendingKey == kNoKey) {
    output.writePlain(words.rest);
    return;
  }
  if (!noteOpen) {
    output.writePlain(words.tie);
    return;
  }
  if (velocity != pendingVelocity) {
    velocity = pendingVelocity;
    output.writeShort(velocityTexts_[pendingVelocity]);
  }
  int newOctave = pendingKey / 12;
  int difference = newOctave - octave;
  octave = static_cast<std::uint8_t>(newOctave);
  if (difference >= -2 && difference <= 2) {
    output.writeShort(octaveMarkTexts_[difference + 2]);
  } else {
    output.writeShort(octaveTexts_[newOctave]);
  }
  output.writeShort(pitchTexts_[pendingKey % 12]);
}

namespace {
constexpr std::uint32_t kOverlapBit = 0x80000000u;  // in DecodedEvent.aux of a Note On
}  // namespace

void Converter::findNoteEnds() {
  // Walking the track backwards, keep for each channel and key the nearest
  // later event that ends such a note (a Note Off, or a Note On of velocity 0),
  // and for each channel the nearest later event that begins while a note
  // sounds (a Note On, or any other message of the channel). A note ends at
  // the first; it overlaps when the second comes before its end. Notes with no
  // end run to the end-of-track event, the last one.
  const std::uint32_t endOfTrack = static_cast<std::uint32_t>(track.events.size() - 1);
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  std::uint32_t nextEnd[16][256];
  std::uint32_t nextOverlap[16];
  for (auto& keys : nextEnd) {
    for (std::uint32_t& index : keys) index = endOfTrack;
  }
  for (std::uint32_t& index : nextOverlap) index = kNone;

  for (std::uint32_t i = endOfTrack + 1; i-- > 0;) {
    DecodedEvent& event = track.events[i];
    const std::uint8_t kind = event.status & 0xF0;
    const std::uint8_t channel = event.status & 0x0F;
    if (event.status < 0x80 || event.status >= 0xF0) continue;
    if (kind == 0x90 && event.data2 != 0) {
      std::uint32_t end = nextEnd[channel][event.data1];
      event.aux = end | (nextOverlap[channel] < end ? kOverlapBit : 0);
      nextOverlap[channel] = i;
    } else if (kind == 0x80 || kind == 0x90) {
      nextEnd[channel][event.data1] = i;
    } else {
      nextOverlap[channel] = i;
    }
  }
}

void Converter::startNote() {
  const DecodedEvent& event = track.events[eventIndex];
  const std::uint32_t end = event.aux & ~kOverlapBit;
  const bool overlap = (event.aux & kOverlapBit) != 0;
  const std::uint64_t duration = track.events[end].tick - event.tick;

  if (duration == 0) {
    // A note that ends where it starts has no length to write.
    pendingKey = kNoKey;
    return;
  }
  pendingKey = event.data1;
  pendingVelocity = event.data2;
  noteOpen = 1;
  if (!overlap) return;

  output.writePlain(" Sub{");
  writeNoteHead();
  writeLength(duration);
  output.writeChar('}');
  pendingKey = kNoKey;
}

}  // namespace vantrel
