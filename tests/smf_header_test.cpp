// The header chunk checks with their messages and order, and the track chunk
// headers, each read where the last track ended.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/conversion.h"
#include "tests/expected_texts.h"

namespace vantrel::test {
namespace {

namespace ex = expected;

// The 14 header bytes, any field as given.
Bytes header(const char* magic, std::uint32_t size, std::uint32_t format, std::uint32_t tracks,
             std::uint32_t division) {
  return smf_writer::headerChunk(format, tracks, division, size, magic);
}

// A track chunk holding `events`, with their length unless one is given.
Bytes chunk(const Bytes& events, const char* magic = "MTrk",
            std::optional<std::uint32_t> length = {}) {
  return smf_writer::trackChunk(events, length, magic);
}

TEST(SmfHeader, RejectedHeadersInTheirOrderOfChecking) {
  struct Case {
    const char* what;
    Bytes file;
    const char* message;
  };
  Bytes valid = header("MThd", 6, 0, 1, 480);
  const std::vector<Case> cases = {
      {"empty file", {}, ex::kNoMThd},
      {"magic only", {'M', 'T', 'h', 'd'}, ex::kNoMThd},
      {"13 header bytes", Bytes(valid.begin(), valid.end() - 1), ex::kNoMThd},
      {"RIFF wrapper", header("RIFF", 6, 0, 1, 480) + chunk(kEnd), ex::kNoMThd},
      {"lowercase magic", header("mthd", 6, 0, 1, 480), ex::kNoMThd},
      {"bad magic before format 2", header("MThD", 6, 2, 0, 0), ex::kNoMThd},
      {"format 2", header("MThd", 6, 2, 1, 480), ex::kFormat2},
      {"format 2 before track count 0", header("MThd", 6, 2, 0, 0), ex::kFormat2},
      {"format 3", header("MThd", 6, 3, 1, 480), ex::kUnknownFormat},
      {"format 0x0100 (big-endian)", header("MThd", 6, 0x0100, 1, 480), ex::kUnknownFormat},
      {"format 65535 before track count 0", header("MThd", 6, 0xFFFF, 0, 480), ex::kUnknownFormat},
      {"format 0, no tracks", header("MThd", 6, 0, 0, 480), ex::kNoTracks},
      {"format 1, no tracks, division 0", header("MThd", 6, 1, 0, 0), ex::kNoTracks},
      {"format 0, 2 tracks", header("MThd", 6, 0, 2, 480), ex::kFormat0Tracks},
      {"format 0, 256 tracks", header("MThd", 6, 0, 0x0100, 480), ex::kFormat0Tracks},
      {"format 0, 2 tracks, division 0", header("MThd", 6, 0, 2, 0), ex::kFormat0Tracks},
      {"division 0", header("MThd", 6, 1, 1, 0), ex::kZeroDivision},
      {"division 0x8000", header("MThd", 6, 1, 1, 0x8000), ex::kSmpte},
      {"25 frames, 40 subframes", header("MThd", 6, 0, 1, 0xE728), ex::kSmpte},
      {"division 0xFFFF", header("MThd", 6, 0, 1, 0xFFFF), ex::kSmpte},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Conversion result = convertBytes(c.file);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, std::string(ex::kDataFault) + c.message);
    EXPECT_EQ(result.mml, "") << "nothing is written before the header is accepted";
    EXPECT_EQ(result.listing, "");
  }
}

TEST(SmfHeader, AcceptedHeadersAreReportedAsRead) {
  struct Case {
    Bytes head;
    std::uint32_t size;
    int format, tracks, division;
  };
  const std::vector<Case> cases = {
      {header("MThd", 6, 0, 1, 480), 6, 0, 1, 480},
      {header("MThd", 6, 1, 1, 96), 6, 1, 1, 96},
      {header("MThd", 0, 1, 1, 1), 0, 1, 1, 1},
      {header("MThd", 0x01020304, 1, 1, 32767), 0x01020304, 1, 1, 32767},
      {header("MThd", 6, 0, 1, 0x0100), 6, 0, 1, 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.division);
    Conversion result = convertBytes(c.head + chunk(kEnd));
    EXPECT_EQ(result.status, 0) << result.error;
    std::string head = ex::headerComment(c.size, c.format, c.tracks, c.division);
    EXPECT_EQ(result.mml.substr(0, head.size()), head);
    std::string bar = std::to_string(4 * c.division);
    EXPECT_EQ(result.listing, "Pointer:0\tLength:" + bar + "\tKey:0\tmi:0\nPointer:-1\tLength:" +
                                  bar + "\tKey:0\tmi:0\n");
  }
}

// No chunk length moves the stream: each track header is read where the
// previous track's end-of-track event left off, the first one at offset 14.
TEST(SmfTrackChunks, FaultsAtTheTrackHeader) {
  struct Case {
    const char* what;
    Bytes file;
    int tracks;
    std::uint32_t size = 6;
  };
  Bytes one = header("MThd", 6, 1, 1, 480);
  Bytes two = header("MThd", 6, 1, 2, 480);
  const std::vector<Case> cases = {
      {"no track chunk at all", one, 1},
      {"track header cut short in its magic", one + Bytes{'M', 'T', 'r'}, 1},
      {"track header cut short in its length", one + Bytes{'M', 'T', 'r', 'k', 0, 0}, 1},
      {"header chunk really holding 8 bytes",
       header("MThd", 8, 1, 1, 480) + Bytes{0, 0} + chunk(kEnd), 1, 8},
      {"three tracks announced, two present", header("MThd", 6, 1, 3, 480) + chunk(kEnd) + chunk(kEnd), 3},
      {"two tracks announced, the second chunk of another type", two + chunk(kEnd) + chunk({1, 2}, "XFIH"), 2},
      {"a byte after the first track's end", two + chunk(kEnd + Bytes{0}) + chunk(kEnd), 2},
      {"second chunk named MTrK", two + chunk(kEnd) + chunk(kEnd, "MTrK"), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Conversion result = convertBytes(c.file);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, std::string(ex::kDataFault) + ex::kNoMTrk);
    // The walk before the conversion meets it, so no track text is written.
    EXPECT_EQ(result.mml, ex::headerComment(c.size, 1, c.tracks, 480));
  }
}

// A chunk of a type the reader does not know (four printable characters) is
// passed over by its length wherever a track chunk is expected; the header's
// track count counts track chunks only.
TEST(SmfTrackChunks, ChunksOfOtherTypesArePassedOver) {
  Track t;
  t.on(0, 1, 60).off(480, 1, 60, 0).end();
  const Bytes track = chunk(t.data());
  const Bytes junk = chunk(Bytes(27, 'x'), "Junk");
  const Bytes two = header("MThd", 6, 1, 2, 480);
  const Conversion plain = convertBytes(two + track + track);
  ASSERT_EQ(plain.status, 0);
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"before the tracks", two + junk + track + track},
      {"between them, two in a row", two + track + junk + chunk({}, "XFIH") + track},
      {"after the last", two + track + track + junk},
      {"of zero length", two + chunk({}, "abcd") + track + track},
  };
  for (const auto& [what, file] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(convertBytes(file), plain);
  }
  Bytes past = two + track;
  for (char c : std::string("Junk")) past.push_back(static_cast<std::uint8_t>(c));
  past.insert(past.end(), {0, 0, 0x10, 0, 'x', 'y'});  // 4096 bytes announced, 2 there
  const Conversion cut = convertBytes(past + track);
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.error, std::string(ex::kDataFault) + ex::kNoMTrk);
}

