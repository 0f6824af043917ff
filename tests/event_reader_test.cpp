// The event reader on plain byte spans: variable-length quantities, running
// status, the /M filter, and the end of the file met at every kind of place.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "smf/event_reader.h"
#include "tests/expected_texts.h"
#include "tests/smf_builder.h"

namespace vantrel::test {
namespace {

namespace ex = expected;

EventReader readerOn(const Bytes& bytes, int mask = 0) {
  EventReader reader;
  reader.file = bytes;
  reader.filterMask = mask;
  return reader;
}

TEST(EventReaderVarLen, ValuesAndBytesConsumed) {
  struct Case {
    Bytes bytes;
    std::uint32_t value;
    std::uint64_t consumed;
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
    EXPECT_EQ(position, c.consumed);
  }
}

// The fields after each readEvent; a caller skips `length` bytes after it.
struct Step {
  std::uint32_t delta;
  int status, data1, data2, length, endOfTrack;
  std::uint64_t position;  // before the caller's skip
};

struct StreamCase {
  const char* what;
  Bytes bytes;
  int mask;
  std::vector<Step> steps;
};

const std::vector<StreamCase> kStreams = {
    {"note-on, then a note-on by running status",
     {0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x64}, 0,
     {{0, 0x90, 0x3C, 0x64, 0, 0, 4}, {0, 0x90, 0x3E, 0x64, 0, 0, 7}}},
    {"program changes consume one data byte",
     {0x00, 0xC0, 0x05, 0x00, 0x06, 0x00, 0xD1, 0x40, 0x10, 0x41}, 0,
     {{0, 0xC0, 0x05, 0, 0, 0, 3}, {0, 0xC0, 0x06, 0, 0, 0, 5},
      {0, 0xD1, 0x40, 0, 0, 0, 8}, {16, 0xD1, 0x41, 0, 0, 0, 10}}},
    {"pitch bend and control change by running status",
     {0x00, 0xE1, 0x00, 0x40, 0x60, 0x7F, 0x7F, 0x00, 0xB2, 0x07, 0x64, 0x00, 0x0A, 0x40}, 0,
     {{0, 0xE1, 0x00, 0x40, 0, 0, 4}, {96, 0xE1, 0x7F, 0x7F, 0, 0, 7},
      {0, 0xB2, 0x07, 0x64, 0, 0, 11}, {0, 0xB2, 0x0A, 0x40, 0, 0, 14}}},
    {"a meta event leaves its text and the running status",
     {0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x02, 'a', 'b', 0x00, 0x3E, 0x00}, 0,
     {{0, 0x90, 0x3C, 0x64, 0, 0, 4}, {0, 0xFF, 0x01, 0x64, 2, 0, 8},
      {0, 0x90, 0x3E, 0x00, 0, 0, 13}}},
    {"SysEx, its escape and an undefined status leave the running status",
     {0x00, 0x91, 0x3C, 0x64, 0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x00, 0xF7, 0x01, 0xF7,
      0x00, 0xF1, 0x00, 0x40, 0x50},
     0,
     {{0, 0x91, 0x3C, 0x64, 0, 0, 4}, {0, 0xF0, 0x3C, 0x64, 2, 0, 7},
      {0, 0xF7, 0x3C, 0x64, 1, 0, 12}, {0, 0xF1, 0x3C, 0x64, 0, 0, 15},
      {0, 0x91, 0x40, 0x50, 0, 0, 18}}},
    {"a meta length of two bytes",
     [] {
       Bytes b{0x00, 0xFF, 0x7F, 0x81, 0x00};
       b.resize(b.size() + 128, 0x11);
       return b;
     }(),
     0, {{0, 0xFF, 0x7F, 0, 128, 0, 5}}},
    {"end of track", {0x00, 0xFF, 0x2F, 0x00}, 0, {{0, 0xFF, 0x2F, 0, 0, 1, 4}}},
    {"end of track with meta events left out", {0x05, 0xFF, 0x2F, 0x00}, 0x400,
     {{5, 0, 0x2F, 0, 0, 1, 4}}},
    {"a data byte before any status is an event of its own",
     {0x00, 0x3C, 0x00, 0x90, 0x3C, 0x64}, 0,
     {{0, 0, 0x3C, 0, 0, 0, 2}, {0, 0x90, 0x3C, 0x64, 0, 0, 6}}},
    {"/Mc: a left-out controller still sets the running status",
     {0x00, 0xB3, 0x07, 0x64, 0x00, 0x08, 0x10, 0x00, 0x93, 0x3C, 0x64}, 0x08,
     {{0, 0, 0x07, 0x64, 0, 0, 4}, {0, 0, 0x08, 0x10, 0, 0, 7}, {0, 0x93, 0x3C, 0x64, 0, 0, 11}}},
    {"/Mx: SysEx data stays in the stream for the caller to skip",
     {0x00, 0xF0, 0x05, 1, 2, 3, 4, 0xF7, 0x00, 0xF7, 0x01, 0xF7, 0x00, 0xFF, 0x01, 0x00}, 0x300,
     {{0, 0, 0, 0, 5, 0, 3}, {0, 0, 0, 0, 1, 0, 11}, {0, 0xFF, 0x01, 0, 0, 0, 16}}},
    {"a left-out event returns its delta time",
     {0x83, 0x60, 0xB0, 0x07, 0x64}, 0x08, {{480, 0, 0x07, 0x64, 0, 0, 5}}},
    {"the largest delta, and a four-byte delta with its top bit set",
     {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64, 0xFF, 0xFF, 0xFF, 0xFF, 0x3D, 0x00}, 0,
     {{0x0FFFFFFF, 0x90, 0x3C, 0x64, 0, 0, 7}, {0x0FFFFFFF, 0x90, 0x3D, 0x00, 0, 0, 13}}},
};

TEST(EventReaderStream, FieldsAfterEachEvent) {
  for (const StreamCase& c : kStreams) {
    SCOPED_TRACE(c.what);
    EventReader reader = readerOn(c.bytes, c.mask);
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE("event " + std::to_string(i));
      const Step& s = c.steps[i];
      ASSERT_TRUE(reader.readEvent());
      EXPECT_EQ(reader.delta, s.delta);
      EXPECT_EQ(reader.status, s.status);
      EXPECT_EQ(reader.data1, s.data1);
      EXPECT_EQ(reader.data2, s.data2);
      EXPECT_EQ(reader.length, s.length);
      EXPECT_EQ(reader.endOfTrack, s.endOfTrack);
      EXPECT_EQ(reader.position, s.position);
      if (reader.length > 0) {
        ASSERT_TRUE(reader.skip(static_cast<std::uint64_t>(reader.length)));
      }
    }
    EXPECT_EQ(reader.position, c.bytes.size()) << "the whole stream is consumed";
  }
}

// Which mask bit leaves out which status; notes and the undefined system
// statuses pass whatever the mask holds. The second event of the channel
// kinds repeats the status by running status and must go the same way.
TEST(EventReaderFilter, EveryKindAgainstEveryBit) {
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
    for (int mask : masks) {
      SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int{kind.event[0]}
                                      << " mask 0x" << mask);
      Bytes bytes{0x00};
      bytes.insert(bytes.end(), kind.event.begin(), kind.event.end());
      EventReader reader = readerOn(bytes, mask);
      bool leftOut = (mask & kind.bit) != 0;
      ASSERT_TRUE(reader.readEvent());
      EXPECT_EQ(reader.status, leftOut ? 0 : kind.event[0]);
      if (reader.length > 0) {
        ASSERT_TRUE(reader.skip(static_cast<std::uint64_t>(reader.length)));
      }
      if (reader.position < bytes.size()) {  // the running-status repeat
        ASSERT_TRUE(reader.readEvent());
        EXPECT_EQ(reader.status, leftOut ? 0 : kind.event[0]);
      }
      EXPECT_EQ(reader.position, bytes.size());
    }
  }
}

