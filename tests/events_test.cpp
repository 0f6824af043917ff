// The one loop over a track's events: variable-length quantities, running
// status, the /M filter against every kind of event, and the end of the file
// met at every place in a track, on both the loop's paths (the short channel
// messages' own, taken while some bytes remain, and the one that checks
// every byte).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "smf/events.h"
#include "tests/conversion.h"
#include "tests/expected_texts.h"

namespace vantrel::test {
namespace {

// Each event the loop hands over, as one line: the tick and the bytes in
// hex; a system event with where its data lie, and "end" for the end of the
// track.
struct Recorder {
  std::vector<std::string> events;

  void channel(ChannelEvent e) {
    char line[64];
    std::snprintf(line, sizeof line, "%llu %02x %02x %02x", static_cast<unsigned long long>(e.tick),
                  e.status, e.data1, e.data2);
    events.push_back(line);
  }
  void system(const SystemEvent& e) {
    char line[80];
    std::snprintf(line, sizeof line, "%llu %02x %02x @%llu+%u%s",
                  static_cast<unsigned long long>(e.tick), e.status, e.metaType,
                  static_cast<unsigned long long>(e.dataOffset), e.dataLength,
                  e.endOfTrack ? " end" : "");
    events.push_back(line);
  }
};

// The events of the track at the start of `bytes` (exactly those bytes, so
// that a read past them is a sanitizer's report), and where the loop ended.
std::vector<std::string> eventsOf(const Bytes& bytes, std::int32_t mask, TrackEnd& end) {
  const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size() + 1]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  Recorder recorder;
  end = forEachEvent(std::span<const std::uint8_t>(exact.get(), bytes.size()), EventFilter(mask), 0,
                     recorder);
  return recorder.events;
}

TEST(VarLen, ValuesAndBytesRead) {
  struct Case {
    Bytes bytes;
    std::uint32_t value;
    std::uint64_t read;
  };
  const std::vector<Case> cases = {
      {{0x00, 0x7F}, 0, 1},
      {{0x7F}, 127, 1},
      {{0x81, 0x00}, 128, 2},
      {{0x83, 0x60}, 480, 2},
      {{0xFF, 0x7F}, 16383, 2},
      {{0x81, 0x80, 0x00}, 16384, 3},
      {{0x81, 0x80, 0x80, 0x00}, 0x200000, 4},
      {{0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFF, 4},
      // A fourth byte with its top bit set still ends the quantity.
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x05}, 0x0FFFFFFF, 4},
      {{0x80, 0x80, 0x80, 0x80, 0x01}, 0, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    std::uint64_t position = 0;
    std::uint32_t value = 0;
    EXPECT_TRUE(readVarLen(c.bytes, position, value));
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(position, c.read);
  }
}

TEST(EventLoop, HandsOverEveryEventWithItsTickAndData) {
  struct Case {
    const char* what;
    Bytes bytes;  // a whole track
    int mask;
    std::vector<std::string> events;
  };
  const std::vector<Case> cases = {
      {"note-on, then a note-on by running status",
       Bytes{0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x64} + kEnd, 0,
       {"0 90 3c 64", "0 90 3e 64", "0 ff 2f @11+0 end"}},
      {"program and channel pressure take one data byte",
       Bytes{0x00, 0xC0, 0x05, 0x00, 0x06, 0x00, 0xD1, 0x40, 0x10, 0x41} + kEnd, 0,
       {"0 c0 05 00", "0 c0 06 00", "0 d1 40 00", "16 d1 41 00", "16 ff 2f @14+0 end"}},
      {"pitch bend and control change by running status",
       Bytes{0x00, 0xE1, 0x00, 0x40, 0x60, 0x7F, 0x7F, 0x00, 0xB2, 0x07, 0x64, 0x00, 0x0A, 0x40} +
           kEnd,
       0, {"0 e1 00 40", "96 e1 7f 7f", "96 b2 07 64", "96 b2 0a 40", "96 ff 2f @18+0 end"}},
      {"a meta event leaves the running status",
       Bytes{0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x02, 'a', 'b', 0x00, 0x3E, 0x00} + kEnd, 0,
       {"0 90 3c 64", "0 ff 01 @8+2", "0 90 3e 00", "0 ff 2f @17+0 end"}},
      {"SysEx, its escape and an undefined status leave the running status",
       Bytes{0x00, 0x91, 0x3C, 0x64, 0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x00, 0xF7, 0x01, 0xF7,
             0x00, 0xF1, 0x00, 0x40, 0x50} + kEnd,
       0,
       {"0 91 3c 64", "0 f0 00 @7+2", "0 f7 00 @12+1", "0 f1 00 @0+0", "0 91 40 50",
        "0 ff 2f @22+0 end"}},
      {"a meta length of two bytes", Bytes{0x00, 0xFF, 0x7F, 0x81, 0x00} + Bytes(128, 0x11) + kEnd,
       0, {"0 ff 7f @5+128", "0 ff 2f @137+0 end"}},
      {"end of track with meta events left out", {0x05, 0xFF, 0x2F, 0x00}, kFilterMeta,
       {"5 00 2f @4+0 end"}},
      {"a data byte before any status is a message of one byte, of status 0",
       Bytes{0x00, 0x3C, 0x00, 0x90, 0x3C, 0x64} + kEnd, 0,
       {"0 00 3c 00", "0 90 3c 64", "0 ff 2f @10+0 end"}},
      {"/Mc: a left-out controller still sets the running status",
       Bytes{0x00, 0xB3, 0x07, 0x64, 0x00, 0x08, 0x10, 0x00, 0x93, 0x3C, 0x64} + kEnd,
       kFilterControlChange, {"0 00 07 64", "0 00 08 10", "0 93 3c 64", "0 ff 2f @15+0 end"}},
      {"/Mx: left-out SysEx data are stepped over",
       Bytes{0x00, 0xF0, 0x05, 1, 2, 3, 4, 0xF7, 0x00, 0xF7, 0x01, 0xF7} + kEnd,
       kFilterSysEx | kFilterSysExEscape, {"0 00 00 @3+5", "0 00 00 @11+1", "0 ff 2f @16+0 end"}},
      {"a left-out message keeps its delta time", Bytes{0x83, 0x60, 0xB0, 0x07, 0x64} + kEnd,
       kFilterControlChange, {"480 00 07 64", "480 ff 2f @9+0 end"}},
      {"the largest delta, and a four-byte delta with its top bit set",
       Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64, 0xFF, 0xFF, 0xFF, 0xFF, 0x3D, 0x00} + kEnd,
       0, {"268435455 90 3c 64", "536870910 90 3d 00", "536870910 ff 2f @17+0 end"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Exactly the track, and the track with bytes after it, which the loop
    // never reads: it takes its short path over channel messages only while
    // five bytes remain.
    for (const Bytes& file : {c.bytes, c.bytes + Bytes(8, 0x00)}) {
      TrackEnd end;
      EXPECT_EQ(eventsOf(file, c.mask, end), c.events);
      EXPECT_TRUE(end.whole);
      EXPECT_EQ(end.position, c.bytes.size());
    }
  }
}

// Which mask bit leaves out which status; notes and the statuses no file
// may hold pass whatever the mask holds. The second event of the channel
// kinds repeats the status by running status and must go the same way.
TEST(EventLoop, FilterBitsAgainstEveryKind) {
  struct Kind {
    Bytes event;  // after a zero delta; channel kinds have a running-status repeat
    int bit;      // 0: never left out
  };
  const std::vector<Kind> kinds = {
      {{0x80, 60, 0, 0, 61, 0}, 0},    {{0x9F, 60, 90, 0, 61, 0}, 0},
      {{0xA0, 60, 10, 0, 61, 9}, 0x04}, {{0xB5, 7, 100, 0, 10, 64}, 0x08},
      {{0xC0, 5, 0, 6}, 0x10},          {{0xD0, 40, 0, 41}, 0x20},
      {{0xEF, 0, 64, 0, 1, 64}, 0x40},  {{0xF0, 1, 0xF7}, 0x100},
      {{0xF7, 1, 0xF7}, 0x200},         {{0xFF, 0x06, 1, 'x'}, 0x400},
      {{0xF1}, 0},                      {{0xF8}, 0},
      {{0xFE}, 0},
  };
  const std::vector<int> masks = {0, 0x04, 0x08, 0x10, 0x20, 0x40, 0x100, 0x200, 0x400,
                                  0x01 | 0x02 | 0x80 | 0x800 | 0x7000, 0x34, 0x300, 0xFFFF};
  for (const Kind& kind : kinds) {
    const bool repeated = kind.event[0] < 0xF0;
    for (int mask : masks) {
      SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int{kind.event[0]}
                                      << " mask 0x" << mask);
      TrackEnd end;
      const std::vector<std::string> events = eventsOf(Bytes{0x00} + kind.event + kEnd, mask, end);
      ASSERT_EQ(events.size(), repeated ? 3u : 2u);
      char status[3];
      std::snprintf(status, sizeof status, "%02x", (mask & kind.bit) ? 0 : kind.event[0]);
      EXPECT_EQ(events[0].substr(2, 2), status);
      if (repeated) {
        EXPECT_EQ(events[1].substr(2, 2), status);
      }
    }
  }
}

// Every prefix of a track that holds every kind of event: the loop hands
// over exactly the events whose bytes the prefix holds whole, reads nothing
// past its end, and says that the file ended inside the track.
TEST(EventLoop, TheEndOfTheFileAtEveryPlace) {
  const std::vector<Bytes> pieces = {
      {0x00, 0x90, 0x3C, 0x64},              // a note
      {0x81, 0x00, 0x3E, 0x64},              // two-byte delta, running status
      {0x00, 0xC5, 0x05},                    // one data byte
      {0xFF, 0xFF, 0xFF, 0x7F, 0x06},        // four-byte delta, running status
      Bytes{0x00, 0xF0, 0x81, 0x00} + Bytes(128, 0x42),  // two-byte length
      {0x00, 0xF7, 0x01, 0xF7},              // an escape
      {0x00, 0xFF, 0x01, 0x02, 'a', 'b'},    // a text
      {0x00, 0xF1},                          // a status that has no data
      {0x00, 0xE0, 0x00, 0x40},
      {0x83, 0x60, 0x3C, 0x40},              // running status after them all
      kEnd,
  };
  Bytes track;
  std::vector<std::size_t> ends;  // where each event's bytes end
  for (const Bytes& piece : pieces) {
    track = track + piece;
    ends.push_back(track.size());
  }
  TrackEnd end;
  const std::vector<std::string> all = eventsOf(track, 0, end);
  ASSERT_EQ(all.size(), pieces.size());
  ASSERT_TRUE(end.whole);
  for (std::size_t cut = 0; cut < track.size(); ++cut) {
    SCOPED_TRACE(cut);
    const std::vector<std::string> events =
        eventsOf(Bytes(track.begin(), track.begin() + cut), 0, end);
    std::size_t whole = 0;
    while (ends[whole] <= cut) ++whole;
    EXPECT_EQ(events, std::vector<std::string>(all.begin(), all.begin() + whole));
    EXPECT_FALSE(end.whole);
    EXPECT_EQ(end.position, cut);
  }
}

// Whole files whose data end inside a track: the walk before the conversion
// meets the end first, so the output holds only its header comment and no
// rhythm listing is printed.
TEST(EventLoop, FilesCutShortFailBeforeAnyTrackText) {
  struct Case {
    const char* what;
    Bytes cut;  // appended to a track that begins with a sounding note
    std::vector<std::string> options;
    bool cutInSecondTrack = false;
  };
  const std::vector<Case> cases = {
      {"inside a delta time", {0x83}, {}},
      {"before a status byte", {0x00}, {}},
      {"before a second data byte", {0x00, 0x80, 0x3C}, {}},
      {"inside a running-status event", {0x10, 0x3E}, {}},
      {"no end of track at all", {0x83, 0x60, 0x80, 0x3C, 0x00}, {}},
      {"inside a meta length", {0x00, 0xFF, 0x03, 0x81}, {}},
      {"inside SysEx data", {0x00, 0xF0, 0x05, 0x7E, 0x7F}, {}},
      {"inside left-out SysEx data", {0x00, 0xF0, 0x05, 0x7E, 0x7F}, {"/Mx"}},
      {"inside text data", {0x00, 0xFF, 0x03, 0x10, 'a', 'b'}, {}},
      {"inside left-out text data", {0x00, 0xFF, 0x03, 0x10, 'a', 'b'}, {"/Mm"}},
      {"inside time-signature data", {0x00, 0xFF, 0x58, 0x04, 0x03, 0x02}, {}},
      {"inside left-out time-signature data", {0x00, 0xFF, 0x58, 0x04, 0x03}, {"/MA"}},
      {"inside key-signature data", {0x00, 0xFF, 0x59, 0x02, 0x01}, {}},
      {"end of track with data past the end", {0x00, 0xFF, 0x2F, 0x02, 0x00}, {}},
      {"in the second of two tracks", {0x00, 0x80, 0x3C}, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Track cut;
    cut.on(0, 1, 60).bytes(c.cut);
    std::vector<Track> tracks{cut};
    if (c.cutInSecondTrack) {
      Track whole;
      whole.on(0, 2, 64).off(960, 2, 64).end();
      tracks.insert(tracks.begin(), whole);
    }
    Conversion result = convertBytes(makeSmf(1, 480, tracks), c.options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, expected::dataFault(expected::kCutShort));
    EXPECT_EQ(result.mml,
              expected::headerComment(6, 1, static_cast<int>(tracks.size()), 480));
    EXPECT_EQ(result.listing, "");
  }
}

}  // namespace
}  // namespace vantrel::test
