#include "grid/grid_choice.h"

#include <algorithm>
#include <numeric>

#include "grid/grid.h"

namespace vantrel {
namespace {

// The note starts of one track, in its order (and so of their ticks).
struct Starts {
  std::uint16_t channels = 0;
  std::vector<std::uint64_t> ticks;

  void channel(ChannelEvent e) {
    if ((e.status & 0xF0) == 0x90 && e.data2 != 0 && (channels >> (e.status & 0x0F) & 1)) {
      ticks.push_back(e.tick);
    }
  }
  void system(const SystemEvent&) {}
};

// The distance of `tick` from the nearest point of steps of `step` in `cell`.
std::uint64_t distance(std::uint64_t tick, const Bars::Bar& cell, std::uint32_t step) {
  std::uint64_t before, next;
  Grid::around(tick, cell, step, before, next);
  return std::min(tick - before, next - tick);
}

// The offset that at least half of `ticks` share from the points of steps
// of `common`: from -common / 2 up to common / 2; 0 when none is shared so.
std::int32_t sharedOffset(const std::vector<std::uint64_t>& ticks, std::uint32_t common) {
  if (ticks.empty() || common < 2) return 0;
  std::vector<std::uint32_t> counts(common, 0);
  for (const std::uint64_t tick : ticks) ++counts[tick % common];
  const auto most = std::max_element(counts.begin(), counts.end());
  if (most == counts.begin() || 2 * std::uint64_t{*most} < ticks.size()) return 0;
  const auto residue = static_cast<std::int32_t>(most - counts.begin());
  return residue > static_cast<std::int32_t>(common / 2) ? residue - static_cast<std::int32_t>(common) : residue;
}

// How the note starts fit one pair of grids.
struct Fit {
  std::uint64_t sum = 0;    // of the distances
  std::uint64_t far = 0;    // starts farther than a 32nd
  std::uint64_t notes = 0;
  std::vector<std::int32_t> offsets;
};

Fit fitOf(const std::vector<Starts>& tracks, Bars& bars, std::uint32_t straight, std::uint32_t triplet,
          std::uint16_t division) {
  const std::uint64_t farFrom = 4u * std::uint64_t{division} / 32;
  const std::uint32_t common = triplet != 0 ? std::gcd(straight, triplet) : straight;
  Fit fit;
  for (const Starts& track : tracks) {
    const std::int32_t offset = sharedOffset(track.ticks, common);
    fit.offsets.push_back(offset);
    // Beat by beat: the grid of the two that fits the beat's starts better.
    struct Beat {
      std::uint64_t start = 1, sum[2] = {0, 0}, far[2] = {0, 0};
    } beat;
    auto close = [&] {
      const int better = 2 * beat.sum[1] < beat.sum[0] ? 1 : 0;
      fit.sum += beat.sum[better];
      fit.far += beat.far[better];
      beat = Beat{};
    };
    for (const std::uint64_t played : track.ticks) {
      const std::uint64_t tick = offset > 0 && played < std::uint64_t(offset) ? 0 : played - offset;
      const Bars::Bar cell = bars.beatAt(tick, division);
      if (cell.start != beat.start) {
        if (beat.start != 1) close();
        beat.start = cell.start;
      }
      for (int grid = 0; grid < 2; ++grid) {
        const std::uint32_t step = grid == 0 ? straight : triplet;
        const std::uint64_t d = step != 0 ? distance(tick, cell, step) : ~std::uint64_t{0} / 4;
        beat.sum[grid] += d;
        if (d > farFrom) ++beat.far[grid];
      }
      ++fit.notes;
    }
    if (beat.start != 1) close();
  }
  return fit;
}

}  // namespace

GridPlan chooseGrid(std::span<const std::uint8_t> smf, std::span<const TrackChunk> tracks,
                    std::span<const std::uint16_t> channels, const EventFilter& filter,
                    const RhythmTable& rhythm, std::int32_t pickupTicks, std::uint16_t division) {
  std::vector<Starts> starts(tracks.size());
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    starts[t].channels = channels[t];
    if (channels[t] != 0) forEachEvent(smf, filter, tracks[t].start, starts[t]);
  }
  const std::uint64_t whole = 4u * std::uint64_t{division};
  Bars bars(rhythm, pickupTicks);
  std::vector<GridPlan> close;  // in the order of kGridPairs
  GridPlan finest;
  for (const GridPair& pair : kGridPairs) {
    const std::uint32_t straight = gridStep(pair.straight, division);
    if (straight == 0 || division % straight != 0) continue;
    std::uint32_t triplet = gridStep(pair.triplet, division);
    if (triplet != 0 && division % triplet != 0) triplet = 0;
    Fit fit = fitOf(starts, bars, straight, triplet, division);
    GridPlan plan{pair.straight, triplet != 0 ? pair.triplet : 0u, {}};
    if (std::any_of(fit.offsets.begin(), fit.offsets.end(), [](std::int32_t o) { return o != 0; })) {
      plan.offsets = std::move(fit.offsets);
    }
    if (fit.sum == 0) return plan;
    // Sums compared as products.
    if (fit.sum * 96 <= whole * fit.notes && fit.far * 100 <= fit.notes) close.push_back(plan);
    finest = std::move(plan);
  }
  return close.empty() ? finest : close.front();
}

}  // namespace vantrel
