#include "tools/roundtrip/grid_notes.h"

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "tools/roundtrip/comparison.h"
#include "tools/roundtrip/text_forms.h"

namespace vantrel::roundtrip {
namespace {

constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();

// A point a note may start at, and the step of the grid that puts it there.
struct Placing {
  std::uint64_t start;
  std::uint64_t step;
};

class KeyCheck {
 public:
  KeyCheck(int track, int channel, const SectionGrid& grid, std::int32_t offset,
           std::vector<Difference>& differences, std::uint64_t& finer)
      : track_(track),
        channel_(channel),
        grid_(grid),
        offset_(offset),
        differences_(differences),
        finer_(finer) {}

  void run(const std::vector<Note>& played, std::vector<Note> found) {
    std::stable_sort(found.begin(), found.end(),
                     [](const Note& a, const Note& b) { return a.tick < b.tick; });
    // Of each found note, the start of the next one of the key that starts later.
    std::vector<std::uint64_t> later(found.size(), kNone);
    for (std::size_t j = found.size(); j-- > 0;) {
      if (j + 1 < found.size()) {
        later[j] = found[j + 1].tick > found[j].tick ? found[j + 1].tick : later[j + 1];
      }
    }
    const std::vector<bool> stretched = inStretches(played);
    std::size_t i = 0, j = 0;
    std::optional<std::pair<std::size_t, std::size_t>> before;
    // As many found as played: each in its place, whatever moved it. Else
    // a note that fits none is missing, or not in the SMF.
    const bool sameCount = played.size() == found.size();
    while (i < played.size() && j < found.size()) {
      if (!sameCount && !fits(played[i], found[j])) {
        if (i + 1 < played.size() && fits(played[i + 1], found[j])) {
          add(played[i].tick, "note missing", expectedText(played[i]), "none");
          ++i;
          continue;
        }
        if (j + 1 < found.size() && fits(played[i], found[j + 1])) {
          add(found[j].tick, "note not in the SMF", "none", joined(describe(found[j]), " at tick ", found[j].tick));
          ++j;
          continue;
        }
      }
      // Of the notes found at one point, the one that is this note best.
      std::size_t best = j;
      int bestScore = -1;
      for (std::size_t k = j; k < found.size() && found[k].tick == found[j].tick; ++k) {
        const int score = (found[k].velocity == played[i].velocity ? 2 : 0) +
                          (endFits(played[i], found[k], later[k]) ? 1 : 0);
        if (score > bestScore) best = k, bestScore = score;
      }
      std::swap(found[j], found[best]);
      comparePair(played, i, found[j], later[j], stretched[i]);
      if (before) {
        const bool oneTick = played[before->first].tick == played[i].tick;
        const bool onePoint = found[before->second].tick == found[j].tick;
        if (oneTick && !onePoint) {
          add(found[j].tick, "notes of one key played at one tick",
              joined("at one point, with the note at tick ", found[before->second].tick),
              joined(describe(found[j]), " at tick ", found[j].tick));
        } else if (!oneTick && onePoint) {
          add(found[j].tick, "notes of one key merged",
              joined("notes played at ticks ", played[before->first].tick, " and ", played[i].tick,
                     " at two points"),
              joined("both at tick ", found[j].tick));
        }
      }
      before = {i, j};
      ++i, ++j;
    }
    for (; i < played.size(); ++i) add(played[i].tick, "note missing", expectedText(played[i]), "none");
    for (; j < found.size(); ++j) {
      add(found[j].tick, "note not in the SMF", "none", joined(describe(found[j]), " at tick ", found[j].tick));
    }
  }

 private:
  // The points a note played at `tick` may start at: the nearest of its
  // cell's step, of that step halved while it stays whole, and its tick.
  std::vector<Placing> placings(std::uint64_t tick) const {
    const SectionGrid::Place place = grid_.at(tick);
    std::vector<Placing> out;
    for (std::uint64_t step = place.step;; step /= 2) {
      out.push_back({nearestIn(tick, place.cell, step), step});
      if (step % 2 != 0) break;
    }
    out.push_back({tick, 1});
    return out;
  }

  bool fits(const Note& played, const Note& found) const {
    if (played.key != found.key) return false;
    for (const Placing& p : placings(played.tick)) {
      if (p.start == found.tick) return true;
    }
    return false;
  }

