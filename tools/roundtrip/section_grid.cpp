#include "tools/roundtrip/section_grid.h"

#include <algorithm>
#include <utility>

namespace vantrel::roundtrip {

std::uint64_t distanceIn(std::uint64_t tick, const Cell& cell, std::uint64_t step) {
  std::uint64_t atOrBefore, past;
  pointsAround(tick, cell, step, atOrBefore, past);
  return std::min(tick - atOrBefore, past - tick);
}

bool BeatFit::add(std::uint64_t tick, std::uint64_t farFrom, Beat& closed) {
  const Cell cell = bars_.beatAt(tick, beat_);
  const bool newBeat = !open_ || cell.start != cell_.start;
  if (newBeat && open_) closed = close();
  const bool closedOne = newBeat && open_;
  if (newBeat) {
    open_ = true;
    cell_ = cell;
    sum_[0] = sum_[1] = far_[0] = far_[1] = 0;
  }
  const std::uint64_t steps[2] = {straight_, triplet_};
  for (int grid = 0; grid < 2; ++grid) {
    if (steps[grid] == 0) continue;
    const std::uint64_t d = distanceIn(tick, cell, steps[grid]);
    sum_[grid] += d;
    if (d > farFrom) ++far_[grid];
  }
  return closedOne;
}

bool BeatFit::finish(Beat& closed) {
  if (!open_) return false;
  closed = close();
  open_ = false;
  return true;
}

BeatFit::Beat BeatFit::close() const {
  // The triplet grid only where its distances add up to less than half of
  // the straight grid's.
  const bool triplet = triplet_ != 0 && 2 * sum_[1] < sum_[0];
  return {cell_, triplet, sum_[triplet ? 1 : 0], far_[triplet ? 1 : 0]};
}

SectionGrid::SectionGrid(std::shared_ptr<const GridPoints> bars, std::uint64_t straight,
                         std::uint64_t triplet, std::uint64_t beat,
                         const std::vector<std::uint64_t>& starts)
    : bars_(std::move(bars)), straight_(straight), triplet_(triplet), beat_(beat) {
  if (triplet_ == 0) return;
  BeatFit fit(*bars_, straight, triplet, beat);
  BeatFit::Beat closed;
  auto keep = [&] {
    if (closed.triplet) tripletBeats_.push_back(closed.cell.start);
  };
  for (std::uint64_t tick : starts) {
    if (fit.add(tick, 0, closed)) keep();
  }
  if (fit.finish(closed)) keep();
  std::sort(tripletBeats_.begin(), tripletBeats_.end());
}

SectionGrid::Place SectionGrid::at(std::uint64_t tick) const {
  if (triplet_ == 0) return {bars_->barAt(tick), straight_};
  const Cell beat = bars_->beatAt(tick, beat_);
  const bool triplet = std::binary_search(tripletBeats_.begin(), tripletBeats_.end(), beat.start);
  return {beat, triplet ? triplet_ : straight_};
}

}  // namespace vantrel::roundtrip
