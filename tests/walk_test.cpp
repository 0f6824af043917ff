// The walk over every track before anything is converted: where each track
// lies, how many events each pass has, the signatures met, and where the
// first fault lies.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smf/walk.h"
#include "tests/conversion.h"

namespace vantrel::test {
namespace {

// A track as "start:events" and the passes that have events, "p=count"; the
// signatures as "time tick n/exponent" and "key tick key/mode".
std::string tracksOf(const Walk& walk) {
  std::string text;
  for (const TrackChunk& chunk : walk.tracks) {
    text += (text.empty() ? "" : " | ") + std::to_string(chunk.start) + ":" +
            std::to_string(chunk.events);
    for (int pass = 0; pass < kPassCount; ++pass) {
      if (chunk.passEvents[pass] != 0) {
        text += " " + std::to_string(pass) + "=" + std::to_string(chunk.passEvents[pass]);
      }
    }
  }
  return text;
}

std::string signaturesOf(const Walk& walk) {
  std::string text;
  for (const TimeSignatureEvent& s : walk.timeSignatures) {
    text += "time " + std::to_string(s.tick) + " " + std::to_string(s.numerator) + "/" +
            std::to_string(s.exponent) + " ";
  }
  for (const KeySignatureEvent& k : walk.keySignatures) {
    text += "key " + std::to_string(k.tick) + " " + std::to_string(k.key) + "/" +
            std::to_string(k.mode) + " ";
  }
  return text;
}

TEST(Walk, TracksPassesSignaturesAndTheFirstFault) {
  Track conductor;
  conductor.timeSignature(0, 3, 2).keySignature(960, -3, 1).tempo(0, 500000).end();
  Track music;
  music.on(0, 1, 60).off(480, 1, 60).on(0, 16, 60).cc(0, 16, 7, 1).raw(0, {62, 0}).end(480);
  // The first track begins after the two chunk headers; the next after it.
  const std::string conductorAt = "22:4";
  const std::string musicAt = std::to_string(22 + conductor.data().size() + 8) + ":6";
  Track faulty;  // its third system event has a status that no file may hold
  faulty.text(0, 1, "a").on(0, 2, 60).keySignature(0, 1, 0).raw(0, {0xF4}).meta(0, 0x58, {2, 3})
      .raw(0, {0xF5}).end();
  const Bytes whole = makeSmf(1, 480, {conductor, music});
  Bytes lying = whole;
  lying[18 + 3] = 0;  // the first chunk's length says 0: the walk goes by its events
  Bytes missing = whole;
  missing[11] = 3;  // a third track announced
  const Bytes cut(whole.begin(), whole.end() - 2);
  const std::string both = conductorAt + " 0=4 | " + musicAt + " 0=1 1=2 16=3";
  const std::string conductorSignatures = "time 0 3/2 key 960 -3/1 ";

  struct Case {
    const char* what;
    Bytes file;
    std::int32_t mask;
    std::string tracks;
    std::string signatures;
    Fault fault;
    std::uint32_t faultTrack = 0, faultEvent = 0;
  };
  const std::vector<Case> cases = {
      {"a conductor and a track of two channels", whole, 0, both, conductorSignatures, {}},
      {"a chunk length that lies", lying, 0, both, conductorSignatures, {}},
      {"events left out count in no pass, and meta events are no signatures", whole,
       kFilterMeta | kFilterControlChange, conductorAt + " | " + musicAt + " 1=2 16=1", "", {}},
      // The fault is the first; the signatures after it are met still, a
      // time signature of two bytes too. The events of its track are
      // counted whole: what is written of it is the song's to decide.
      {"the first fault, in the second track", makeSmf(1, 480, {conductor, faulty}), 0,
       conductorAt + " 0=4 | " + musicAt.substr(0, musicAt.find(':')) + ":7 0=6 2=1",
       "time 0 3/2 time 0 2/3 key 960 -3/1 key 0 1/0 ", Fault{FaultKind::kInvalidMidiEvent}, 1,
       2},
      {"a meta event of the wrong length is a fault",
       makeSmf(0, 480, {Track().tempo(0, 1).meta(0, 0x51, {1}).end()}), 0, "22:3 0=3", "", Fault{FaultKind::kBadTempo}, 0, 1},
      {"a fault that the filter leaves out is none",
       makeSmf(0, 480, {Track().meta(0, 0x51, {1}).end()}), kFilterMeta, "22:2", "", {}},
      {"a missing track chunk: the tracks before it", missing, 0, both, conductorSignatures,
       Fault{FaultKind::kNoMTrk}},
      {"a track cut short: the tracks before it", cut, 0, conductorAt + " 0=4",
       conductorSignatures, Fault{FaultKind::kTrackCutShort}},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SmfHeader header;
    ASSERT_EQ(header.read(c.file), FaultKind::kNone);
    const Walk walk = walkTracks(c.file, header, c.mask);
    EXPECT_EQ(tracksOf(walk), c.tracks);
    EXPECT_EQ(signaturesOf(walk), c.signatures);
    EXPECT_EQ(walk.fault, c.fault);
    if (c.fault && walk.chunksWhole()) {
      EXPECT_EQ(walk.faultTrack, c.faultTrack);
      EXPECT_EQ(walk.faultEvent, c.faultEvent);
    }
  }
  // The chunk's length is reported as it stands.
  SmfHeader header;
  ASSERT_EQ(header.read(lying), FaultKind::kNone);
  EXPECT_EQ(walkTracks(lying, header, 0).tracks[0].length, 0u);
}

}  // namespace
}  // namespace vantrel::test
