// The MML text of a length in ticks: a note value with dots where one fits
// exactly ("4", "2.", "16.."), otherwise "%" and the ticks ("%100").
#pragma once

#include <cstddef>
#include <cstdint>

#include "mml/text_writer.h"

namespace vantrel {

// The length of `ticks` (more than 0) at `division` ticks per quarter note.
// Of the forms that fit, the one with the fewest dots wins.
ShortText lengthText(std::uint64_t ticks, std::uint16_t division);

// The texts of recent lengths: music repeats its lengths, and the search for
// dots is the dearest part of writing one.
class LengthCache {
 public:
  explicit LengthCache(std::uint16_t division) : division_(division) {}

  const ShortText& text(std::uint64_t ticks) {
    Entry& entry = entries_[ticks % kSize];
    if (entry.ticks != ticks) {
      entry.ticks = ticks;
      entry.text = lengthText(ticks, division_);
    }
    return entry.text;
  }

 private:
  struct Entry {
    std::uint64_t ticks = 0;  // 0: empty (no length is 0 ticks)
    ShortText text;
  };
  static constexpr std::size_t kSize = 256;
  std::uint16_t division_;
  Entry entries_[kSize];
};

}  // namespace vantrel
