// OpenedSong: an SMF read once, as every front end starts from it.
//
// openSong takes the file's bytes and the user's settings and does
// everything that comes before the first byte of MML: the SMF found inside a
// RIFF form, the header checked, every track walked once (on several threads
// for a big file), the rhythm table built, and the grid resolved to its note
// value and step. The conversion, the preview and the command line's checks
// all read the song it makes, which is not changed after: nothing after it
// sees an unresolved setting.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "grid/grid_choice.h"
#include "mml/schedule.h"
#include "mml/settings.h"
#include "rhythm/rhythm_table.h"
#include "smf/smf_header.h"
#include "smf/walk.h"
#include "util/fault.h"

namespace vantrel {

struct OpenedSong {
  // The SMF (inside a RIFF form, the form's data chunk), within the bytes
  // given to openSong, which must outlive the song.
  std::span<const std::uint8_t> smf;
  SmfHeader header;
  // As the user asked, but resolved: `gridNote` is the grid's note value
  // (chosen from the file where auto was asked for), or 0 for none.
  Settings settings;
  std::uint32_t gridStep = 0;  // ticks of the grid's (straight) step; 0 for none
  GridPlan grid;               // the grid in full (see chooseGrid)
  RhythmTable rhythm;
  // The tracks the walk found: after a fault of the chunks, those before it.
  std::vector<TrackChunk> tracks;
  // The first fault of the tracks' data (see Walk): the conversion writes
  // what comes before it and ends with it.
  Fault fault;
  std::uint32_t faultTrack = 0;
  std::uint32_t faultEvent = 0;
  // Of each track, the channels whose notes and messages are converted: bit
  // c for channel c + 1.
  std::vector<std::uint16_t> channels;

  // Whether the chunks are whole: else no track is converted.
  bool chunksWhole() const {
    return fault.kind != FaultKind::kNoMTrk && fault.kind != FaultKind::kTrackCutShort;
  }
  // How many tracks the conversion writes (the fault's track included).
  std::uint32_t tracksWritten() const;
  // The events of each pass of track `index` that it writes, and where it
  // stops: kNoStop, or the system event of the fault (counted from 0).
  PassCounts written(std::uint32_t index) const;
  std::uint32_t stopAt(std::uint32_t index) const;
};

// Opens `bytes` with `settings`. Returns kNone with `song` made, or the
// fault that leaves nothing to write: a fault of the header, a grid whose
// step is no whole number of ticks at the file's time base, or a choice of
// tracks or channels that the file does not have or that leaves nothing.
Fault openSong(std::span<const std::uint8_t> bytes, const Settings& settings,
               const Schedule& schedule, OpenedSong& song);

}  // namespace vantrel
