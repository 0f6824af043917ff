#include "mml/preview.h"

#include <algorithm>
#include <cassert>

#include "mml/convert.h"

namespace vantrel {
namespace {

// Where bars start from tick 0 up to `end`, as the MML counts them: from
// each rhythm entry a bar every bar length until the next entry (a bar cut
// short by a change of signature is still one); none inside a pickup longer
// than a bar, which is bar 1.
std::vector<std::uint64_t> barStartsOf(const RhythmTable& rhythm, std::int32_t pickupTicks,
                                       std::uint64_t end) {
  std::vector<std::uint64_t> starts;
  const auto pickup = static_cast<std::uint64_t>(std::max(pickupTicks, 0));
  for (std::size_t e = 0; e + 1 < rhythm.size(); ++e) {
    const RhythmEntry& entry = rhythm[e];
    const std::uint64_t next = e + 2 < rhythm.size() ? rhythm[e + 1].tick : std::max(end, entry.tick + 1);
    starts.push_back(entry.tick);
    for (std::uint64_t tick = entry.tick + entry.barLength; tick < next; tick += entry.barLength) {
      if (starts.size() >= Preview::kMostBars) return starts;
      if (tick >= pickup) starts.push_back(tick);
    }
  }
  return starts;
}

// The number of the bar that holds `tick` (from 1).
std::uint32_t barAt(const std::vector<std::uint64_t>& starts, std::uint64_t tick) {
  const auto after = std::upper_bound(starts.begin(), starts.end(), tick);
  return static_cast<std::uint32_t>(std::max<std::ptrdiff_t>(1, after - starts.begin()));
}

// The preview of a song that was opened as far as its header.
Preview headerPreview(const OpenedSong& song, const Fault& fault) {
  Preview preview;
  preview.headerRead = true;
  preview.format = song.header.format;
  preview.trackCount = song.header.trackCount;
  preview.division = song.header.division;
  preview.faultKind = fault.kind;
  return preview;
}

}  // namespace

PreviewCollector::PreviewCollector(const OpenedSong& song)
    : song_(song), tracks_(song.tracksWritten()) {}

void PreviewCollector::addTrack(std::uint32_t index, TrackView original, TrackView written,
                                std::uint32_t stopAt, const VoiceTable* voices) {
  assert(index < tracks_.size() && tracks_[index].end == 0 && tracks_[index].notes.empty());
  TrackNotes& out = tracks_[index];
  const DecodedTrack& track = *written.track;
  out.end = track.endTick;
  // The system events the MML holds: those before the fault, if any.
  const std::uint32_t systemEnd = std::min(track.passBegin[1], stopAt);
  bool named = false;
  for (std::uint32_t i = 0; i < systemEnd; ++i) {
    const DecodedEvent& e = track.events[i];
    if (e.status != 0xFF) continue;
    const std::span<const std::uint8_t> data = systemEventData(song_.smf, track.dataAt[i]);
    if (e.data1 == 0x51 && data.size() == 3) {
      out.tempos.push_back({e.tick, readBigEndian(data.data(), 3)});
    } else if (e.data1 == 0x03 && !named) {
      out.name.assign(data.begin(), data.end());
      named = true;
    }
  }
  if (stopAt != kNoStop) return;  // no channel of the fault's track is written
  // The notes, each with its place in the file: a step keeps the order of
  // the events it moves, and in each channel's group of the decoded track
  // the orders ascend.
  const DecodedTrack& was = *original.track;
  // Room for every note at once: a file of a million notes is not copied
  // again and again as its vector grows.
  std::size_t starts = 0;
  for (std::uint32_t i = track.passBegin[1]; i < track.passBegin[kPassCount]; ++i) {
    starts += isNoteStart(track.events[i]) ? 1 : 0;
  }
  out.notes.reserve(starts);
  for (int pass = 1; pass < kPassCount; ++pass) {
    const DecodedEvent* const wasBegin = was.events.data() + was.passBegin[pass];
    const DecodedEvent* const wasEnd = was.events.data() + was.passBegin[pass + 1];
    for (std::uint32_t i = track.passBegin[pass]; i < track.passBegin[pass + 1]; ++i) {
      const DecodedEvent& e = track.events[i];
      if (!isNoteStart(e)) continue;
      const std::uint64_t end = written.spans->endTick(track, i);
      if (end == e.tick) continue;  // no length: the MML holds nothing of it
      PreviewNote note{index, static_cast<std::uint8_t>(e.status & 0x0F),
                       static_cast<std::uint8_t>(e.data1 & 0x7F), e.data2, e.tick, end, e.tick, end};
      if (voices != nullptr) note.voice = static_cast<std::uint16_t>(voices->voiceOf(i) + 1);
      if (&was != &track) {
        const DecodedEvent* at = std::lower_bound(
            wasBegin, wasEnd, e.order, [](const DecodedEvent& a, std::uint32_t o) { return a.order < o; });
        if (at != wasEnd && at->order == e.order) {
          const auto from = static_cast<std::uint32_t>(at - was.events.data());
          note.originalStart = at->tick;
          note.originalEnd = original.spans->endTick(was, from);
        }
      }
      out.notes.push_back(note);
    }
  }
}

Preview PreviewCollector::finish(const Fault& fault) {
  Preview preview = headerPreview(song_, fault);
  preview.gridNote = song_.gridStep != 0 ? song_.settings.gridNote : 0;
  if (fault) preview.fault = dataFaultMessage(fault.kind);
  if (!song_.chunksWhole()) return preview;
  preview.rhythm.assign(song_.rhythm.entries().begin(), song_.rhythm.entries().end());
  for (TrackNotes& track : tracks_) {
    // The first track's notes are taken over, not copied.
    if (preview.notes.empty()) preview.notes.swap(track.notes);
    else preview.notes.insert(preview.notes.end(), track.notes.begin(), track.notes.end());
    preview.tempos.insert(preview.tempos.end(), track.tempos.begin(), track.tempos.end());
    preview.trackNames.push_back(std::move(track.name));
    preview.lastEnd = std::max(preview.lastEnd, track.end);
  }
  std::stable_sort(preview.tempos.begin(), preview.tempos.end(),
                   [](const PreviewTempo& a, const PreviewTempo& b) { return a.tick < b.tick; });
  preview.barStarts = barStartsOf(song_.rhythm, song_.settings.pickupTicks, preview.lastEnd);
  // Each line reaches to the next mark of its section.
  for (std::size_t m = 0; m + 1 < marks_.size(); ++m) {
    if (marks_[m].sectionEnd) continue;
    const LineMark& next = marks_[m + 1];
    if (next.offset == marks_[m].offset) continue;  // no text in it
    const std::uint32_t bar = barAt(preview.barStarts, marks_[m].tick);
    const std::uint32_t lastBar =
        next.tick > marks_[m].tick ? barAt(preview.barStarts, next.tick - 1) : bar;
    preview.lines.push_back({marks_[m].offset, bar, std::max(bar, lastBar)});
  }
  return preview;
}

Preview makePreview(std::span<const std::uint8_t> bytes, const Settings& settings) {
  OpenedSong song;
  if (const Fault fault = openSong(bytes, settings, {}, song)) {
    // A grid that does not fit is the command line's fault, found once the
    // header is read; any other is the header's own.
    if (fault.kind == FaultKind::kBadGrid) return headerPreview(song, fault);
    Preview preview;
    preview.faultKind = fault.kind;
    preview.fault = dataFaultMessage(fault.kind);
    return preview;
  }
  PreviewCollector collector(song);
  NullSink mml, console;
  return collector.finish(convert(song, mml, console, {}, &collector));
}

}  // namespace vantrel
