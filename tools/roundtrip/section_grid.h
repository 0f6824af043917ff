// SectionGrid: the grid that the events of one section (a track's system
// events, or one of its channels) are placed on. Without a triplet grid it
// is the straight grid's steps in every bar. With one, each beat (a quarter
// note) is a cell of its own, divided by the straight step or by the triplet
// step: the one from whose points the section's note starts in that beat
// lie less far in sum (straight on a tie, and where the beat has no note).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tools/roundtrip/grid_points.h"

namespace vantrel::roundtrip {

// How far `tick` lies from the nearest point of steps of `step` in `cell`.
std::uint64_t distanceIn(std::uint64_t tick, const Cell& cell, std::uint64_t step);

// The sums of the distances of note starts from the straight and from the
// triplet grid, beat by beat: fed the starts in their order, it tells for
// each beat that ends which of the two fits it.
class BeatFit {
 public:
  BeatFit(const GridPoints& bars, std::uint64_t straight, std::uint64_t triplet,
          std::uint64_t beat)
      : bars_(bars), straight_(straight), triplet_(triplet), beat_(beat) {}

  struct Beat {
    Cell cell{};
    bool triplet = false;   // the triplet grid fits it by more than half
    std::uint64_t sum = 0;  // of the distances from the grid that fits better
    std::uint64_t far = 0;  // starts farther than `farFrom` from that grid
  };

  // Adds a start; returns true with the beat before in `closed` when the
  // start lies in a new beat.
  bool add(std::uint64_t tick, std::uint64_t farFrom, Beat& closed);
  // The last beat, if any start was added.
  bool finish(Beat& closed);

 private:
  Beat close() const;

  const GridPoints& bars_;
  const std::uint64_t straight_, triplet_, beat_;
  bool open_ = false;
  Cell cell_{};
  std::uint64_t sum_[2] = {0, 0}, far_[2] = {0, 0};
};

class SectionGrid {
 public:
  // The grid of `straight` ticks a step and of `triplet` beside it (0:
  // none) in the bars of `bars`, quarter notes of `beat` ticks, for a
  // section whose note starts are `starts` (in order).
  SectionGrid(std::shared_ptr<const GridPoints> bars, std::uint64_t straight,
              std::uint64_t triplet, std::uint64_t beat, const std::vector<std::uint64_t>& starts);

  struct Place {
    Cell cell;
    std::uint64_t step;
  };
  // The cell that holds `tick` and the step it is divided by.
  Place at(std::uint64_t tick) const;
  std::uint64_t nearest(std::uint64_t tick) const {
    const Place place = at(tick);
    return nearestIn(tick, place.cell, place.step);
  }

  std::uint64_t straight() const { return straight_; }
  std::uint64_t triplet() const { return triplet_; }

 private:
  std::shared_ptr<const GridPoints> bars_;
  std::uint64_t straight_, triplet_, beat_;
  std::vector<std::uint64_t> tripletBeats_;  // the starts of the beats on the triplet grid, ascending
};

}  // namespace vantrel::roundtrip
