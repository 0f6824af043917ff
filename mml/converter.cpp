#include "mml/converter.h"

#include <algorithm>

#include "mml/mml_messages.h"
#include "smf/smf_messages.h"

namespace vantrel {

Converter::Converter(std::span<const std::uint8_t> input, const SmfHeader& header,
                     const RhythmTable& rhythm, const Settings& settings, TextWriter& output)
    : input_(input),
      header_(header),
      filterMask_(settings.filterMask),
      words_(vocabulary(settings.dialect)),
      output_(output),
      clock_(rhythm, settings, header.division, words_.tie, output),
      heads_(words_) {
}

void Converter::reserveFor(std::span<const TrackChunk> tracks) {
  std::size_t events = 0, dataEvents = 0;
  for (const TrackChunk& chunk : tracks) {
    events = std::max<std::size_t>(events, chunk.eventCount);
    dataEvents = std::max<std::size_t>(dataEvents, chunk.dataEventCount);
  }
  track_.reserve(events, dataEvents);
}

const char* Converter::convertTrack(int index, const TrackChunk& chunk) {
  output_.write("//--------------------------------------\n//MTrk Infomation :\n//\tSize = ");
  output_.writeUnsigned(chunk.length);
  output_.write("\n\n");
  output_.write(words_.track);
  output_.write("(");
  output_.writeSigned(index);
  output_.write(");\n");
  // The walk before the conversion has read every track to its end.
  if (!track_.decode(input_, filterMask_, chunk)) return messages::kTrackCutShort;
  findNoteEnds();
  for (int channel = 0; channel <= 16; ++channel) {
    runPass(channel);
    if (fault_ != nullptr) return fault_;
    if (output_.failed()) return nullptr;
  }
  output_.write("\n\n");
  return nullptr;
}

void Converter::runPass(int channel) {
  pass_ = {.channel = channel};
  clock_.reset();
  heads_.reset();
  const std::uint32_t begin = track_.passBegin[channel];
  const std::uint32_t end = track_.passBegin[channel + 1];
  for (std::uint32_t k = begin; k < end; ++k) {
    fault_ = processEvent(track_.passOrder[k]);
    if (fault_ != nullptr || output_.failed()) return;
    k += pass_.consumedAhead;  // events of this pass that an idiom has written
  }
  // A note still sounding at the end of the track is written up to there.
  if (channel > 0 && pass_.headerWritten && pass_.pendingKey != kNoKey) {
    clock_.advanceTo(track_.events.back().tick);
    if (clock_.pendingTicks() > 0) flushPending();
  }
}

const char* Converter::processEvent(std::uint32_t index) {
  const DecodedEvent& event = track_.events[index];
  pass_.consumedAhead = 0;
  // Every event of the track in between has added its time.
  clock_.advanceTo(event.tick);
  if (!pass_.headerWritten) writePassHeader();

  const bool endOfTrack = index + 1 == track_.events.size();
  if (!endOfTrack && clock_.pendingTicks() != 0) flushPending();

  const std::uint8_t status = event.status;
  if (status < 0xF0) {
    writeChannelMessage(event, index);
    return nullptr;
  }
  if (status != 0xF0 && status != 0xF7 && status != 0xFF) return messages::kInvalidMidiEvent;
  const DataRef& ref = track_.data[event.aux];
  const std::span<const std::uint8_t> data =
      input_.subspan(ref.offset, static_cast<std::uint32_t>(ref.length));
  if (status == 0xFF) return writeMetaEvent(event.data1, data);
  writeSysEx(status, data);
  return nullptr;
}

void Converter::writePassHeader() {
  pass_.headerWritten = true;
  output_.write(words_.time);
  if (pass_.channel == 0) return;
  if (header_.format == 0) {
    output_.write(words_.track);
    output_.write("(");
    output_.writeSigned(pass_.channel);
    output_.write(");\t");
  }
  output_.write(words_.channel);
  output_.writeSigned(pass_.channel);
  output_.write(words_.channelTail);
}

void Converter::flushPending() {
  writeNoteHead();
  clock_.writePendingTicks();
  pass_.noteOpen = false;
}

}  // namespace vantrel
