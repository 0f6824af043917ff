#include "mml/length_text.h"

#include <algorithm>
#include <cassert>
#include <numeric>

namespace vantrel {

ShortText lengthText(std::uint64_t ticks, std::uint16_t division) {
  assert(ticks > 0 && division > 0);
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

namespace {

// A note value: its ticks and its text ("4", "8.").
struct Value {
  std::uint64_t ticks;
  std::uint64_t divisor;
  bool dotted;
};

void appendValue(std::string& text, const Value& value, std::string_view tie) {
  if (!text.empty()) text.append(tie);
  text += std::to_string(value.divisor);
  if (value.dotted) text += '.';
}

}  // namespace

GridLengthCache::GridLengthCache(std::uint16_t division, std::uint32_t note,
                                 std::uint32_t tripletNote, std::string_view tie)
    : division_(division),
      note_(tripletNote != 0 ? std::lcm(note, tripletNote) : note),
      step_(4 * std::uint64_t{division} / note_),
      fineNote_(note_ * static_cast<std::uint32_t>(step_ & (~step_ + 1))),
      tie_(tie),
      entries_(kSize) {
  assert(note_ > 0 && (4 * std::uint64_t{division}) % note_ == 0);
}

namespace {

// The values the grid of `note` makes whole, longest first: whole / d for
// each d that divides `note`, and their dotted forms that are whole steps.
std::vector<Value> gridValues(std::uint64_t whole, std::uint32_t note) {
  const std::uint64_t step = whole / note;
  std::vector<Value> values;
  for (std::uint64_t d = 1; d <= note; ++d) {
    if (note % d != 0) continue;
    const std::uint64_t plain = whole / d;
    values.push_back({plain, d, false});
    if (plain % 2 == 0 && (plain + plain / 2) % step == 0) values.push_back({plain + plain / 2, d, true});
  }
  std::stable_sort(values.begin(), values.end(),
                   [](const Value& a, const Value& b) { return a.ticks > b.ticks; });
  return values;
}

// One value of `values` that is `ticks` long, plain before dotted.
const Value* oneValue(const std::vector<Value>& values, std::uint64_t ticks) {
  for (const Value& value : values) {
    if (value.ticks == ticks && !value.dotted) return &value;
  }
  for (const Value& value : values) {
    if (value.ticks == ticks) return &value;
  }
  return nullptr;
}

// The longest values of `values` that fit, one after the other, while
// `left` is at least `least`.
void appendLongest(std::string& text, const std::vector<Value>& values, std::uint64_t& left,
                   std::uint64_t least, std::string_view tie) {
  for (const Value& value : values) {
    while (left >= value.ticks && left >= least) {
      appendValue(text, value, tie);
      left -= value.ticks;
    }
  }
}

}  // namespace

std::string gridLengthText(std::uint64_t ticks, std::uint16_t division, std::uint32_t note,
                           std::uint32_t fineNote, std::string_view tie) {
  const std::uint64_t whole = 4 * std::uint64_t{division};
  assert(ticks > 0 && note > 0 && whole % note == 0);  // a grid whose step is whole
  assert(fineNote % note == 0 && whole % fineNote == 0);
  const std::uint64_t step = whole / note;
  const std::vector<Value> values = gridValues(whole, note);
  const bool steps = ticks % step == 0;
  // A length of the finer grid: its values too.
  const std::vector<Value> fine = steps || fineNote == note ? std::vector<Value>() : gridValues(whole, fineNote);
  std::string text;
  if (const Value* one = oneValue(steps ? values : fine, ticks)) {
    appendValue(text, *one, tie);
    return text;
  }
  // Whole notes, then the longest values that fit. Every value is a whole
  // number of steps, and the step itself is one: a length of whole steps
  // ends exactly; what is left of another, with the finer grid's values.
  std::uint64_t left = ticks;
  const Value wholeNote{whole, 1, false};
  while (left > whole) {
    appendValue(text, wholeNote, tie);
    left -= whole;
  }
  appendLongest(text, values, left, step, tie);
  appendLongest(text, fine, left, 1, tie);
  // What is no whole number of steps: the largest values that divide the
  // whole note, down to a tick ("1920" at 480 ticks a quarter).
  while (left > 0) {
    std::uint64_t d = (whole + left - 1) / left;
    while (whole % d != 0) ++d;
    appendValue(text, {whole / d, d, false}, tie);
    left -= whole / d;
  }
  return text;
}

}  // namespace vantrel
