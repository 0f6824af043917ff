#include "tools/roundtrip/grid_notes.h"

#include <algorithm>
#include <cstdlib>
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

// The ways a note may be placed, as bits: bit h for its cell's step halved
// h times (bit 0: the step itself), kOwnTick for its own tick.
using Ways = std::uint64_t;
constexpr int kOwnTick = 40;

class KeyCheck {
 public:
  KeyCheck(int track, int channel, const SectionGrid& grid, std::int32_t offset,
           int velocityTolerance, std::vector<Difference>& differences, std::uint64_t& finer)
      : track_(track),
        channel_(channel),
        grid_(grid),
        offset_(offset),
        velocityTolerance_(velocityTolerance),
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
    // Each played note's found one, by index (kNone: missing).
    std::vector<std::size_t> pairedWith(played.size(), kNone);
    std::size_t i = 0, j = 0;
    std::optional<std::pair<std::size_t, std::size_t>> before;
    // As many found as played: each in its place, whatever moved it. Else
    // a note that fits none is missing, or not in the SMF.
    const bool sameCount = played.size() == found.size();
    while (i < played.size() && j < found.size()) {
      if (!sameCount && starts(played[i], found[j]) == 0) {
        if (i + 1 < played.size() && starts(played[i + 1], found[j]) != 0) {
          add(played[i].tick, "note missing", expectedText(played[i]), "none");
          ++i;
          continue;
        }
        if (j + 1 < found.size() && starts(played[i], found[j + 1]) != 0) {
          add(found[j].tick, "note not in the SMF", "none", foundText(found[j]));
          ++j;
          continue;
        }
      }
      // Of the notes found at one point, the one that is this note best.
      // Of those as good, the one whose velocity is of the same rank among
      // the notes at the point as this note's among those played with it:
      // within a velocity step two notes of one key at one point may each be
      // within the step of both, and pairing by rank pairs all that can be.
      const auto rankOf = [](const std::vector<Note>& notes, std::size_t from, std::size_t at) {
        std::size_t rank = 0;
        for (std::size_t k = from; k < notes.size() && notes[k].tick == notes[from].tick; ++k) {
          if (notes[k].velocity < notes[at].velocity || (notes[k].velocity == notes[at].velocity && k < at)) {
            ++rank;
          }
        }
        return rank;
      };
      const std::size_t rank = rankOf(played, i, i);
      std::size_t best = j;
      int bestScore = -1;
      for (std::size_t k = j; k < found.size() && found[k].tick == found[j].tick; ++k) {
        const int score = (sameVelocity(found[k], played[i]) ? 4 : 0) +
                          (ways(played[i], found[k], later[k]) != 0 ? 2 : 0) +
                          (rankOf(found, j, k) == rank ? 1 : 0);
        if (score > bestScore) best = k, bestScore = score;
      }
      std::swap(found[j], found[best]);
      if (!sameVelocity(found[j], played[i])) {
        add(found[j].tick, "note velocity", expectedText(played[i]), foundText(found[j]));
      }
      if (before) {
        const bool oneTick = played[before->first].tick == played[i].tick;
        const bool onePoint = found[before->second].tick == found[j].tick;
        if (oneTick && !onePoint) {
          add(found[j].tick, "notes of one key played at one tick",
              joined("at one point, with the note at tick ", found[before->second].tick),
              foundText(found[j]));
        } else if (!oneTick && onePoint) {
          add(found[j].tick, "notes of one key merged",
              joined("notes played at ticks ", played[before->first].tick, " and ", played[i].tick,
                     " at two points"),
              joined("both at tick ", found[j].tick));
        }
      }
      pairedWith[i] = j;
      before = {i, j};
      ++i, ++j;
    }
    for (; i < played.size(); ++i) add(played[i].tick, "note missing", expectedText(played[i]), "none");
    for (; j < found.size(); ++j) add(found[j].tick, "note not in the SMF", "none", foundText(found[j]));
    placeStretches(played, found, later, pairedWith);
  }

 private:
  // The stretches of the played notes: notes one after the other less than
  // a step (the later one's) apart. A stretch stays where the nearest
  // points of its notes' steps keep them in order (those played at one tick
  // at one point), after the stretch before; else it is placed on its steps
  // halved, as often for each note, or at the notes' own ticks.
  void placeStretches(const std::vector<Note>& played, const std::vector<Note>& found,
                      const std::vector<std::uint64_t>& later,
                      const std::vector<std::size_t>& pairedWith) {
    std::optional<std::uint64_t> lastStart;  // of the stretch before
    for (std::size_t from = 0; from < played.size();) {
      std::size_t to = from + 1;
      while (to < played.size() && played[to].tick - played[to - 1].tick < stepAt(played[to].tick)) ++to;
      const int halvings = halvingsFor(played, from, to, lastStart);
      const bool inOrder = halvings == 0;
      const Ways allowed = Ways{1} << halvings;
      for (std::size_t k = from; k < to; ++k) {
        if (pairedWith[k] == kNone) continue;
        const Note& p = played[k];
        const Note& f = found[pairedWith[k]];
        const std::uint64_t next = later[pairedWith[k]];
        if (!inOrder) ++finer_;
        if ((starts(p, f) & allowed) == 0) {
          add(p.tick, "note start", joined(expectedText(p), ": ", startText(p, halvings)), foundText(f));
        } else if ((ways(p, f, next) & allowed) == 0) {
          add(f.tick, "note end", joined(expectedText(p), ": ", endText(p, f, next, halvings)),
              joined(foundText(f), " to tick ", f.tick + f.duration));
        }
      }
      for (std::size_t k = to; k-- > from;) {
        if (pairedWith[k] != kNone) {
          lastStart = found[pairedWith[k]].tick;
          break;
        }
      }
      from = to;
    }
  }

  // How often the steps of played[from, to) are halved: the fewest times
  // (0 too) that put each note after the one before it (and the first after
  // `lastStart`), those played at one tick at one point; kOwnTick where no
  // step halved as long as it stays whole does.
  int halvingsFor(const std::vector<Note>& played, std::size_t from, std::size_t to,
                  std::optional<std::uint64_t> lastStart) const {
    for (int h = 0; h < kOwnTick; ++h) {
      std::optional<std::uint64_t> last = lastStart;
      bool fits = true;
      for (std::size_t k = from; k < to && fits; ++k) {
        const SectionGrid::Place place = grid_.at(played[k].tick);
        if (place.step % (std::uint64_t{1} << h) != 0) return kOwnTick;
        const std::uint64_t start = nearestIn(played[k].tick, place.cell, place.step >> h);
        const bool oneTick = k > from && played[k].tick == played[k - 1].tick;
        if (last && start <= *last && !oneTick) fits = false;
        last = start;
      }
      if (fits) return h;
    }
    return kOwnTick;
  }

  std::uint64_t stepAt(std::uint64_t tick) const { return grid_.at(tick).step; }
  std::uint64_t plainStart(const Note& p) const { return grid_.nearest(p.tick); }

  // The ways that start `found` where a note played as `played` may start.
  Ways starts(const Note& played, const Note& found) const {
    if (played.key != found.key) return 0;
    const SectionGrid::Place place = grid_.at(played.tick);
    Ways out = 0;
    for (int h = 0; h < kOwnTick && place.step % (std::uint64_t{1} << h) == 0; ++h) {
      if (nearestIn(played.tick, place.cell, place.step >> h) == found.tick) out |= Ways{1} << h;
    }
    if (found.tick == played.tick) out |= Ways{1} << kOwnTick;
    return out;
  }

  // Of those, the ways that end it where it ends: at the grid point nearest
  // to where it was played to, a step of its way after its start at the
  // least, `later` (the next start of its key after it) at the latest.
  Ways ways(const Note& played, const Note& found, std::uint64_t later) const {
    const Ways start = starts(played, found);
    const std::uint64_t nearestEnd = grid_.nearest(played.tick + played.duration);
    const Cell startCell = grid_.at(found.tick).cell;
    const std::uint64_t step = stepAt(played.tick);
    Ways out = 0;
    for (int h = 0; h <= kOwnTick; ++h) {
      if (!(start >> h & 1)) continue;
      const std::uint64_t own = h == kOwnTick ? 1 : step >> h;
      const std::uint64_t end = std::min(std::max(nearestEnd, afterIn(found.tick, startCell, own)), later);
      if (found.tick + found.duration == end) out |= Ways{1} << h;
    }
    return out;
  }

  // Where a note played as `p` starts with its step halved `halvings` times.
  std::uint64_t startWith(const Note& p, int halvings) const {
    if (halvings == kOwnTick) return p.tick;
    const SectionGrid::Place place = grid_.at(p.tick);
    return nearestIn(p.tick, place.cell, place.step >> halvings);
  }

  std::string wayText(const Note& p, int halvings) const {
    if (halvings == kOwnTick) return "at its own tick (its stretch of notes fits no finer grid)";
    if (halvings == 0) return joined("on its step of ", stepAt(p.tick), " ticks");
    return joined("on its step of ", stepAt(p.tick), " ticks halved ", halvings,
                  halvings == 1 ? " time" : " times", " (its stretch of notes out of order on a coarser one)");
  }

  std::string startText(const Note& p, int halvings) const {
    return joined("at tick ", startWith(p, halvings), ", ", wayText(p, halvings));
  }

  std::string endText(const Note& p, const Note& f, std::uint64_t later, int halvings) const {
    const std::uint64_t own = halvings == kOwnTick ? 1 : stepAt(p.tick) >> halvings;
    const std::uint64_t end =
        std::min(std::max(grid_.nearest(p.tick + p.duration), afterIn(f.tick, grid_.at(f.tick).cell, own)), later);
    return joined("to tick ", end, " (the grid point nearest to its end, a step after its start at the least, ",
                  "the next start of its key at the latest), ", wayText(p, halvings));
  }

  std::string expectedText(const Note& p) const {
    std::string text = joined(describe(p), " played at tick ", p.tick);
    if (offset_ != 0) text += joined(" (the track's offset of ", offset_, " taken off)");
    return text;
  }
  static std::string foundText(const Note& f) { return joined(describe(f), " at tick ", f.tick); }

  void add(std::uint64_t tick, std::string what, std::string expected, std::string found) {
    differences_.push_back({track_, channel_, tick, std::move(what), std::move(expected), std::move(found)});
  }

  const int track_, channel_;
  const SectionGrid& grid_;
  bool sameVelocity(const Note& found, const Note& played) const {
    return std::abs(found.velocity - played.velocity) <= velocityTolerance_;
  }

  const std::int32_t offset_;
  const int velocityTolerance_;
  std::vector<Difference>& differences_;
  std::uint64_t& finer_;
};

}  // namespace

std::vector<Difference> checkGridNotes(int track, int channel, const std::vector<Note>& played,
                                       const std::vector<Note>& found, const SectionGrid& grid,
                                       std::int32_t offset, int velocityTolerance,
                                       std::uint64_t& finer) {
  std::map<int, std::pair<std::vector<Note>, std::vector<Note>>> byKey;
  for (const Note& n : played) byKey[n.key].first.push_back(n);
  for (const Note& n : found) byKey[n.key].second.push_back(n);
  std::vector<Difference> differences;
  for (const auto& [key, notes] : byKey) {
    KeyCheck(track, channel, grid, offset, velocityTolerance, differences, finer).run(notes.first, notes.second);
  }
  return differences;
}

}  // namespace vantrel::roundtrip
