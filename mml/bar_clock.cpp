#include "mml/bar_clock.h"

#include <algorithm>

namespace vantrel {

BarClock::BarClock(const RhythmTable& rhythm, const Settings& settings, std::string_view tie,
                   LengthWriter& lengths, TextWriter& output, std::vector<LineMark>* lines)
    : rhythm_(rhythm),
      settings_(settings),
      tie_(tie),
      output_(output),
      lengths_(lengths),
      exactLengths_(dynamic_cast<LengthCache*>(&lengths)),
      lines_(lines),
      longPickup_(settings.pickupTicks > 0 &&
                  static_cast<std::uint32_t>(settings.pickupTicks) > rhythm[0].barLength),
      wholePickup_(longPickup_ && lengths.noteValues()),
      restsAgain_(lengths.noteValues()) {
  barLength_ = rhythm_[0].barLength;
  if (settings_.pickupTicks == 0) {
    ticksSinceBar_ = 0;
    ticksSinceLine_ = 0;
  } else {
    // As if the first bar had already run for all but the pickup.
    std::uint32_t pickup = static_cast<std::uint32_t>(settings_.pickupTicks);
    ticksSinceBar_ = barLength_ - pickup;
    ticksSinceLine_ = lineThreshold() - pickup;
  }
}

std::uint64_t BarClock::ticksToNextChange() const {
  return rhythm_[current_ + 1].tick - writtenTick_;
}

void BarClock::checkBoundaries() {
  atBarLine_ = false;
  const RhythmEntry& next = rhythm_[current_ + 1];
  if (writtenTick_ == next.tick) {
    atBarLine_ = true;
    output_.write("\n\t");
    ticksSinceBar_ = 0;
    ticksSinceLine_ = 0;
    ++current_;
    const RhythmEntry& now = rhythm_[current_];
    barLength_ = now.barLength;
    output_.write("//Rhythm = ");
    output_.writeUnsigned(now.numerator);
    output_.writeChar('/');
    output_.writeUnsigned(now.denominator);
    output_.write("\n\t");
    markLine();
  }
  if (!settings_.barLines) return;
  // Inside a pickup longer than a bar no bar is complete yet.
  if (longPickup_ && writtenTick_ < static_cast<std::uint64_t>(settings_.pickupTicks)) return;
  if (ticksSinceBar_ >= barLength_) {
    ticksSinceBar_ -= barLength_;
    output_.writePlain("\t|\t");
    atBarLine_ = true;
  }
  // A negative /C means no counted line breaks, whatever its size.
  if (settings_.lineBars < 0) return;
  if (ticksSinceLine_ >= lineThreshold()) {
    ticksSinceLine_ -= lineThreshold();
    output_.write("\n\t");
    markLine();
  }
}

void BarClock::writePiece(std::uint64_t ticks, bool first, std::string_view restWord) {
  if (!first) output_.writePlain(restsAgain_ && atBarLine_ && !restWord.empty() ? restWord : tie_);
  writeLength(ticks);
  pendingTicks_ -= ticks;
  ticksSinceBar_ += static_cast<std::uint32_t>(ticks);
  ticksSinceLine_ += ticks;
  writtenTick_ += ticks;
  checkBoundaries();
}

void BarClock::writePendingTicks(std::string_view restWord) {
  bool first = true;
  auto piece = [&](std::uint64_t ticks) {
    writePiece(ticks, first, restWord);
    first = false;
  };

  // 1. Up to the bar line, so that the rest of the time follows the bars.
  if (settings_.barLines) {
    std::int64_t toBar;
    std::uint64_t pickup = static_cast<std::uint64_t>(settings_.pickupTicks);
    if (longPickup_ && writtenTick_ < pickup) {
      toBar = static_cast<std::int64_t>(pickup - writtenTick_);
    } else {
      toBar = static_cast<std::int32_t>(barLength_ - ticksSinceBar_);
    }
    if (toBar > 0 && toBar < static_cast<std::int64_t>(pendingTicks_)) {
      piece(std::min(static_cast<std::uint64_t>(toBar), ticksToNextChange()));
    }
  }
  // 2. Up to the next rhythm change, which may lie several bars ahead.
  std::uint64_t toChange = ticksToNextChange();
  if (toChange < pendingTicks_) piece(toChange);
  // 3. The rest in pieces of a bar. A long time in short bars can make
  // gigabytes of text: when the output has stopped taking it, so does this.
  // In note values, a pickup longer than a bar is one piece, as it has no
  // bar lines inside.
  while (pendingTicks_ > 0 && !output_.failed()) {
    std::uint64_t most = barLength_;
    const auto pickup = static_cast<std::uint64_t>(settings_.pickupTicks);
    if (wholePickup_ && writtenTick_ < pickup) most = pickup - writtenTick_;
    const std::uint64_t ticks = std::min<std::uint64_t>(pendingTicks_, most);
    piece(std::min(ticks, ticksToNextChange()));
  }
}

}  // namespace vantrel
