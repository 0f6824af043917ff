#include "mml/pass_writer.h"

#include <cassert>

namespace vantrel {

PassWriter::PassWriter(const PassContext& context, int pass)
    : c_(context),
      output_(context.output),
      words_(context.words),
      pass_(pass),
      clock_(context.rhythm, context.settings, context.words.tie, context.lengths,
             context.gridLengths, context.output),
      heads_(context.headTexts) {}

void PassWriter::write(std::uint32_t stopAt) {
  const std::uint32_t begin = c_.track->passBegin[pass_];
  const std::uint32_t end = c_.track->passBegin[pass_ + 1];
  // A fault lies among the events of the pass that the track was decoded to.
  assert(stopAt == kNoStop || (pass_ == 0 && stopAt < end - begin));
  // On a grid, a Note Off that ends no note of the main line (one written in
  // a sub-block) changes nothing there: the main line's length goes on
  // whole, one note value, rather than cut where the sub-block's note ends.
  // The pass's last event still brings the line's time up to it.
  const bool onGrid = c_.gridLengths != nullptr;
  for (std::uint32_t index = begin; index < end;) {
    const DecodedEvent& event = c_.track->events[index];
    if (onGrid && index + 1 < end && isNoteEnd(event) && event.data1 != pendingKey_) {
      ++index;
      continue;
    }
    // Every event of the track in between has added its time.
    clock_.advanceTo(event.tick);
    if (!headerWritten_) writePassHeader();
    if (event.order != c_.track->endOrder && clock_.pendingTicks() != 0) flushPending();
    if (index - begin == stopAt) return;
    index += writeEvent(index);
    if (output_.failed()) return;
  }
  // A note still sounding at the end of the track is written up to there.
  if (pass_ > 0 && headerWritten_ && pendingKey_ != kNoKey) {
    clock_.advanceTo(c_.track->endTick);
    if (clock_.pendingTicks() > 0) flushPending();
  }
}

std::uint32_t PassWriter::writeEvent(std::uint32_t index) {
  const DecodedEvent& event = c_.track->events[index];
  if (pass_ > 0) return writeChannelMessage(event, index);
  // The walk has found no fault up to here: SysEx or a valid meta event.
  // Pass 0 comes first: its events' indices are those of their data.
  const std::span<const std::uint8_t> data = systemEventData(c_.smf, c_.track->dataAt[index]);
  if (event.status == 0xFF) {
    writeMetaEvent(event.data1, data);
  } else {
    assert(event.status == 0xF0 || event.status == 0xF7);
    writeSysEx(event.status, data);
  }
  return 1;
}

void PassWriter::writePassHeader() {
  headerWritten_ = true;
  output_.write(words_.time);
  if (pass_ == 0) return;
  if (c_.header.format == 0) {
    output_.write(words_.track);
    output_.write("(");
    output_.writeSigned(pass_);
    output_.write(");\t");
  }
  output_.write(words_.channel);
  output_.writeSigned(pass_);
  output_.write(words_.channelTail);
}

void PassWriter::flushPending() {
  writeNoteHead();
  clock_.writePendingTicks();
  noteOpen_ = false;
}

}  // namespace vantrel