  // Whether `found` ends where a note played as `played` and started where
  // it is may end, `later` being the next start of its key after it.
  bool endFits(const Note& played, const Note& found, std::uint64_t later) const {
    const std::uint64_t nearestEnd = grid_.nearest(played.tick + played.duration);
    const Cell startCell = grid_.at(found.tick).cell;
    for (const Placing& p : placings(played.tick)) {
      if (p.start != found.tick) continue;
      const std::uint64_t end =
          std::min(std::max(nearestEnd, afterIn(found.tick, startCell, p.step)), later);
      if (found.tick + found.duration == end) return true;
    }
    return false;
  }

  void comparePair(const std::vector<Note>& played, std::size_t i, const Note& found,
                   std::uint64_t later, bool stretched) {
    const Note& p = played[i];
    const std::vector<Placing> places = placings(p.tick);
    if (!fits(p, found)) {
      add(p.tick, "note start",
          joined(expectedText(p), ": at tick ", places.front().start, ", or at a point of its step (",
                 places.front().step, " ticks) halved"),
          joined(describe(found), " at tick ", found.tick));
      return;
    }
    if (found.velocity != p.velocity) {
      add(found.tick, "note velocity", expectedText(p), joined(describe(found), " at tick ", found.tick));
    }
    if (found.tick != places.front().start) ++finer_;
    if (found.tick != places.front().start && !stretched) {
      add(found.tick, "note start",
          joined(expectedText(p), ": at tick ", places.front().start,
                 " (no note of its key less than a step away)"),
          joined("at tick ", found.tick));
    }
    if (!endFits(p, found, later)) {
      const std::uint64_t nearestEnd = grid_.nearest(p.tick + p.duration);
      add(found.tick, "note end",
          joined(expectedText(p), ": to tick ", nearestEnd,
                 ", or a step of its grid after its start, or to where the next of its key starts (",
                 later == kNone ? std::string("none") : std::to_string(later), ")"),
          joined(describe(found), " at tick ", found.tick, " to tick ", found.tick + found.duration));
    }
  }

  // Whether each played note lies in a stretch of its key that the grid may
  // have made finer: notes one after the other less than a step apart (of
  // the grid at either: a note that a coarser step before it moves late
  // meets the next), played at two ticks at least.
  std::vector<bool> inStretches(const std::vector<Note>& played) const {
    std::vector<bool> out(played.size(), false);
    auto close = [&](const Note& a, const Note& b) {
      return b.tick - a.tick < std::max(grid_.at(a.tick).step, grid_.at(b.tick).step);
    };
    for (std::size_t from = 0; from < played.size();) {
      std::size_t to = from + 1;
      while (to < played.size() && close(played[to - 1], played[to])) ++to;
      const bool twoTicks = played[to - 1].tick != played[from].tick;
      for (std::size_t k = from; k < to; ++k) out[k] = twoTicks;
      from = to;
    }
    return out;
  }

  std::string expectedText(const Note& p) const {
    std::string text = joined(describe(p), " played at tick ", p.tick);
    if (offset_ != 0) text += joined(" (the track's offset of ", offset_, " taken off)");
    return text;
  }

  void add(std::uint64_t tick, std::string what, std::string expected, std::string found) {
    differences_.push_back({track_, channel_, tick, std::move(what), std::move(expected), std::move(found)});
  }

  const int track_, channel_;
  const SectionGrid& grid_;
  const std::int32_t offset_;
  std::vector<Difference>& differences_;
  std::uint64_t& finer_;
};

}  // namespace

std::vector<Difference> checkGridNotes(int track, int channel, const std::vector<Note>& played,
                                       const std::vector<Note>& found, const SectionGrid& grid,
                                       std::int32_t offset, std::uint64_t& finer) {
  std::map<int, std::pair<std::vector<Note>, std::vector<Note>>> byKey;
  for (const Note& n : played) byKey[n.key].first.push_back(n);
  for (const Note& n : found) byKey[n.key].second.push_back(n);
  std::vector<Difference> differences;
  for (const auto& [key, notes] : byKey) {
    KeyCheck(track, channel, grid, offset, differences, finer).run(notes.first, notes.second);
  }
  return differences;
}

}  // namespace vantrel::roundtrip
