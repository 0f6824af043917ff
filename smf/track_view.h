// TrackView: a track as the writer reads it, its events grouped by pass and
// where its notes end; and TrackTransform, a step that makes one view of a
// track from another (the grid, say), so that the conversion and the preview
// see every track through the same steps, and a new step plugs in beside
// the others instead of becoming a mode of the writer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "smf/decoded_track.h"
#include "smf/note_spans.h"

namespace vantrel {

struct TrackView {
  const DecodedTrack* track = nullptr;
  const NoteSpans* spans = nullptr;
  std::uint32_t index = 0;  // the track's number in the file, from 0
};

class TrackTransform {
 public:
  virtual ~TrackTransform() = default;

  // Makes room for tracks of up to `events` events, `systemEvents` of them
  // in pass 0, so that transforming track after track allocates nothing more.
  virtual void reserve(std::size_t events, std::size_t systemEvents) = 0;

  // The view of `in` after this step. It lives in the transform, valid until
  // the next call; `in` must stay valid while it is read.
  virtual TrackView apply(TrackView in) = 0;
};

}  // namespace vantrel
