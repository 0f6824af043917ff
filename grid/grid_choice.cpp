#include "grid/grid_choice.h"

#include <algorithm>
#include <array>
#include <vector>

#include "grid/grid.h"

namespace vantrel {
namespace {

constexpr std::size_t kCandidates = std::size(kGridCandidates);

// How far the note starts of the file lie from each candidate grid.
struct Distances {
  Bars& bars;
  const std::vector<std::uint32_t>& steps;
  std::array<std::uint64_t, kCandidates> sum{};
  std::array<std::uint64_t, kCandidates> far{};  // farther than `farFrom`
  std::uint64_t farFrom;
  std::uint16_t channels = 0;  // of the track being read
  std::uint64_t notes = 0;

  void channel(ChannelEvent e) {
    if ((e.status & 0xF0) != 0x90 || e.data2 == 0 || !(channels >> (e.status & 0x0F) & 1)) return;
    ++notes;
    const Bars::Bar& bar = bars.at(e.tick);
    for (std::size_t c = 0; c < steps.size(); ++c) {
      std::uint64_t before, next;
      Grid::around(e.tick, bar, steps[c], before, next);
      const std::uint64_t distance = std::min(e.tick - before, next - e.tick);
      sum[c] += distance;
      if (distance > farFrom) ++far[c];
    }
  }
  void system(const SystemEvent&) {}
};

}  // namespace

std::uint32_t chooseGridNote(std::span<const std::uint8_t> smf, std::span<const TrackChunk> tracks,
                             std::span<const std::uint16_t> channels, const EventFilter& filter,
                             const RhythmTable& rhythm, std::int32_t pickupTicks,
                             std::uint16_t division) {
  const std::uint64_t whole = 4u * std::uint64_t{division};
  std::vector<std::uint32_t> steps;
  std::vector<std::uint32_t> notes;
  for (std::uint32_t note : kGridCandidates) {
    if (const std::uint32_t step = gridStep(note, division)) {
      steps.push_back(step);
      notes.push_back(note);
    }
  }
  if (steps.empty()) return 0;
  Bars bars(rhythm, pickupTicks);
  Distances distances{bars, steps, {}, {}, whole / 32};
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    distances.channels = channels[t];
    if (distances.channels != 0) forEachEvent(smf, filter, tracks[t].start, distances);
  }
  for (std::size_t c = 0; c < steps.size(); ++c) {
    // Sums compared as products: mean <= whole / 96, far share <= 1 / 100.
    if (distances.sum[c] * 96 <= whole * distances.notes && distances.far[c] * 100 <= distances.notes) {
      return notes[c];
    }
  }
  return notes.back();
}

}  // namespace vantrel
