// Note heads, and where a note is written.
//
// A line of MML holds one sounding note at a time. A note during which another
// note or message of its channel begins is written at once as " Sub{...}" with
// its whole length; any other note stays pending in the main line, and its
// length is written by the flushes that follow. With voices, the same holds
// within each voice (see VoiceTable).

#include "mml/pass_writer.h"

#include <cassert>

namespace vantrel {

template <bool kExtras>
void PassWriter::writeNoteHead() {
  // No word of a note head holds a line feed.
  if (pendingKey_ == kNoKey) {
    output_.writePlain(words_.rest);
  } else if (!noteOpen_) {
    output_.writePlain(words_.tie);
  } else if constexpr (!kExtras) {
    heads_.write(output_, pendingKey_, pendingVelocity_);
  } else {
    // With a velocity step, heads come in the order of the plan, each once.
    std::uint8_t written = pendingVelocity_;
    if (velocityPlan_ != nullptr) {
      assert(planned_ < velocityPlan_->size());
      if (planned_ < velocityPlan_->size()) written = (*velocityPlan_)[planned_];
      ++planned_;
    }
    heads_.write(output_, pendingKey_, pendingVelocity_, written);
  }
}

template <bool kExtras>
void PassWriter::startNote(const DecodedEvent& event, std::uint32_t index) {
  const std::uint64_t duration = spans_.endTick(track_, index) - event.tick;
  if (duration == 0) {
    // A note that ends where it starts has no length to write.
    pendingKey_ = kNoKey;
    return;
  }
  pendingKey_ = event.data1;
  pendingEnd_ = spans_[index].end;
  pendingVelocity_ = event.data2;
  noteOpen_ = true;
  if (!(kExtras && voices_ != nullptr ? voices_->sub(index) : spans_[index].overlap)) return;

  output_.writePlain(" Sub{");
  writeNoteHead<kExtras>();
  clock_.writeLength(duration);
  output_.writeChar('}');
  pendingKey_ = kNoKey;
}

template void PassWriter::writeNoteHead<false>();
template void PassWriter::writeNoteHead<true>();
template void PassWriter::startNote<false>(const DecodedEvent&, std::uint32_t);
template void PassWriter::startNote<true>(const DecodedEvent&, std::uint32_t);

}  // namespace vantrel
