#include "mml/preview.h"

#include <algorithm>
#include <array>

#include "mml/convert.h"
#include "smf/decoded_track.h"
#include "smf/riff.h"
#include "smf/smf_header.h"

namespace vantrel {
namespace {

// The notes of one decoded track: a Note On ends at the next Note Off (or
// Note On of velocity 0) of its channel and key; one that none ends lasts to
// the end of the track. A backward sweep finds each end in one pass.
void collectNotes(const DecodedTrack& track, std::uint32_t trackIndex,
                  std::vector<PreviewNote>& notes) {
  const std::uint64_t trackEnd = track.events.empty() ? 0 : track.events.back().tick;
  std::array<std::uint64_t, 16 * 128> nextOff;
  nextOff.fill(trackEnd);
  std::vector<std::uint64_t> ends(track.events.size(), 0);
  for (std::size_t i = track.events.size(); i-- > 0;) {
    const DecodedEvent& e = track.events[i];
    const int kind = e.status & 0xF0;
    if (kind != 0x80 && kind != 0x90) continue;
    const std::size_t slot = (e.status & 0x0Fu) * 128u + (e.data1 & 0x7Fu);
    if (kind == 0x90 && e.data2 != 0) {
      ends[i] = nextOff[slot];
    } else {
      nextOff[slot] = e.tick;
    }
  }
  for (std::size_t i = 0; i < track.events.size(); ++i) {
    const DecodedEvent& e = track.events[i];
    if ((e.status & 0xF0) != 0x90 || e.data2 == 0) continue;
    notes.push_back({trackIndex, static_cast<std::uint8_t>(e.status & 0x0F),
                     static_cast<std::uint8_t>(e.data1 & 0x7F), e.tick, ends[i]});
  }
}

}  // namespace

Preview makePreview(std::span<const std::uint8_t> input, const Settings& settings) {
  Preview preview;
  // The same walk as the conversion's, on one thread.
  Settings one = settings;
  one.threads = 1;
  WalkedSmf walked = walkSmf(input, one);
  if (walked.headerFault != nullptr) {
    preview.fault = dataFaultMessage(walked.headerFault);
    return preview;
  }
  preview.headerRead = true;
  preview.format = walked.header.format;
  preview.trackCount = walked.header.trackCount;
  preview.division = walked.header.division;

  // After a fault in the walk, its last track is the one it could not read.
  const std::size_t whole = walked.tracks.size() - (walked.walkFault != nullptr ? 1 : 0);
  DecodedTrack track;
  for (std::size_t t = 0; t < whole; ++t) {
    // A track the walk could not finish is left out.
    if (!track.decode(walked.smf, settings.filterMask, walked.tracks[t])) break;
    collectNotes(track, static_cast<std::uint32_t>(t), preview.notes);
    if (!track.events.empty()) preview.lastEnd = std::max(preview.lastEnd, track.events.back().tick);
  }
  if (walked.walkFault != nullptr) {
    preview.fault = dataFaultMessage(walked.walkFault);
  } else {
    preview.rhythm = std::move(walked.rhythm.entries);
  }
  return preview;
}

}  // namespace vantrel