TEST(SmfTrackChunks, LengthFieldsDoNotPositionTheStream) {
  Track t;
  t.on(0, 1, 60).off(480, 1, 60, 0).end();
  Conversion reference = convertBytes(makeSmf(1, 480, {t}));
  ASSERT_EQ(reference.status, 0) << reference.error;
  std::string realLength = "Size = " + std::to_string(t.data().size()) + "\r\n";

  struct Case {
    const char* what;
    Bytes file;
    std::uint32_t headerSize, trackSize;  // as the comments show them
  };
  const std::vector<Case> cases = {
      {"track length 0", header("MThd", 6, 1, 1, 480) + chunk(t.data(), "MTrk", 0), 6, 0},
      {"track length past the end", header("MThd", 6, 1, 1, 480) + chunk(t.data(), "MTrk", 100000),
       6, 100000},
      {"header length 0", header("MThd", 0, 1, 1, 480) + chunk(t.data()), 0,
       static_cast<std::uint32_t>(t.data().size())},
      {"a byte after the last track's end", header("MThd", 6, 1, 1, 480) + chunk(t.data() + Bytes{0x55}),
       6, static_cast<std::uint32_t>(t.data().size() + 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Conversion result = convertBytes(c.file);
    EXPECT_EQ(result.status, 0) << result.error;
    EXPECT_EQ(result.listing, reference.listing);
    // The same text as for the exact file, but for the two lengths reported.
    std::string want = reference.mml;
    std::string::size_type at = want.find(realLength, want.find("//MTrk"));
    want.replace(at, realLength.size(), "Size = " + std::to_string(c.trackSize) + "\r\n");
    at = want.find("Size = 6\r\n");
    want.replace(at, 10, "Size = " + std::to_string(c.headerSize) + "\r\n");
    EXPECT_EQ(result.mml, want);
  }
}

}  // namespace
}  // namespace vantrel::test
