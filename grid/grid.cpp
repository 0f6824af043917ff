#include "grid/grid.h"

#include <algorithm>
#include <cassert>

namespace vantrel {

std::uint32_t gridStep(std::uint32_t note, std::uint16_t division) {
  const std::uint32_t whole = 4u * division;
  if (note == 0 || whole % note != 0) return 0;
  return whole / note;
}

Grid::Grid(const RhythmTable& rhythm, std::int32_t pickupTicks, std::uint32_t step)
    : rhythm_(rhythm),
      pickupEnd_(pickupTicks > 0 && rhythm.size() > 1 ? rhythm[1].tick : 0),
      step_(step) {
  assert(step > 0);
}

Grid::Bar Grid::barAt(std::uint64_t tick) const {
  // The entry in effect: the last at or before `tick` (entry 0 is at 0, and
  // the sentinel after every tick).
  const auto entries = rhythm_.entries();
  const auto next = std::upper_bound(entries.begin(), entries.end(), tick,
                                     [](std::uint64_t t, const RhythmEntry& e) { return t < e.tick; });
  const RhythmEntry& entry = *(next - 1);
  if (tick < pickupEnd_) return {0, pickupEnd_, true};
  const std::uint64_t start = entry.tick + (tick - entry.tick) / entry.barLength * entry.barLength;
  return {start, std::min<std::uint64_t>(start + entry.barLength, next->tick), false};
}

void Grid::around(std::uint64_t tick, std::uint64_t& before, std::uint64_t& next) const {
  const Bar bar = barAt(tick);
  const std::uint64_t g = step_;
  if (bar.fromEnd) {
    // The points are the bar's end less whole steps, and its start.
    const std::uint64_t back = (bar.end - tick + g - 1) / g * g;
    before = back <= bar.end - bar.start ? bar.end - back : bar.start;
    next = bar.end - (bar.end - tick - 1) / g * g;
  } else {
    before = bar.start + (tick - bar.start) / g * g;
    next = std::min(bar.end, before + g);
  }
}

std::uint64_t Grid::nearest(std::uint64_t tick) const {
  std::uint64_t before, next;
  around(tick, before, next);
  return tick - before < next - tick ? before : next;
}

std::uint64_t Grid::after(std::uint64_t tick) const {
  std::uint64_t before, next;
  around(tick, before, next);
  return next;
}

}  // namespace vantrel
