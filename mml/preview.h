// Preview: what a front end needs to show a file beside its MML (the web
// page's piano roll, its player and its links between the roll and the
// text): the header's fields, the bar structure with its keys, and every note,
// tempo and track name that the MML holds, where the MML holds them.
//
// It is the conversion's own view: PreviewCollector is handed each track as
// the conversion writes it, after the same steps (the grid), so a fault
// anywhere gives the preview that fault and only what the MML holds before
// it. The data is plain (structs and vectors) so that any front end can copy
// it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mml/bar_clock.h"
#include "mml/open.h"
#include "mml/settings.h"
#include "rhythm/rhythm_table.h"
#include "smf/track_view.h"
#include "util/fault.h"
#include "voices/voice_table.h"

namespace vantrel {

struct PreviewNote {
  std::uint32_t track = 0;   // index of the track chunk, from 0
  std::uint8_t channel = 0;  // 0 .. 15
  std::uint8_t key = 0;      // 0 .. 127
  std::uint8_t velocity = 0; // 1 .. 127 (the Note On's byte)
  std::uint64_t start = 0;   // ticks from the start of the song, as written
  std::uint64_t end = 0;
  // On a grid, where the note was in the file before it moved; else start
  // and end again.
  std::uint64_t originalStart = 0;
  std::uint64_t originalEnd = 0;
  // With voices, the voice of its channel that holds it (from 1); else 0.
  std::uint16_t voice = 0;
};

// A tempo event: from `tick` on, a quarter note lasts `microseconds`.
struct PreviewTempo {
  std::uint64_t tick = 0;
  std::uint32_t microseconds = 500000;
};

// A line of the MML inside a section (after its header): where it starts in
// the text, the bar it starts in and the last bar it reaches (bars counted
// from 1, as the MML's own "Time(1:1:0)" counts them).
struct PreviewLine {
  std::uint64_t offset = 0;
  std::uint32_t bar = 1;
  std::uint32_t lastBar = 1;
};

struct Preview {
  bool headerRead = false;  // the header chunk was read: the three fields below are valid
  std::uint16_t format = 0;
  std::uint16_t trackCount = 0;
  std::uint16_t division = 0;
  // The rhythm table as the conversion lists it (the sentinel last, with
  // tick kSentinelTick); empty when nothing of the tracks is written.
  std::vector<RhythmEntry> rhythm;
  // Where each bar starts, as the MML counts them (bar n at barStarts[n-1]),
  // up to the end of the song (at most kMostBars of them).
  std::vector<std::uint64_t> barStarts;
  // The notes the MML holds, track by track, each track's in the order of
  // its channels and, in a channel, of their starts.
  std::vector<PreviewNote> notes;
  // The tempo events the MML holds, in the order of their ticks; a file
  // without one plays at 120.
  std::vector<PreviewTempo> tempos;
  // Each written track's first track name (meta event 3), its bytes as the
  // file holds them (code page 932, mostly); empty when it has none.
  std::vector<std::string> trackNames;
  // The lines of the MML's sections, in the order of the text (only when
  // the conversion ran on one thread, as a front end that shows the text
  // asks for).
  std::vector<PreviewLine> lines;
  std::uint64_t lastEnd = 0;  // the greatest tick of a written track's end
  std::uint32_t gridNote = 0;  // the grid's note value (chosen, where auto); 0 none
  // The fault that stopped the conversion, and its whole message as the
  // program prints it on standard error (code page 932); kNone and empty.
  FaultKind faultKind = FaultKind::kNone;
  std::string fault;

  static constexpr std::size_t kMostBars = 4000000;
};

// What the conversion hands over for a preview as it writes. Tracks may come
// from several threads, each track once.
class PreviewCollector {
 public:
  explicit PreviewCollector(const OpenedSong& song);

  // Track `index` as written: `original` as decoded, `written` after the
  // steps; `stopAt` as OpenedSong::stopAt gives it; with voices, `voices`
  // dealt from `written`.
  void addTrack(std::uint32_t index, TrackView original, TrackView written, std::uint32_t stopAt,
                const VoiceTable* voices = nullptr);

  // Where the writer's lines begin, in text order (one thread only).
  std::vector<LineMark>& lineMarks() { return marks_; }

  // The preview of everything handed over, and of the conversion's fault.
  Preview finish(const Fault& fault);

 private:
  struct TrackNotes {
    std::vector<PreviewNote> notes;
    std::vector<PreviewTempo> tempos;
    std::string name;
    std::uint64_t end = 0;
  };

  const OpenedSong& song_;
  std::vector<TrackNotes> tracks_;
  std::vector<LineMark> marks_;
};

// The preview of `bytes` with `settings`: the file opened and converted as
// the program converts it, the text dropped. A fault of the header gives a
// preview with that fault and nothing else.
Preview makePreview(std::span<const std::uint8_t> bytes, const Settings& settings);

}  // namespace vantrel
