// chooseGridNote: the grid that /Q without a value (or --quantize=auto)
// puts a file on: the coarsest of the usual note values, straight and
// triplet, that moves the file's note starts little.
#pragma once

#include <cstdint>
#include <span>

#include "rhythm/rhythm_table.h"
#include "smf/events.h"
#include "smf/walk.h"

namespace vantrel {

// The note values tried, coarsest first.
inline constexpr std::uint32_t kGridCandidates[] = {4, 8, 12, 16, 24, 32};

// Of kGridCandidates whose step is a whole number of ticks, the first on
// which the note starts of every track move by a 96th of a whole note or
// less on average, and by more than a 32nd for at most 1 in 100 of them; if
// none, the finest whose step is whole; 0 when none is. Only the notes of
// the channels of `channels[t]` count in track t (bit c for channel c + 1).
std::uint32_t chooseGridNote(std::span<const std::uint8_t> smf, std::span<const TrackChunk> tracks,
                             std::span<const std::uint16_t> channels, const EventFilter& filter,
                             const RhythmTable& rhythm, std::int32_t pickupTicks,
                             std::uint16_t division);

}  // namespace vantrel