TEST(EventReaderStream, RewindForgetsRunningStatusAndEndOfTrack) {
  Bytes bytes{0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x64, 0x00, 0xFF, 0x2F, 0x00};
  EventReader reader = readerOn(bytes);
  while (!reader.endOfTrack) ASSERT_TRUE(reader.readEvent());
  reader.rewindTrack(4);
  EXPECT_FALSE(reader.endOfTrack);
  EXPECT_EQ(reader.runningStatus, 0);
  ASSERT_TRUE(reader.readEvent());
  EXPECT_EQ(reader.status, 0);
  EXPECT_EQ(reader.data1, 0x3E);
  EXPECT_EQ(reader.position, 6u) << "only the data byte is consumed";
}

// Every byte needed at or past the end of the file is reported as the end
// of the file, and never earlier.
TEST(EventReaderEndOfFile, EveryKindOfPosition) {
  using Walk = std::function<bool(EventReader&)>;  // false at the end of the file
  auto events = [](int n) {
    return Walk([n](EventReader& r) {
      for (int i = 0; i < n; ++i) {
        if (!r.readEvent()) return false;
      }
      return true;
    });
  };
  auto eventThen = [](std::function<bool(EventReader&, std::uint64_t)> use) {
    return Walk([use](EventReader& r) {
      return r.readEvent() && use(r, static_cast<std::uint64_t>(r.length));
    });
  };
  struct Case {
    const char* what;
    Bytes bytes;
    Walk walk;
    std::uint64_t position;  // where the reader stands when the fault comes
  };
  const std::vector<Case> cases = {
      {"nothing left for a delta time", {}, events(1), 0},
      {"inside a delta time", {0x81}, events(1), 1},
      {"inside a four-byte delta time", {0xFF, 0xFF, 0xFF}, events(1), 3},
      {"status byte", {0x00}, events(1), 1},
      {"first data byte", {0x00, 0x90}, events(1), 2},
      {"second data byte", {0x00, 0x90, 0x3C}, events(1), 3},
      {"program change data byte", {0x00, 0xC5}, events(1), 2},
      {"second data byte by running status", {0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E}, events(2), 6},
      {"SysEx length", {0x00, 0xF0}, events(1), 2},
      {"inside a SysEx length", {0x00, 0xF0, 0x81}, events(1), 3},
      {"meta type", {0x00, 0xFF}, events(1), 2},
      {"meta length", {0x00, 0xFF, 0x01}, events(1), 3},
      // A skip that the file cannot hold skips nothing.
      {"meta data skipped", {0x00, 0xFF, 0x01, 0x03, 'a', 'b'},
       eventThen([](EventReader& r, std::uint64_t n) { return r.skip(n); }), 4},
      {"time-signature data", {0x00, 0xFF, 0x58, 0x04, 3, 2, 24},
       eventThen([](EventReader& r, std::uint64_t n) { return r.skip(n); }), 4},
      {"the largest SysEx length", {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 0x01},
       eventThen([](EventReader& r, std::uint64_t n) { return r.skip(n); }), 6},
      {"data that end exactly at the end, then the next event",
       {0x00, 0xFF, 0x01, 0x02, 'a', 'b'},
       eventThen([](EventReader& r, std::uint64_t n) { return r.skip(n) && r.readEvent(); }), 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EventReader reader = readerOn(c.bytes);
    EXPECT_FALSE(c.walk(reader));
    EXPECT_EQ(reader.position, c.position);
  }
}

// Whole files whose data end inside a track: the walk before the conversion
// meets the end first, so the output holds only its header comment and no
// rhythm listing is printed.
TEST(EventReaderEndOfFile, FilesFailBeforeAnyTrackText) {
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
    Conversion result = convert(makeSmf(1, 480, tracks), c.options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, std::string(ex::kDataFault) + ex::kCutShort);
    EXPECT_EQ(result.mml, ex::headerComment(6, 1, static_cast<int>(tracks.size()), 480));
    EXPECT_EQ(result.listing, "");
  }
}

}  // namespace
}  // namespace vantrel::test
