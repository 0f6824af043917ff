// Where each note of a track ends, and whether anything of its channel
// begins while it sounds: the spans found once per track, which the
// conversion and the page both draw on.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "smf/decoded_track.h"
#include "smf/note_spans.h"
#include "smf/walk.h"
#include "tests/conversion.h"

namespace vantrel::test {
namespace {

// Each note of the only track, in track order, as "its place-the place of
// the event that ends it (or 'end')@the tick where it ends", and " overlap"
// when something of its channel begins before that. Places count every
// event of the track, left-out ones too.
std::string spansOf(const Track& track, std::int32_t mask) {
  const Bytes smf = makeSmf(0, 480, {track});
  SmfHeader header;
  EXPECT_EQ(header.read(smf), FaultKind::kNone);
  const Walk walk = walkTracks(smf, header, mask);
  EXPECT_FALSE(walk.fault);
  DecodedTrack decoded;
  decoded.decode(smf, EventFilter(mask), walk.tracks.at(0), walk.tracks.at(0).passEvents);
  NoteSpans spans;
  spans.find(decoded);
  std::map<std::uint32_t, std::string> notes;
  for (std::uint32_t i = decoded.passBegin[1]; i < decoded.events.size(); ++i) {
    const DecodedEvent& event = decoded.events[i];
    if (!isNoteStart(event)) continue;
    const NoteSpan span = spans[i];
    const std::string end =
        span.end == kOpenEnd ? "end" : std::to_string(decoded.events[span.end].order);
    notes[event.order] = std::to_string(event.order) + "-" + end + "@" +
                         std::to_string(spans.endTick(decoded, i)) +
                         (span.overlap ? " overlap" : "");
  }
  std::string text;
  for (const auto& [order, note] : notes) text += (text.empty() ? "" : ", ") + note;
  return text;
}

TEST(NoteSpans, EndsAndOverlaps) {
  struct Case {
    const char* what;
    Track track;
    std::string spans;
    std::int32_t mask = 0;
  };
  const std::vector<Case> cases = {
      {"a Note Off ends a note", Track().on(0, 1, 60).off(480, 1, 60).end(), "0-1@480"},
      {"so does a Note On of velocity 0", Track().on(0, 1, 60).on(240, 1, 60, 0).end(), "0-1@240"},
      {"a note ending where it starts", Track().on(0, 1, 60).off(0, 1, 60).end(480), "0-1@0"},
      {"no end: the end of the track", Track().on(0, 1, 60).end(960), "0-end@960"},
      {"a Note Off of another key or channel does not end it",
       Track().on(0, 1, 60).off(100, 1, 61).off(100, 2, 60).off(100, 1, 60).end(), "0-3@300"},
      {"a chord: each note is overlapped by the next",
       Track().on(0, 1, 60).on(0, 1, 64).off(480, 1, 60).off(0, 1, 64).end(),
       "0-2@480 overlap, 1-3@480"},
      {"struck again before its end: both end at the one Note Off",
       Track().on(0, 1, 60).on(240, 1, 60).off(240, 1, 60).end(),
       "0-2@480 overlap, 1-2@480"},
      {"legato, the next Note On stored first",
       Track().on(0, 1, 60).on(480, 1, 62).off(0, 1, 60).off(480, 1, 62).end(),
       "0-2@480 overlap, 1-3@960"},
      {"legato, the Note Off stored first",
       Track().on(0, 1, 60).off(480, 1, 60).on(0, 1, 62).off(480, 1, 62).end(),
       "0-1@480, 2-3@960"},
      {"any other message of the channel overlaps",
       Track().on(0, 1, 60).program(100, 1, 5).off(100, 1, 60).end(), "0-2@200 overlap"},
      {"nothing of another channel does (the second note's own controller does)",
       Track().on(0, 1, 60).on(100, 2, 64).cc(0, 2, 7, 1).off(100, 1, 60).off(0, 2, 64).end(),
       "0-3@200, 1-4@200 overlap"},
      {"a message left out by the filter does not",
       Track().on(0, 1, 60).cc(100, 1, 7, 1).off(100, 1, 60).end(), "0-2@200",
       kFilterControlChange},
      {"a message after the end does not",
       Track().on(0, 1, 60).off(480, 1, 60).cc(0, 1, 7, 1).end(), "0-1@480"},
      // Key bytes above 127 are keys of their own: 200 is not 72.
      {"keys above 127",
       Track().raw(0, {0x90, 200, 100}).raw(100, {0x80, 72, 64}).raw(100, {0x80, 200, 64})
           .raw(0, {0x90, 72, 100}).raw(100, {0x90, 200, 0}).end(100),
       "0-2@200, 3-end@400"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(spansOf(c.track, c.mask), c.spans);
  }
}

}  // namespace
}  // namespace vantrel::test
