#include "grid/grid.h"

#include <algorithm>
#include <cassert>

namespace vantrel {

std::uint32_t gridStep(std::uint32_t note, std::uint16_t division) {
  const std::uint32_t whole = 4u * division;
  if (note == 0 || whole % note != 0) return 0;
  return whole / note;
}

Bars::Bars(const RhythmTable& rhythm, std::int32_t pickupTicks)
    : rhythm_(rhythm), pickupEnd_(pickupTicks > 0 && rhythm.size() > 1 ? rhythm[1].tick : 0) {}

Bars::Bar Bars::find(std::uint64_t tick) const {
  if (tick < pickupEnd_) return {0, pickupEnd_, true};
  // The entry in effect: the last at or before `tick` (entry 0 is at 0, and
  // the sentinel after every tick).
  const auto entries = rhythm_.entries();
  const auto next = std::upper_bound(entries.begin(), entries.end(), tick,
                                     [](std::uint64_t t, const RhythmEntry& e) { return t < e.tick; });
  const RhythmEntry& entry = *(next - 1);
  const std::uint64_t start = entry.tick + (tick - entry.tick) / entry.barLength * entry.barLength;
  return {start, std::min<std::uint64_t>(start + entry.barLength, next->tick), false};
}

Grid::Grid(const RhythmTable& rhythm, std::int32_t pickupTicks, std::uint32_t step)
    : bars_(rhythm, pickupTicks), step_(step) {
  assert(step > 0);
}

}  // namespace vantrel
