// Converter: writes the blocks of an SMF's tracks as MML text, one track at
// a time: the block's head, then its 17 passes (see PassWriter).
//
// Each track is decoded once and its notes' spans found in one sweep, so the
// work is linear in the size of the input and the output. A Converter keeps
// its storage from track to track; several Converters can share one file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "grid/grid.h"
#include "grid/quantize.h"
#include "mml/length_text.h"
#include "mml/note_heads.h"
#include "mml/pass_writer.h"
#include "mml/settings.h"
#include "mml/text_writer.h"
#include "rhythm/rhythm_table.h"
#include "smf/decoded_track.h"
#include "smf/note_spans.h"
#include "smf/smf_header.h"
#include "smf/walk.h"

namespace vantrel {

class Converter {
 public:
  // `smf` is the whole SMF; `header` and `rhythm` are what was read and
  // walked in it; `gridNote`, the note value of the grid that notes and
  // events are moved onto, or 0 for none. All of them, and `settings`, must
  // outlive the Converter, which only reads them.
  Converter(std::span<const std::uint8_t> smf, const SmfHeader& header,
            const RhythmTable& rhythm, const Settings& settings, std::uint32_t gridNote,
            TextWriter& output);

  // Makes room for the largest of `tracks` at once.
  void reserveFor(std::span<const TrackChunk> tracks);

  // Writes the block of track `index`, whose chunk is `chunk`. With a
  // `stopAt` other than kNoStop the data has a fault at that system event
  // of the track (counted from 0): the block ends before it.
  void convertTrack(std::uint32_t index, const TrackChunk& chunk, std::uint32_t stopAt = kNoStop);

 private:
  TextWriter& output_;
  const Vocabulary& words_;
  const NoteHeadTexts headTexts_;
  LengthCache lengths_;
  const EventFilter filter_;
  DecodedTrack track_;
  NoteSpans spans_;
  // On a grid: the track moved onto it, and what moves it.
  std::optional<Quantizer> quantizer_;
  std::optional<GridLengthCache> gridLengths_;
  DecodedTrack gridTrack_;
  NoteSpans gridSpans_;
  PassContext context_;
};

}  // namespace vantrel
