#include "tools/roundtrip/grid_points.h"

#include <algorithm>

namespace vantrel::roundtrip {

std::uint64_t gridStepOf(std::uint64_t note, int division) {
  const std::uint64_t whole = 4 * static_cast<std::uint64_t>(division);
  if (note == 0 || note > whole || whole % note != 0) return 0;
  return whole / note;
}

void pointsAround(std::uint64_t tick, const Cell& cell, std::uint64_t step,
                  std::uint64_t& atOrBefore, std::uint64_t& past) {
  if (!cell.fromEnd) {
    // Points: start, start + step, ..., and the end.
    const std::uint64_t steps = (tick - cell.start) / step;
    atOrBefore = cell.start + steps * step;
    past = atOrBefore + step < cell.end ? atOrBefore + step : cell.end;
    return;
  }
  // Points: end, end - step, ... down to above the start, and the start.
  const std::uint64_t stepsBack = (cell.end - tick) / step;  // whole steps from tick to end
  const std::uint64_t candidate = cell.end - stepsBack * step;  // at or after tick
  if (candidate == tick) {
    atOrBefore = tick;
    past = tick + step;  // tick < end here, so the next point lies within the cell
  } else {
    past = candidate;
    atOrBefore = candidate - cell.start >= step ? candidate - step : cell.start;
  }
}

std::uint64_t nearestIn(std::uint64_t tick, const Cell& cell, std::uint64_t step) {
  std::uint64_t atOrBefore, past;
  pointsAround(tick, cell, step, atOrBefore, past);
  if (atOrBefore == tick) return tick;
  return tick - atOrBefore < past - tick ? atOrBefore : past;
}

std::uint64_t afterIn(std::uint64_t tick, const Cell& cell, std::uint64_t step) {
  std::uint64_t atOrBefore, past;
  pointsAround(tick, cell, step, atOrBefore, past);
  return past;
}

GridPoints::GridPoints(const std::vector<RhythmChange>& rhythm, bool pickup, std::uint64_t step)
    : rhythm_(rhythm), step_(step) {
  if (pickup && rhythm_.size() > 1) pickupEnd_ = rhythm_[1].tick;
}

Cell GridPoints::barAt(std::uint64_t tick) const {
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

Cell GridPoints::beatAt(std::uint64_t tick, std::uint64_t beat) const {
  const Cell bar = barAt(tick);
  if (bar.fromEnd) {
    // Whole beats back from the end; the first one may be cut short.
    const std::uint64_t end = bar.end - (bar.end - tick - 1) / beat * beat;
    return {end - bar.start > beat ? end - beat : bar.start, end, true};
  }
  const std::uint64_t start = bar.start + (tick - bar.start) / beat * beat;
  return {start, std::min(start + beat, bar.end), false};
}

bool GridPoints::touchesUnevenBar(std::uint64_t from, std::uint64_t to) const {
  for (std::uint64_t tick = from; tick < to;) {
    const Cell bar = barAt(tick);
    if ((bar.end - bar.start) % step_ != 0) return true;
    tick = bar.end;
  }
  return false;
}

}  // namespace vantrel::roundtrip
