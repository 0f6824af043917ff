// BarClock: where a pass stands in time, and the writing of the time that has
// passed since its last written event. Each pass has a clock of its own,
// which starts at tick 0, in the first bar (or the pickup).
//
// Time is written as pieces joined by the tie word. A piece never ends past
// the next rhythm change, so every change is announced ("//Rhythm = 3/4")
// exactly where it falls; with bar lines on, pieces are also cut at the bar
// lines, and a line breaks after every /C bars. writtenTick + pendingTicks is
// always the tick of the event the pass has reached.
#pragma once

#include <cassert>
#include <cstdint>
#include <string_view>

#include <vector>

#include "mml/length_text.h"
#include "mml/settings.h"
#include "mml/text_writer.h"
#include "rhythm/rhythm_table.h"

namespace vantrel {

// A place in the text where the writer started a line of a section, or ended
// a section, and the tick reached there.
struct LineMark {
  std::uint64_t offset = 0;
  std::uint64_t tick = 0;
  bool sectionEnd = false;
};

class BarClock {
 public:
  // `rhythm` is the file's table; `tie` is the dialect's tie word;
  // `lengths` spells each length. Where the lines of the text begin goes to
  // `lines`, when given.
  BarClock(const RhythmTable& rhythm, const Settings& settings, std::string_view tie,
           LengthWriter& lengths, TextWriter& output, std::vector<LineMark>* lines = nullptr);

  // The pass has reached `tick` (not before the last written one).
  void advanceTo(std::uint64_t tick) {
    assert(tick >= writtenTick_);  // a pass's events come in the order of their ticks
    pendingTicks_ = tick - writtenTick_;
  }

  // Time reached and not yet written.
  std::uint64_t pendingTicks() const { return pendingTicks_; }

  // Writes all pending time as lengths, with ties, bar lines, line breaks
  // and rhythm-change comments. Time that is a rest starts again with
  // `restWord` after a bar line where lengths are note values: "r1 | r1",
  // as one writes it, not "r1 | ^1".
  void writePendingTicks(std::string_view restWord = {});

  // Writes the length of `ticks` on its own, without moving the clock (the
  // whole length of a note in a sub-block).
  void writeLength(std::uint64_t ticks) {
    // Exact lengths are written for every note of a conversion without a
    // grid: called directly, inlined here, they cost 4 % less of the whole
    // conversion than through the interface.
    if (exactLengths_ != nullptr) {
      exactLengths_->write(output_, ticks);
    } else {
      lengths_.write(output_, ticks);
    }
  }

  // A line of the section begins here (after its header), or the section
  // ends: noted in `lines`, if given.
  void markLine() { mark(false); }
  void markSectionEnd() { mark(true); }

 private:
  void writePiece(std::uint64_t ticks, bool first, std::string_view restWord);
  void mark(bool sectionEnd) {
    if (lines_ != nullptr) lines_->push_back({output_.position(), writtenTick_ + pendingTicks_, sectionEnd});
  }
  void checkBoundaries();
  std::uint64_t ticksToNextChange() const;
  // Ticks of a line of /C bars at the bar length in effect (0 for /C0).
  std::uint64_t lineThreshold() const {
    return settings_.lineBars > 0 ? std::uint64_t(settings_.lineBars) * barLength_ : 0;
  }

  const RhythmTable& rhythm_;
  const Settings& settings_;
  const std::string_view tie_;
  TextWriter& output_;
  LengthWriter& lengths_;
  LengthCache* const exactLengths_;  // `lengths_` when it is one, else nullptr
  std::vector<LineMark>* const lines_;
  const bool longPickup_;  // a pickup longer than the first bar
  const bool wholePickup_;  // a long pickup written as one length
  const bool restsAgain_;   // a rest starts again after a bar line
  bool atBarLine_ = false;  // the last piece ended at a bar line or a change of rhythm

  std::uint32_t current_ = 0;       // the rhythm entry in effect
  std::uint64_t pendingTicks_ = 0;  // reached and not yet written as lengths
  std::uint64_t writtenTick_ = 0;
  std::uint32_t ticksSinceBar_ = 0;
  std::uint64_t ticksSinceLine_ = 0;  // exact: a line of many bars may pass 2^32 ticks
  std::uint32_t barLength_ = 0;       // of the rhythm entry in effect
};

}  // namespace vantrel
