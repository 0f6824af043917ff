#include "tools/roundtrip/grid_points.h"

#include <algorithm>

namespace vantrel::roundtrip {

std::uint64_t gridStepOf(std::uint64_t note, int division) {
  const std::uint64_t whole = 4 * static_cast<std::uint64_t>(division);
  if (note == 0 || note > whole || whole % note != 0) return 0;
  return whole / note;
}

GridPoints::GridPoints(const std::vector<RhythmChange>& rhythm, bool pickup, std::uint64_t step)
    : rhythm_(rhythm), step_(step) {
  if (pickup && rhythm_.size() > 1) pickupEnd_ = rhythm_[1].tick;
}

GridPoints::Bar GridPoints::barHolding(std::uint64_t tick) const {
  if (tick < pickupEnd_) return {0, pickupEnd_, true};
  // The change in effect: the last one at or before `tick`.
  const auto later = std::upper_bound(
      rhythm_.begin(), rhythm_.end(), tick,
      [](std::uint64_t t, const RhythmChange& c) { return t < c.tick; });
  const std::size_t index = static_cast<std::size_t>(later - rhythm_.begin()) - 1;
  const RhythmChange& change = rhythm_[index];
  const std::uint64_t bars = (tick - change.tick) / change.barLength;
  const std::uint64_t start = change.tick + bars * change.barLength;
  std::uint64_t end = start + change.barLength;
  // A change that falls inside a bar cuts it short.
  if (index + 1 < rhythm_.size() && rhythm_[index + 1].tick < end) end = rhythm_[index + 1].tick;
  return {start, end, false};
}

void GridPoints::pointsAround(std::uint64_t tick, std::uint64_t& atOrBefore,
                              std::uint64_t& past) const {
  const Bar bar = barHolding(tick);
  if (!bar.fromEnd) {
    // Points: start, start + step, ..., and the end.
    const std::uint64_t steps = (tick - bar.start) / step_;
    atOrBefore = bar.start + steps * step_;
    past = atOrBefore + step_ < bar.end ? atOrBefore + step_ : bar.end;
    return;
  }
  // Points: end, end - step, ... down to above the start, and the start.
  const std::uint64_t stepsBack = (bar.end - tick) / step_;  // whole steps from tick to end
  const std::uint64_t candidate = bar.end - stepsBack * step_;  // at or after tick
  if (candidate == tick) {
    atOrBefore = tick;
    past = tick + step_;  // tick < end here, so the next point lies within the pickup
  } else {
    past = candidate;
    atOrBefore = candidate - bar.start >= step_ ? candidate - step_ : bar.start;
  }
}

std::uint64_t GridPoints::nearest(std::uint64_t tick) const {
  std::uint64_t atOrBefore, past;
  pointsAround(tick, atOrBefore, past);
  if (atOrBefore == tick) return tick;
  return tick - atOrBefore < past - tick ? atOrBefore : past;
}

std::uint64_t GridPoints::after(std::uint64_t tick) const {
  std::uint64_t atOrBefore, past;
  pointsAround(tick, atOrBefore, past);
  return past;
}

bool GridPoints::touchesUnevenBar(std::uint64_t from, std::uint64_t to) const {
  for (std::uint64_t tick = from; tick < to;) {
    const Bar bar = barHolding(tick);
    if ((bar.end - bar.start) % step_ != 0) return true;
    tick = bar.end;
  }
  return false;
}

}  // namespace vantrel::roundtrip
