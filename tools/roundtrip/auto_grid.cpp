#include "tools/roundtrip/auto_grid.h"

#include "tools/roundtrip/grid_points.h"

namespace vantrel::roundtrip {

std::uint32_t autoGridNote(const SmfFile& file, const std::vector<RhythmChange>& rhythm,
                           bool pickup) {
  std::vector<std::uint64_t> starts;
  for (const SmfTrack& track : file.tracks) {
    for (const SmfEvent& event : track.events) {
      if ((event.status & 0xF0) == 0x90 && event.data2 > 0) starts.push_back(event.tick);
    }
  }
  const std::uint64_t whole = 4 * static_cast<std::uint64_t>(file.division);
  std::uint32_t finest = 0;
  for (std::uint32_t note : {4u, 8u, 12u, 16u, 24u, 32u}) {
    const std::uint64_t step = gridStepOf(note, file.division);
    if (step == 0) continue;
    finest = note;
    const GridPoints grid(rhythm, pickup, step);
    // Mean move <= whole / 96 and far moves <= 1 in 100, as exact fractions.
    std::uint64_t moved = 0, far = 0;
    for (std::uint64_t tick : starts) {
      const std::uint64_t to = grid.nearest(tick);
      const std::uint64_t distance = to > tick ? to - tick : tick - to;
      moved += distance;
      if (32 * distance > whole) ++far;
    }
    if (96 * moved <= whole * starts.size() && 100 * far <= starts.size()) return note;
  }
  return finest;
}

}  // namespace vantrel::roundtrip
