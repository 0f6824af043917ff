#include "tools/roundtrip/grid_lengths.h"

#include <string>

#include "tools/roundtrip/text_forms.h"

namespace vantrel::roundtrip {
namespace {

std::string textOf(const WrittenLength& length) {
  if (length.value == 0) return "%" + std::to_string(length.ticks);
  return std::to_string(length.value) + std::string(static_cast<std::size_t>(length.dots), '.');
}

class LengthCheck {
 public:
  LengthCheck(int track, const Section& found, const GridPoints& grid, std::uint64_t note,
              int division)
      : track_(track),
        found_(found),
        grid_(grid),
        note_(note),
        whole_(4 * static_cast<std::uint64_t>(division)) {}

  void atom(const WrittenLength& length) {
    const std::uint64_t step = grid_.step();
    if (length.value == 0) {
      add(length, "length in ticks", "note values", textOf(length));
    } else if (length.dots > 1) {
      add(length, "length with more than one dot", "one dot at most", textOf(length));
    } else if (length.ticks % step == 0) {
      if (note_ % length.value != 0) {
        add(length, "note value", joined("a value of whole steps that 1/", note_, " makes"),
            textOf(length));
      }
    } else if (length.dots != 0) {
      add(length, "length of no whole number of steps", "a value that divides the whole note",
          textOf(length));
    } else if (!grid_.touchesUnevenBar(length.tick, length.tick + length.ticks)) {
      add(length, "length of no whole number of steps",
          joined("whole steps of ", step, " ticks (the bar is whole steps)"), textOf(length));
    }
  }

  // The lengths [begin, end) of one group, written as one length.
  void group(const std::vector<WrittenLength>& lengths, std::size_t begin, std::size_t end) {
    if (end - begin < 2) return;
    std::uint64_t total = 0;
    std::string text;
    for (std::size_t i = begin; i < end; ++i) {
      total += lengths[i].ticks;
      text += (i > begin ? "^" : "") + textOf(lengths[i]);
    }
    const WrittenLength& first = lengths[begin];
    if (const std::string single = singleValue(total); !single.empty()) {
      add(first, "tied values where one value fits", single, text);
      return;
    }
    for (std::size_t i = begin + 1; i < end; ++i) {
      if (lengths[i].ticks > lengths[i - 1].ticks) {
        add(first, "tied values", "the longest first", text);
        return;
      }
      if (lengths[i].ticks % grid_.step() == 0 && lengths[i - 1].ticks % grid_.step() != 0) {
        add(first, "tied values", "values of whole steps before those of fewer ticks", text);
        return;
      }
    }
  }

  std::vector<Difference> differences;

 private:
  // The one value (plain before dotted) of `ticks` that the grid makes
  // whole; empty when none is.
  std::string singleValue(std::uint64_t ticks) const {
    if (ticks % grid_.step() != 0) return "";
    if (whole_ % ticks == 0 && note_ % (whole_ / ticks) == 0) return std::to_string(whole_ / ticks);
    // A dotted value v lasts 3 × whole / (2 × v).
    if ((3 * whole_) % (2 * ticks) == 0 && note_ % (3 * whole_ / (2 * ticks)) == 0) {
      return std::to_string(3 * whole_ / (2 * ticks)) + ".";
    }
    return "";
  }

  void add(const WrittenLength& at, std::string what, std::string expected, std::string found) {
    differences.push_back({track_, found_.channel, at.tick,
                           std::move(what) + (at.inSub ? " (in a sub-block)" : ""),
                           std::move(expected), std::move(found)});
  }

  const int track_;
  const Section& found_;
  const GridPoints& grid_;
  const std::uint64_t note_;
  const std::uint64_t whole_;
};

}  // namespace

std::vector<Difference> checkGridLengths(int track, const Section& found, const GridPoints& grid,
                                         std::uint64_t note, int division, bool wholeGroups) {
  LengthCheck check(track, found, grid, note, division);
  const std::vector<WrittenLength>& lengths = found.lengths;
  for (std::size_t begin = 0; begin < lengths.size();) {
    std::size_t end = begin + 1;
    while (end < lengths.size() && lengths[end].group == lengths[begin].group) ++end;
    for (std::size_t i = begin; i < end; ++i) check.atom(lengths[i]);
    if (wholeGroups || lengths[begin].inSub) check.group(lengths, begin, end);
    begin = end;
  }
  return std::move(check.differences);
}

}  // namespace vantrel::roundtrip
