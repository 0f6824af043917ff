#include "mml/preview.h"

#include <algorithm>
#include <optional>

#include "grid/grid.h"
#include "grid/grid_choice.h"
#include "grid/quantize.h"
#include "mml/convert.h"
#include "smf/decoded_track.h"
#include "smf/note_spans.h"
#include "smf/riff.h"
#include "smf/smf_header.h"
#include "smf/walk.h"

namespace vantrel {
namespace {

// The notes of one decoded track with the ends its spans give, in the order
// of the passes (channels), each in the order of its Note On.
void collectNotes(const DecodedTrack& track, const NoteSpans& spans, std::uint32_t index,
                  std::vector<PreviewNote>& notes) {
  for (std::uint32_t i = track.passBegin[1]; i < track.passBegin[kPassCount]; ++i) {
    const DecodedEvent& e = track.events[i];
    if (!isNoteStart(e)) continue;
    const std::uint64_t end = spans.endTick(track, i);
    notes.push_back({index, static_cast<std::uint8_t>(e.status & 0x0F),
                     static_cast<std::uint8_t>(e.data1 & 0x7F), e.tick, end, e.tick, end, e.order,
                     e.data2});
  }
}

// The tempo events and the first track name among the system events of
// `track`, as the conversion writes them.
void collectSystem(std::span<const std::uint8_t> smf, const DecodedTrack& track, Preview& preview) {
  std::string& name = preview.trackNames.emplace_back();
  bool named = false;
  for (std::uint32_t i = 0; i < track.passBegin[1]; ++i) {
    const DecodedEvent& e = track.events[i];
    if (e.status != 0xFF) continue;
    const std::span<const std::uint8_t> data = systemEventData(smf, track.dataAt[i]);
    if (e.data1 == 0x51 && data.size() == 3) {
      preview.tempos.push_back({e.tick, readBigEndian(data.data(), 3)});
    } else if (e.data1 == 0x03 && !named) {
      name.assign(data.begin(), data.end());
      named = true;
    }
  }
}

}  // namespace

Preview makePreview(std::span<const std::uint8_t> input, const Settings& settings) {
  Preview preview;
  const std::span<const std::uint8_t> smf = unwrapRiff(input);
  SmfHeader header;
  if (const FaultKind fault = header.read(smf); fault != FaultKind::kNone) {
    preview.fault = dataFaultMessage(fault);
    return preview;
  }
  preview.headerRead = true;
  preview.format = header.format;
  preview.trackCount = header.trackCount;
  preview.division = header.division;

  Walk walk = walkTracks(smf, header, settings.filterMask);
  const RhythmTable rhythm(walk.timeSignatures, std::move(walk.keySignatures), header.division,
                           settings.pickupTicks);
  const EventFilter filter(settings.filterMask);
  preview.gridNote = settings.gridNote == kAutoGrid
                         ? chooseGridNote(smf, walk, filter, rhythm, settings.pickupTicks, header.division)
                         : settings.gridNote;
  const std::uint32_t step = preview.gridNote != 0 ? gridStep(preview.gridNote, header.division) : 0;
  if (step == 0) preview.gridNote = 0;

  DecodedTrack track, moved;
  NoteSpans spans, movedSpans;
  std::vector<PreviewNote> original;
  std::optional<Quantizer> quantizer;
  if (step != 0) quantizer.emplace(rhythm, settings.pickupTicks, step);
  for (std::uint32_t t = 0; t < walk.tracks.size(); ++t) {
    track.decode(smf, filter, walk.tracks[t]);
    spans.find(track);
    preview.lastEnd = std::max(preview.lastEnd, track.endTick);
    if (step == 0) {
      collectNotes(track, spans, t, preview.notes);
      collectSystem(smf, track, preview);
      continue;
    }
    // On a grid: the notes as they will be written, each with its place
    // before, found again by the order of its Note On in the file.
    original.clear();
    collectNotes(track, spans, t, original);
    std::sort(original.begin(), original.end(),
              [](const PreviewNote& a, const PreviewNote& b) { return a.order < b.order; });
    quantizer->quantize(track, moved, movedSpans);
    collectSystem(smf, moved, preview);
    const std::size_t first = preview.notes.size();
    collectNotes(moved, movedSpans, t, preview.notes);
    for (std::size_t n = first; n < preview.notes.size(); ++n) {
      PreviewNote& note = preview.notes[n];
      const auto was = std::lower_bound(original.begin(), original.end(), note.order,
                                        [](const PreviewNote& a, std::uint32_t o) { return a.order < o; });
      if (was != original.end() && was->order == note.order) {
        note.originalStart = was->start;
        note.originalEnd = was->end;
      }
    }
    preview.lastEnd = std::max(preview.lastEnd, moved.endTick);
  }
  std::stable_sort(preview.tempos.begin(), preview.tempos.end(),
                   [](const PreviewTempo& a, const PreviewTempo& b) { return a.tick < b.tick; });
  if (!walk.chunksWhole()) {
    preview.fault = dataFaultMessage(walk.fault.kind);
  } else {
    preview.rhythm.assign(rhythm.entries().begin(), rhythm.entries().end());
  }
  return preview;
}

}  // namespace vantrel
