// Lengths, ties, bar lines, line breaks and rhythm-change comments.
//
// Time is written as pieces joined by the tie word. A piece never ends past
// the next rhythm change, so every change is announced exactly where it
// falls; with bar lines on, pieces are also cut at the bar lines.

#include <algorithm>

#include "mml/converter.h"

namespace vantrel {

void Converter::writeLength(std::uint64_t ticks) {
  // Music repeats its lengths: the text of recent ones is kept. The longest
  // text is "%" and 20 digits.
  LengthText& cached = lengthCache_[ticks % kLengthCacheSize];
  if (cached.ticks != ticks) {
    cached.ticks = ticks;
    cached.text = lengthText(ticks);
  }
  output.writeShort(cached.text);
}

ShortText Converter::lengthText(std::uint64_t ticks) const {
  ShortText text;
  // A base value of q ticks with n dots lasts q * (2^(n+1) - 1) / 2^n ticks;
  // the fewest dots that give a whole-note divisor win.
  const std::uint64_t whole = 4 * std::uint64_t{header.division};
  for (int n = 0; n <= 13; ++n) {
    std::uint64_t d = (std::uint64_t{2} << n) - 1;
    // q must divide `whole`, so ticks * 2^n <= whole * d: this bound also
    // keeps the shift below from overflowing.
    if (ticks > (whole * d) >> n) continue;
    std::uint64_t scaled = ticks << n;
    if (scaled % d != 0) continue;
    std::uint64_t q = scaled / d;
    if (whole % q != 0) continue;
    text.appendNumber(whole / q);
    for (int dot = 0; dot < n; ++dot) text.append(".");
    return text;
  }
  text.append("%");
  text.appendNumber(ticks);
  return text;
}

std::uint64_t Converter::ticksToNextChange() const {
  return rhythm.entries[rhythm.current + 1].tick - writtenTick;
}

void Converter::checkBoundaries() {
  const RhythmEntry& next = rhythm.entries[rhythm.current + 1];
  if (writtenTick == next.tick) {
    output.write("\n\t");
    ticksSinceBar = 0;
    ticksSinceLine = 0;
    ++rhythm.current;
    const RhythmEntry& now = rhythm.entries[rhythm.current];
    barLength = now.barLength;
    output.write("//Rhythm = ");
    output.writeUnsigned(now.numerator);
    output.writeChar('/');
    output.writeUnsigned(now.denominator);
    output.write("\n\t");
  }
  if (!options.barLines) return;
  // Inside a pickup longer than a bar no bar is complete yet.
  if (longPickup && writtenTick < static_cast<std::uint64_t>(options.pickupTicks)) return;
  if (ticksSinceBar >= barLength) {
    ticksSinceBar -= barLength;
    output.writePlain("\t|\t");
  }
  // A negative /C means no counted line breaks, whatever its size.
  if (options.lineBars < 0) return;
  if (ticksSinceLine >= lineThreshold()) {
    ticksSinceLine -= lineThreshold();
    output.write("\n\t");
  }
}

void Converter::writePiece(std::uint64_t ticks, bool first) {
  if (!first) output.writePlain(words.tie);
  writeLength(ticks);
  pendingTicks -= ticks;
  ticksSinceBar += static_cast<std::uint32_t>(ticks);
  ticksSinceLine += ticks;
  writtenTick += ticks;
  checkBoundaries();
}

void Converter::writePendingTicks() {
  bool first = true;
  auto piece = [&](std::uint64_t ticks) {
    writePiece(ticks, first);
    first = false;
  };

  // 1. Up to the bar line, so that the rest of the time follows the bars.
  if (options.barLines) {
    std::int64_t toBar;
    std::uint64_t pickup = static_cast<std::uint64_t>(options.pickupTicks);
    if (longPickup && writtenTick < pickup) {
      toBar = static_cast<std::int64_t>(pickup - writtenTick);
    } else {
      toBar = static_cast<std::int32_t>(barLength - ticksSinceBar);
    }
    if (toBar > 0 && toBar < static_cast<std::int64_t>(pendingTicks)) {
      piece(std::min(static_cast<std::uint64_t>(toBar), ticksToNextChange()));
    }
  }
  // 2. Up to the next rhythm change, which may lie several bars ahead.
  std::uint64_t toChange = ticksToNextChange();
  if (toChange < pendingTicks) piece(toChange);
  // 3. The rest in pieces of a bar.
  while (pendingTicks > 0) {
    std::uint64_t ticks = std::min<std::uint64_t>(pendingTicks, barLength);
    piece(std::min(ticks, ticksToNextChange()));
  }
}

}  // namespace vantrel
