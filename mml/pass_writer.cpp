#include "mml/pass_writer.h"

#include <cassert>

#include "voices/drum_names.h"

namespace vantrel {

PassWriter::PassWriter(const PassContext& context, int pass, int voice)
    : c_(context),
      track_(*context.view.track),
      spans_(*context.view.spans),
      output_(context.output),
      words_(context.words),
      pass_(pass),
      voices_(pass > 0 ? context.voices : nullptr),
      voice_(voice),
      wholeNotes_(context.lengths.noteValues()),
      clock_(context.song.rhythm, context.song.settings, context.words.tie, context.lengths,
             context.output, context.lines),
      heads_(context.headTexts, context.song.settings.velocityStep),
      velocityPlan_(pass > 0 ? context.velocityPlan : nullptr) {}

void PassWriter::write(std::uint32_t stopAt) {
  if (voices_ == nullptr && velocityPlan_ == nullptr) {
    writeEvents<false>(stopAt);
    return;
  }
  if (velocityPlan_ != nullptr) planSectionVelocities();
  if (voices_ != nullptr && voice_ > 0) {
    writeVoiceNotes();
  } else {
    writeEvents<true>(stopAt);
  }
}

bool PassWriter::ownEvent(const DecodedEvent& event, std::uint32_t index) const {
  assert(voice_ == 0);
  if (isNoteStart(event)) return voices_->voiced(index) && voices_->voiceOf(index) == 0;
  if (isNoteEnd(event)) return pendingKey_ != kNoKey && index == pendingEnd_;
  return true;
}

void PassWriter::writeVoiceNotes() {
  for (std::uint32_t index : voices_->notesOf(pass_, voice_)) {
    writeVisited(index);
    if (pendingKey_ != kNoKey && pendingEnd_ != kOpenEnd) writeVisited(pendingEnd_);
    if (output_.failed()) return;
  }
  // A note still sounding at the end of the track is written up to there.
  if (pendingKey_ != kNoKey) {
    clock_.advanceTo(track_.endTick);
    if (clock_.pendingTicks() > 0) flushPending<true>();
  }
  if (headerWritten_) clock_.markSectionEnd();
}

void PassWriter::writeVisited(std::uint32_t index) {
  const DecodedEvent& event = track_.events[index];
  clock_.advanceTo(event.tick);
  if (!headerWritten_) writePassHeader();
  if (clock_.pendingTicks() != 0) flushPending<true>();
  writeChannelMessage<true>(event, index);
}

// The velocities of the notes whose heads the section writes, in their order:
// those of its voice, or without voices every note that has a length.
void PassWriter::planSectionVelocities() {
  std::vector<std::uint8_t>& plan = *velocityPlan_;
  plan.clear();
  if (voices_ != nullptr) {
    for (std::uint32_t index : voices_->notesOf(pass_, voice_)) plan.push_back(track_.events[index].data2);
  } else {
    for (std::uint32_t index = track_.passBegin[pass_]; index < track_.passBegin[pass_ + 1]; ++index) {
      const DecodedEvent& event = track_.events[index];
      if (isNoteStart(event) && spans_.endTick(track_, index) != event.tick) plan.push_back(event.data2);
    }
  }
  planVelocities(plan, c_.song.settings.velocityStep);
}

template <bool kExtras>
void PassWriter::writeEvents(std::uint32_t stopAt) {
  const std::uint32_t begin = track_.passBegin[pass_];
  const std::uint32_t end = track_.passBegin[pass_ + 1];
  // A fault lies among the events of the pass that the track was decoded to.
  assert(stopAt == kNoStop || (pass_ == 0 && stopAt < end - begin));
  for (std::uint32_t index = begin; index < end;) {
    const DecodedEvent& event = track_.events[index];
    if constexpr (kExtras) {
      // The first voice's line holds the channel's messages and its own
      // notes whole, and reaches the channel's last event, as the channel's
      // line does without voices.
      if (voices_ != nullptr && !ownEvent(event, index)) {
        if (index + 1 < end) {
          ++index;
          continue;
        }
        clock_.advanceTo(event.tick);
        if (!headerWritten_) writePassHeader();
        if (clock_.pendingTicks() != 0) flushPending<true>();
        break;
      }
    }
    // In note values, a Note Off that ends no note of the main line (one
    // written in a sub-block) changes nothing there: the main line's length
    // goes on whole, one note value, rather than cut where the sub-block's
    // note ends. The pass's last event still brings the line's time up to it.
    if ((!kExtras || voices_ == nullptr) && wholeNotes_ && index + 1 < end && isNoteEnd(event) &&
        (pendingKey_ == kNoKey || index != pendingEnd_)) {
      ++index;
      continue;
    }
    // Every event of the track in between has added its time.
    clock_.advanceTo(event.tick);
    if (!headerWritten_) writePassHeader();
    if (event.order != track_.endOrder && clock_.pendingTicks() != 0) flushPending<kExtras>();
    if (index - begin == stopAt) {
      clock_.markSectionEnd();
      return;
    }
    index += writeEvent<kExtras>(index);
    if (output_.failed()) return;
  }
  // A note still sounding at the end of the track is written up to there.
  if (pass_ > 0 && headerWritten_ && pendingKey_ != kNoKey) {
    clock_.advanceTo(track_.endTick);
    if (clock_.pendingTicks() > 0) flushPending<kExtras>();
  }
  if (headerWritten_) clock_.markSectionEnd();
}

template <bool kExtras>
std::uint32_t PassWriter::writeEvent(std::uint32_t index) {
  const DecodedEvent& event = track_.events[index];
  // The extras are on channel passes only.
  if (kExtras || pass_ > 0) return writeChannelMessage<kExtras>(event, index);
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
    if (voices_ != nullptr) writeVoiceComment();
  }
  clock_.markLine();
}

// "//voice 2", on a line of its own, where a channel has several voices;
// on the drum channel "//voice 2: Acoustic Snare", each voice being a sound.
void PassWriter::writeVoiceComment() {
  const bool drums = pass_ == kDrumPass;
  if (!drums && voices_->count(pass_) == 1) return;
  output_.write("//voice ");
  output_.writeSigned(voice_ + 1);
  if (drums) {
    const std::string_view name = drumName(voices_->drumKey(voice_));
    if (!name.empty()) {
      output_.write(": ");
      output_.write(name);
    }
  }
  output_.write("\n\t");
}

template <bool kExtras>
void PassWriter::flushPending() {
  writeNoteHead<kExtras>();
  clock_.writePendingTicks(pendingKey_ == kNoKey ? words_.rest : std::string_view());
  noteOpen_ = false;
}

}  // namespace vantrel
