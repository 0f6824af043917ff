#include "tools/roundtrip/grid_lengths.h"

#include <set>
#include <string>

#include "tools/roundtrip/text_forms.h"

namespace vantrel::roundtrip {
namespace {

std::string textOf(const WrittenLength& length) {
  // Appended, not "%" + a string: GCC 12 sees an overlap there (-Wrestrict).
  std::string text;
  if (length.value == 0) return text.append("%").append(std::to_string(length.ticks));
  return text.append(std::to_string(length.value)).append(static_cast<std::size_t>(length.dots), '.');
}

class LengthCheck {
 public:
  LengthCheck(int track, const Section& found, const std::vector<Note>& channelNotes,
              const GridPoints& grid, std::uint64_t note, int division)
      : track_(track),
        found_(found),
        grid_(grid),
        note_(note),
        whole_(4 * static_cast<std::uint64_t>(division)) {
    for (const Note& n : channelNotes) {
      for (std::uint64_t tick : {n.tick, n.tick + n.duration}) {
        if (grid.nearest(tick) != tick) offGrid_.insert(tick);
      }
    }
  }

  // One value; `from` and `to`: the time of the length it belongs to, in
  // which a bar that is no whole number of steps, or a note placed off the
  // grid, allows values of fewer ticks.
  void atom(const WrittenLength& length, std::uint64_t from, std::uint64_t to) {
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
    } else if (!grid_.touchesUnevenBar(from, to) && offGrid_.lower_bound(from) == offGrid_.upper_bound(to)) {
      add(length, "length of no whole number of steps",
          joined("whole steps of ", step, " ticks (the bar is whole steps, no note off the grid)"),
          textOf(length));
    }
  }

  // The lengths [begin, end) of one group, written as one length. The text
  // may cut a note's length where a note of a sub-block ends (its time is
  // written up to every event of the channel): a group that is no length as
  // a musician writes it, but whose parts between such ends each are, is
  // reported as cut there.
  void group(const std::vector<WrittenLength>& lengths, std::size_t begin, std::size_t end,
             const std::set<std::uint64_t>& subEnds) {
    const Fault whole = shapeFault(lengths, begin, end);
    if (whole.what.empty()) return;
    bool cut = false, partsRight = true;
    std::size_t part = begin;
    for (std::size_t i = begin + 1; i <= end; ++i) {
      if (i < end && !subEnds.count(lengths[i].tick)) continue;
      cut = cut || i < end;
      partsRight = partsRight && shapeFault(lengths, part, i).what.empty();
      part = i;
    }
    if (cut && partsRight) {
      add(lengths[begin], "length cut where a note of a sub-block ends", whole.expected,
          groupText(lengths, begin, end));
    } else {
      add(lengths[begin], whole.what, whole.expected, groupText(lengths, begin, end));
    }
  }

  // The lengths [begin, end), which are one length as the text writes it.
  void shape(const std::vector<WrittenLength>& lengths, std::size_t begin, std::size_t end) {
    const Fault fault = shapeFault(lengths, begin, end);
    if (!fault.what.empty()) {
      add(lengths[begin], fault.what, fault.expected, groupText(lengths, begin, end));
    }
  }

  std::vector<Difference> differences;

 private:
  struct Fault {
    std::string what;  // empty: none
    std::string expected;
  };

  // What is wrong with [begin, end) as one length: a single value that
  // fits, tied values that are not the longest first, or values of whole
  // steps after shorter ones.
  Fault shapeFault(const std::vector<WrittenLength>& lengths, std::size_t begin,
                   std::size_t end) const {
    if (end - begin < 2) return {};
    std::uint64_t total = 0;
    for (std::size_t i = begin; i < end; ++i) total += lengths[i].ticks;
    if (const std::string single = singleValue(total); !single.empty()) {
      return {"tied values where one value fits", single};
    }
    for (std::size_t i = begin + 1; i < end; ++i) {
      if (lengths[i].ticks > lengths[i - 1].ticks) return {"tied values", "the longest first"};
      if (lengths[i].ticks % grid_.step() == 0 && lengths[i - 1].ticks % grid_.step() != 0) {
        return {"tied values", "values of whole steps before those of fewer ticks"};
      }
    }
    return {};
  }

  static std::string groupText(const std::vector<WrittenLength>& lengths, std::size_t begin,
                               std::size_t end) {
    std::string text;
    for (std::size_t i = begin; i < end; ++i) {
      if (i > begin) text += '^';
      text += textOf(lengths[i]);
    }
    return text;
  }

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
  std::set<std::uint64_t> offGrid_;  // the starts and ends of notes off the grid
};

}  // namespace

std::vector<Difference> checkGridLengths(int track, const Section& found,
                                         const std::vector<Note>& channelNotes, const GridPoints& grid,
                                         std::uint64_t note, int division, bool wholeGroups) {
  LengthCheck check(track, found, channelNotes, grid, note, division);
  const std::vector<WrittenLength>& lengths = found.lengths;
  // Where the notes and rests of sub-blocks end.
  std::set<std::uint64_t> subEnds;
  for (const WrittenLength& length : lengths) {
    if (length.inSub) subEnds.insert(length.tick + length.ticks);
  }
  for (std::size_t begin = 0; begin < lengths.size();) {
    std::size_t end = begin + 1;
    while (end < lengths.size() && lengths[end].group == lengths[begin].group) ++end;
    const bool oneLength = wholeGroups || lengths[begin].inSub;
    const std::uint64_t from = lengths[begin].tick;
    const std::uint64_t to = lengths[end - 1].tick + lengths[end - 1].ticks;
    // Without bar lines a run of tied values may hold several lengths (a
    // piece of a bar's length may start inside a bar): the whole run's time
    // is where an uneven bar allows short values.
    for (std::size_t i = begin; i < end; ++i) check.atom(lengths[i], from, to);
    if (oneLength && !lengths[begin].inSub) {
      check.group(lengths, begin, end, subEnds);
    } else if (oneLength) {
      check.shape(lengths, begin, end);
    }
    begin = end;
  }
  return std::move(check.differences);
}

}  // namespace vantrel::roundtrip
