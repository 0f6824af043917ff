// Converter: writes the blocks of an opened song's tracks as MML text, one
// track at a time: the block's head, then its 17 passes (see PassWriter);
// with voices, a pass over a channel for each of its voices.
//
// Each track is decoded once and its notes' spans found in one sweep; the
// song's steps (the grid) then make the view that every pass writes, spelt
// by one length writer chosen once. So the work is linear in the size of
// the input and the output. A Converter keeps its storage from track to
// track; several Converters can share one song.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mml/length_text.h"
#include "mml/note_heads.h"
#include "mml/open.h"
#include "mml/pass_writer.h"
#include "mml/preview.h"
#include "mml/text_writer.h"
#include "smf/decoded_track.h"
#include "smf/note_spans.h"
#include "smf/track_view.h"
#include "voices/voice_table.h"

namespace vantrel {

class Converter {
 public:
  // `song` must outlive the Converter, which only reads it; each track
  // written is handed to `preview` too, when given.
  Converter(const OpenedSong& song, TextWriter& output, PreviewCollector* preview = nullptr);

  // Makes room for the largest track from `first` on that the song writes,
  // at once.
  void reserveFrom(std::uint32_t first);

  // Writes the block of track `index` (one the song writes): up to its
  // fault, where the song's data has one.
  void convertTrack(std::uint32_t index);

 private:
  const OpenedSong& song_;
  TextWriter& output_;
  PreviewCollector* const preview_;
  const Vocabulary& words_;
  const NoteHeadTexts headTexts_;
  std::unique_ptr<LengthWriter> lengths_;
  const EventFilter filter_;
  DecodedTrack track_;
  NoteSpans spans_;
  std::vector<std::unique_ptr<TrackTransform>> steps_;
  VoiceTable voices_;
  std::vector<std::uint8_t> velocityPlan_;
  PassContext context_;
};

}  // namespace vantrel
