// Note heads, and the look-ahead that decides where a note is written.
//
// A line of MML holds one sounding note at a time. A note during which another
// note or message of its channel begins is written at once as " Sub{...}" with
// its whole length; any other note stays pending in the main line, and its
// length is written by the flushes that follow.

#include "mml/converter.h"

namespace vantrel {
namespace {
constexpr std::uint32_t kOverlapBit = 0x80000000u;  // in DecodedEvent.aux of a Note On
}  // namespace

void Converter::writeNoteHead() {
  // No word of a note head holds a line feed.
  if (pass_.pendingKey == kNoKey) {
    output_.writePlain(words_.rest);
  } else if (!pass_.noteOpen) {
    output_.writePlain(words_.tie);
  } else {
    heads_.write(output_, pass_.pendingKey, pass_.pendingVelocity);
  }
}

void Converter::findNoteEnds() {
  // Walking the track backwards, keep for each channel and key the nearest
  // later event that ends such a note (a Note Off, or a Note On of velocity 0),
  // and for each channel the nearest later event that begins while a note
  // sounds (a Note On, or any other message of the channel). A note ends at
  // the first; it overlaps when the second comes before its end. Notes with no
  // end run to the end-of-track event, the last one.
  auto& events = track_.events;
  const std::uint32_t endOfTrack = static_cast<std::uint32_t>(events.size() - 1);
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  std::uint32_t nextEnd[16][256];
  std::uint32_t nextOverlap[16];
  // Only the channels the track uses: a file of thousands of small tracks
  // would spend more time clearing the table than sweeping.
  for (int channel = 0; channel < 16; ++channel) {
    nextOverlap[channel] = kNone;
    if (track_.passBegin[channel + 1] == track_.passBegin[channel + 2]) continue;
    for (std::uint32_t& index : nextEnd[channel]) index = endOfTrack;
  }

  for (std::uint32_t i = endOfTrack + 1; i-- > 0;) {
    DecodedEvent& event = events[i];
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

void Converter::startNote(const DecodedEvent& event) {
  const std::uint32_t end = event.aux & ~kOverlapBit;
  const bool overlap = (event.aux & kOverlapBit) != 0;
  const std::uint64_t duration = track_.events[end].tick - event.tick;

  if (duration == 0) {
    // A note that ends where it starts has no length to write.
    pass_.pendingKey = kNoKey;
    return;
  }
  pass_.pendingKey = event.data1;
  pass_.pendingVelocity = event.data2;
  pass_.noteOpen = true;
  if (!overlap) return;

  output_.writePlain(" Sub{");
  writeNoteHead();
  clock_.writeLength(duration);
  output_.writeChar('}');
  pass_.pendingKey = kNoKey;
}

}  // namespace vantrel
