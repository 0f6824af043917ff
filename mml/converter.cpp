#include "mml/converter.h"

#include <cstring>
#include <vector>

#include "app/fault.h"
#include "app/messages.h"

namespace vantrel {

Converter::Converter(const Options& options, std::span<const std::uint8_t> input,
                     TextWriter& output, std::ostream& console)
    : options(options), output(output), input(input), console(console),
      words(vocabulary(options.dialect)) {
  prepareHeadTexts();
  reader.file = input;
  reader.filterMask = options.filterMask;
  header.readHeader(input);
  reader.position = 14;  // the first track chunk follows the 14 header bytes
}

void Converter::run() {
  output.write(
      "//--------------------------------------\n"
      "//\t\tVANTREL\n"
      "//--------------------------------------\n"
      "//MThd Infomation :\n"
      "//\tSize = ");
  output.writeUnsigned(header.size);
  output.write("\n//\tFormat = ");
  output.writeUnsigned(header.format);
  output.write("\n//\tTrack = ");
  output.writeUnsigned(header.trackCount);
  output.write("\n//\nSystem.ControllerShift = 0;\nSystem.TimeBase = ");
  output.writeUnsigned(header.division);
  output.write(";\n\nInclude(stdmsg.h);\n\n\n\n");

  buildRhythmTable();

  for (trackIndex = 0; trackIndex < header.trackCount; ++trackIndex) {
    readTrackHeader();
    output.write("//--------------------------------------\n//MTrk Infomation :\n//\tSize = ");
    output.writeUnsigned(trackLength);
    output.write("\n\n");
    output.write(words.track);
    output.write("(");
    output.writeSigned(trackIndex);
    output.write(");\n");
    track.decode(reader, trackStart, trackLength);
    findNoteEnds();
    for (channelPass = 0; channelPass <= 16; ++channelPass) {
      resetPass();
      runPass();
    }
    // The next track chunk follows the end-of-track event.
    reader.position = track.endPosition;
    output.write("\n\n");
  }
}

void Converter::readTrackHeader() {
  // A chunk header cut short by the end of the file is a missing chunk too.
  if (input.size() - reader.position < 8) dataError(messages::kNoMTrk);
  const std::uint8_t* p = input.data() + reader.position;
  trackLength = readBigEndian(p + 4, 4);
  trackStart = reader.position + 8;
  reader.position = trackStart;
  if (std::memcmp(p, "MTrk", 4) != 0) dataError(messages::kNoMTrk);
}

void Converter::buildRhythmTable() {
  rhythm.insertRhythm(0, 4, 2, header.division);
  if (options.pickupTicks != 0) {
    rhythm.insertRhythm(static_cast<std::uint32_t>(options.pickupTicks), 4, 2, header.division);
  }
  std::vector<KeySignature> keys = collectTimeSignatures();
  rhythm.insertRhythm(kSentinelTick, 4, 2, header.division);
  assignKeys(rhythm, std::move(keys));
  rhythm.printListing(console);
  longPickup = options.pickupTicks > 0 &&
               static_cast<std::uint32_t>(options.pickupTicks) > rhythm.entries[0].barLength;
}

std::vector<KeySignature> Converter::collectTimeSignatures() {
  std::uint64_t afterHeader = reader.position;
  std::vector<KeySignature> keys;
  for (int track = 0; track < header.trackCount; ++track) {
    readTrackHeader();
    reader.rewindTrack(trackStart);
    std::uint64_t tick = 0;
    while (!reader.endOfTrack) {
      tick += reader.readEvent();
      std::uint32_t length = reader.length > 0 ? static_cast<std::uint32_t>(reader.length) : 0;
      if (reader.status == 0xFF && (reader.data1 == 0x58 || reader.data1 == 0x59)) {
        // Only the first two bytes matter; shorter events are passed over.
        std::span<const std::uint8_t> data = reader.take(length);
        if (data.size() < 2) continue;
        if (reader.data1 == 0x58) {
          rhythm.insertRhythm(tick, data[0], data[1], header.division);
        } else {
          keys.push_back({tick, static_cast<std::int8_t>(data[0]), data[1]});
        }
      } else if (length > 0) {
        reader.skip(length);
      }
    }
  }
  rhythm.sortEntries();
  reader.position = afterHeader;
  return keys;
}

void Converter::resetPass() {
  rhythm.current = 0;
  pendingTicks = 0;
  absoluteTick = 0;
  writtenTick = 0;
  barLength = rhythm.entries[0].barLength;
  if (options.pickupTicks == 0) {
    ticksSinceBar = 0;
    ticksSinceLine = 0;
  } else {
    // As if the first bar had already run for all but the pickup.
    std::uint32_t pickup = static_cast<std::uint32_t>(options.pickupTicks);
    ticksSinceBar = barLength - pickup;
    ticksSinceLine = lineThreshold() - pickup;
  }
  noteOpen = 0;
  passHeaderWritten = 0;
  octave = kNoOctave;
  velocity = kNoVelocity;
  pendingKey = kNoKey;
}

void Converter::runPass() {
  const std::uint32_t begin = track.passBegin[channelPass];
  const std::uint32_t end = track.passBegin[channelPass + 1];
  for (std::uint32_t k = begin; k < end; ++k) {
    processEvent(track.passOrder[k]);
    k += consumedAhead;  // events of this pass that an idiom has written
  }
  // A note still sounding at the end of the track is written up to there.
  if (channelPass > 0 && passHeaderWritten && pendingKey != kNoKey) {
    absoluteTick = track.events.back().tick;
    pendingTicks = absoluteTick - writtenTick;
    if (pendingTicks > 0) flushPending();
  }
}

void Converter::processEvent(std::uint32_t index) {
  const DecodedEvent& event = track.events[index];
  eventIndex = index;
  consumedAhead = 0;
  reader.status = event.status;
  reader.data1 = event.data1;
  reader.data2 = event.data2;
  reader.length = 0;
  reader.endOfTrack = index + 1 == track.events.size();
  if (event.status >= 0xF0) {
    const DataRef& data = track.data[event.aux];
    reader.position = data.offset;
    reader.length = data.length;
  }
  // Every event of the track in between has added its time.
  absoluteTick = event.tick;
  pendingTicks = absoluteTick - writtenTick;
  const std::uint8_t status = event.status;

  if (!passHeaderWritten) {
    passHeaderWritten = 1;
    output.write(words.time);
    if (channelPass > 0) {
      if (header.format == 0) {
        output.write(words.track);
        output.write("(");
        output.writeSigned(channelPass);
        output.write(");\t");
      }
      output.write(words.channel);
      output.writeSigned(channelPass);
      output.write(words.channelTail);
    }
  }

  if (!reader.endOfTrack && pendingTicks != 0) flushPending();

  if (status < 0xF0) {
    writeChannelMessage();
  } else if (status == 0xF0) {
    writeSysEx();
  } else if (status == 0xF7) {
    writeSysExEscape();
  } else if (status == 0xFF) {
    writeMetaEvent();
  } else {
    dataError(messages::kInvalidMidiEvent);
  }
}

void Converter::flushPending() {
  writeNoteHead();
  writePendingTicks();
  noteOpen = 0;
}

}  // namespace vantrel
