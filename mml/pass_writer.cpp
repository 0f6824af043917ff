#include "mml/pass_writer.h"

#include <cassert>

namespace vantrel {

PassWriter::PassWriter(const PassContext& context, int pass)
    : c_(context),
      track_(*context.view.track),
      spans_(*context.view.spans),
      output_(context.output),
      words_(context.words),
      pass_(pass),
      wholeNotes_(context.lengths.noteValues()),
      clock_(context.song.rhythm, context.song.settings, context.words.tie, context.lengths,
             context.output, context.lines),
      heads_(context.headTexts) {}

void PassWriter::write(std::uint32_t stopAt) {
  const std::uint32_t begin = track_.passBegin[pass_];
  const std::uint32_t end = track_.passBegin[pass_ + 1];
  // A fault lies among the events of the pass that the track was decoded to.
  assert(stopAt == kNoStop || (pass_ == 0 && stopAt < end - begin));
  for (std::uint32_t index = begin; index < end;) {
    const DecodedEvent& event = track_.events[index];
    // In note values, a Note Off that ends no note of the main line (one
    // written in a sub-block) changes nothing there: the main line's length
    // goes on whole, one note value, rather than cut where the sub-block's
    // note ends. The pass's last event still brings the line's time up to it.
    if (wholeNotes_ && index + 1 < end && isNoteEnd(event) &&
        (pendingKey_ == kNoKey || index != pendingEnd_)) {
      ++index;
      continue;
    }
    // Every event of the track in between has added its time.
    clock_.advanceTo(event.tick);
    if (!headerWritten_) writePassHeader();
    if (event.order != track_.endOrder && clock_.pendingTicks() != 0) flushPending();
    if (index - begin == stopAt) {
      clock_.markSectionEnd();
      return;
    }
    index += writeEvent(index);
    if (output_.failed()) return;
  }
  // A note still sounding at the end of the track is written up to there.
  if (pass_ > 0 && headerWritten_ && pendingKey_ != kNoKey) {
    clock_.advanceTo(track_.endTick);
    if (clock_.pendingTicks() > 0) flushPending();
  }
  if (headerWritten_) clock_.markSectionEnd();
}

std::uint32_t PassWriter::writeEvent(std::uint32_t index) {
  const DecodedEvent& event = track_.events[index];
  if (pass_ > 0) return writeChannelMessage(event, index);
  // The walk has found no fault up to here: SysEx or a valid meta event.
  // Pass 0 comes first: its events' indices are those of their data.
  const std::span<const std::uint8_t> data = systemEventData(c_.song.smf, track_.dataAt[index]);
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
  if (pass_ > 0) {
    if (c_.song.header.format == 0) {
      output_.write(words_.track);
      output_.write("(");
      output_.writeSigned(pass_);
      output_.write(");\t");
    }
    output_.write(words_.channel);
    output_.writeSigned(pass_);
    output_.write(words_.channelTail);
  }
  clock_.markLine();
}

void PassWriter::flushPending() {
  writeNoteHead();
  clock_.writePendingTicks(pendingKey_ == kNoKey ? words_.rest : std::string_view());
  noteOpen_ = false;
}

}  // namespace vantrel
