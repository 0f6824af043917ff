#include "mml/length_text.h"

namespace vantrel {

ShortText lengthText(std::uint64_t ticks, std::uint16_t division) {
  ShortText text;
  // A base value of q ticks with n dots lasts q * (2^(n+1) - 1) / 2^n ticks;
  // the fewest dots that give a whole-note divisor win.
  const std::uint64_t whole = 4 * std::uint64_t{division};
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

}  // namespace vantrel
