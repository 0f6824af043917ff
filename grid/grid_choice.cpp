#include "grid/grid_choice.h"

#include <array>
#include <vector>

#include "grid/grid.h"

namespace vantrel {
namespace {

constexpr std::size_t kCandidates = std::size(kGridCandidates);

// How far the note starts of the file lie from each candidate grid.
struct Distances {
  const std::vector<Grid>& grids;
  std::array<std::uint64_t, kCandidates> sum{};
  std::array<std::uint64_t, kCandidates> far{};  // farther than `farFrom`
  std::uint64_t farFrom;
  std::uint64_t notes = 0;

  void channel(ChannelEvent e) {
    if ((e.status & 0xF0) != 0x90 || e.data2 == 0) return;
    ++notes;
    for (std::size_t c = 0; c < grids.size(); ++c) {
      const std::uint64_t nearest = grids[c].nearest(e.tick);
      const std::uint64_t distance = nearest > e.tick ? nearest - e.tick : e.tick - nearest;
      sum[c] += distance;
      if (distance > farFrom) ++far[c];
    }
  }
  void system(const SystemEvent&) {}
};

}  // namespace

std::uint32_t chooseGridNote(std::span<const std::uint8_t> smf, const Walk& walk,
                             const EventFilter& filter, const RhythmTable& rhythm,
                             std::int32_t pickupTicks, std::uint16_t division) {
  const std::uint64_t whole = 4u * std::uint64_t{division};
  std::vector<Grid> grids;
  std::vector<std::uint32_t> notes;
  for (std::uint32_t note : kGridCandidates) {
    if (const std::uint32_t step = gridStep(note, division)) {
      grids.emplace_back(rhythm, pickupTicks, step);
      notes.push_back(note);
    }
  }
  if (grids.empty()) return 0;
  Distances distances{grids, {}, {}, whole / 32};
  for (const TrackChunk& chunk : walk.tracks) forEachEvent(smf, filter, chunk.start, distances);
  for (std::size_t c = 0; c < grids.size(); ++c) {
    // Sums compared as products: mean <= whole / 96, far share <= 1 / 100.
    if (distances.sum[c] * 96 <= whole * distances.notes && distances.far[c] * 100 <= distances.notes) {
      return notes[c];
    }
  }
  return notes.back();
}

}  // namespace vantrel
