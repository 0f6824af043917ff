// The writing of a file's track blocks, on one thread or on several.
//
// Once the rhythm table is built the tracks are independent: a big file's
// tracks are converted in batches on several threads, each batch into a text
// of its own, and written in track order, so that the output is the same on
// any number of threads. The threads and batch sizes are the scheduler's
// business alone: they change how fast, never what is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mml/settings.h"
#include "mml/text_writer.h"
#include "rhythm/rhythm_table.h"
#include "smf/smf_header.h"
#include "smf/walk.h"

namespace vantrel {

struct Schedule {
  // How many threads may convert tracks at once.
  int threads = 1;
  // Consecutive tracks go to a thread in batches of about this many events
  // (some milliseconds of work), and only files of four batches or more are
  // shared out: a thread's start and its memory cost more than a smaller
  // file takes on one. Tests make it small to share out small files.
  std::size_t batchEvents = std::size_t{1} << 16;
};

// The track blocks a conversion writes: every track before the first fault,
// and the fault's own track up to the fault.
struct TrackPlan {
  std::span<const std::uint8_t> smf;  // the whole SMF
  const SmfHeader& header;
  const RhythmTable& rhythm;
  const Settings& settings;
  std::uint32_t gridNote;  // the grid's note value (chosen, where auto), 0 none
  std::span<const TrackChunk> tracks;
  // The fault's track and the system event of it where the data has the
  // fault; kNoFault for none.
  std::uint32_t faultTrack;
  std::uint32_t faultEvent;
};
inline constexpr std::uint32_t kNoFault = 0xFFFFFFFF;

// The walk over the tracks of `smf` (see walkTracks): on a big file, the
// tracks are walked side by side on the schedule's threads from where the
// chunk lengths put them, and each is used where it truly begins.
Walk walkTracks(std::span<const std::uint8_t> smf, const SmfHeader& header,
                std::int32_t filterMask, const Schedule& schedule);

// Writes the blocks of `plan` to `output` as `schedule` allows, in track
// order; stops early when the output fails. The memory it takes stays
// within the input's size and some megabytes, whatever the threads: threads
// the memory cannot hold are not started.
void writeTracks(const TrackPlan& plan, TextWriter& output, const Schedule& schedule);

}  // namespace vantrel
