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

// Whether `list` (ascending; empty for all) holds `number`.
bool chosen(const std::vector<std::uint32_t>& list, std::uint32_t number) {
  return list.empty() || std::binary_search(list.begin(), list.end(), number);
}

// The channels converted of each track, or the fault of a choice that the
// file cannot meet.
Fault chooseChannels(const Settings& settings, const SmfHeader& header,
                     std::span<const TrackChunk> tracks, std::vector<std::uint16_t>& channels) {
  std::uint16_t channelMask = 0;
  for (std::uint32_t c = 1; c <= 16; ++c) {
    if (chosen(settings.channels, c)) channelMask |= static_cast<std::uint16_t>(1u << (c - 1));
  }
  channels.assign(tracks.size(), 0);
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    if (chosen(settings.tracks, static_cast<std::uint32_t>(t))) channels[t] = channelMask;
  }
  if (settings.tracks.empty() && settings.channels.empty()) return {};
  if (!settings.tracks.empty() && settings.tracks.back() >= header.trackCount) {
    return FaultKind::kNoSuchTrack;
  }
  std::uint64_t left = 0;
  for (const std::uint32_t c : settings.channels) {
    std::uint64_t events = 0;
    for (const TrackChunk& chunk : tracks) events += chunk.passEvents[c];
    if (events == 0) return FaultKind::kNoSuchChannel;
  }
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    for (int pass = 1; pass < kPassCount; ++pass) {
      if (channels[t] >> (pass - 1) & 1) left += tracks[t].passEvents[pass];
    }
  }
  return left == 0 ? Fault(FaultKind::kNothingChosen) : Fault();
}

}  // namespace

std::uint32_t OpenedSong::tracksWritten() const {
  if (!chunksWhole()) return 0;
  const auto count = static_cast<std::uint32_t>(tracks.size());
  return fault ? std::min(count, faultTrack + 1) : count;
}

PassCounts OpenedSong::written(std::uint32_t index) const {
  assert(index < tracksWritten());
  PassCounts counts{};
  if (stopAt(index) != kNoStop) {
    // Of the fault's track only the system events up to the fault.
    counts[0] = faultEvent + 1;
    return counts;
  }
  counts = tracks[index].passEvents;
  for (int pass = 1; pass < kPassCount; ++pass) {
    if (!(channels[index] >> (pass - 1) & 1)) counts[pass] = 0;
  }
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
  // A file whose chunks are not whole is converted no further than its
  // header: nothing of its tracks is chosen or counts for the grid.
  if (song.chunksWhole()) {
    if (Fault fault = chooseChannels(settings, song.header, walked.tracks, song.channels)) return fault;
  } else {
    song.channels.assign(walked.tracks.size(), 0);
  }
  if (settings.gridNote == kAutoGrid) {
    if (song.chunksWhole()) {
      song.grid = chooseGrid(song.smf, walked.tracks, song.channels, EventFilter(settings.filterMask),
                             song.rhythm, settings.pickupTicks, division);
    }
    song.settings.gridNote = song.grid.note;
  } else {
    song.grid.note = settings.gridNote;
  }
  song.gridStep = gridStep(song.settings.gridNote, division);
  song.tracks = std::move(walked.tracks);
  return {};
}

}  // namespace vantrel
