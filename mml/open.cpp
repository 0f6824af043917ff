#include "mml/open.h"

#include <algorithm>
#include <cassert>
#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

#include "grid/grid.h"
#include "grid/grid_choice.h"
#include "smf/riff.h"

namespace vantrel {
namespace {

// The walk over the tracks of `smf` (see walkTracks): on a big file, the
// tracks are walked side by side on the schedule's threads from where the
// chunk lengths put them, and each is used where it truly begins.
Walk walk(std::span<const std::uint8_t> smf, const SmfHeader& header, std::int32_t filterMask,
          const Schedule& schedule) {
  // A file of four batches (about three bytes an event) is walked on the
  // threads as well.
  const std::size_t batchEvents = std::max<std::size_t>(schedule.batchEvents, 1);
  if (schedule.threads < 2 || smf.size() / 3 < 4 * batchEvents) {
    return walkTracks(smf, header, filterMask);
  }
  const std::vector<std::uint64_t> starts = trackStartsByLength(smf, header);
  std::vector<TrackWalk> ahead(starts.size());
  const EventFilter filter(filterMask);
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t t; (t = next++) < starts.size();) {
      // No further than the next track's start, where a true length ends it.
      const std::uint64_t end = t + 1 < starts.size() ? starts[t + 1] - 8 : smf.size();
      ahead[t] = walkTrack(smf.first(end), filter, starts[t]);
    }
  };
  std::vector<std::thread> threads;
  try {
    for (int i = 1; i < schedule.threads; ++i) threads.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads to be had: those started, and this one, do the work.
  }
  work();
  for (std::thread& thread : threads) thread.join();
  return walkTracks(smf, header, filterMask, ahead);
}

}  // namespace

std::uint32_t OpenedSong::tracksWritten() const {
  if (!chunksWhole()) return 0;
  const auto count = static_cast<std::uint32_t>(tracks.size());
  return fault ? std::min(count, faultTrack + 1) : count;
}

PassCounts OpenedSong::written(std::uint32_t index) const {
  assert(index < tracksWritten());
  if (stopAt(index) == kNoStop) return tracks[index].passEvents;
  // Of the fault's track only the system events up to the fault.
  PassCounts counts{};
  counts[0] = faultEvent + 1;
  return counts;
}

std::uint32_t OpenedSong::stopAt(std::uint32_t index) const {
  return fault && index == faultTrack ? faultEvent : kNoStop;
}

Fault openSong(std::span<const std::uint8_t> bytes, const Settings& settings,
               const Schedule& schedule, OpenedSong& song) {
  song = OpenedSong{};
  song.smf = unwrapRiff(bytes);
  if (const FaultKind fault = song.header.read(song.smf); fault != FaultKind::kNone) return fault;
  const std::uint16_t division = song.header.division;
  song.settings = settings;
  if (settings.gridNote != 0 && settings.gridNote != kAutoGrid &&
      gridStep(settings.gridNote, division) == 0) {
    return FaultKind::kBadGrid;
  }

  Walk walked = walk(song.smf, song.header, settings.filterMask, schedule);
  song.rhythm = RhythmTable(walked.timeSignatures, std::move(walked.keySignatures), division,
                            settings.pickupTicks);
  song.fault = std::move(walked.fault);
  song.faultTrack = walked.faultTrack;
  song.faultEvent = walked.faultEvent;
  if (settings.gridNote == kAutoGrid) {
    // Chosen from the notes of whole chunks only: a file whose chunks are
    // not whole is converted no further than its header.
    song.settings.gridNote =
        song.chunksWhole() ? chooseGridNote(song.smf, walked, EventFilter(settings.filterMask),
                                            song.rhythm, settings.pickupTicks, division)
                           : 0;
  }
  song.gridStep = gridStep(song.settings.gridNote, division);
  song.tracks = std::move(walked.tracks);
  return {};
}

}  // namespace vantrel
