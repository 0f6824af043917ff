// The rhythm table as its listing shows it: time signatures of all tracks
// merged and sorted, the seeds for the start and the pickup, the sentinel, and
// the key signature in effect at each entry; built on its own, and from the
// signatures of whole files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rhythm/rhythm_table.h"
#include "tests/expected_texts.h"
#include "tests/conversion.h"

namespace vantrel::test {
namespace {

namespace ex = expected;

std::string line(std::int64_t tick, std::uint32_t length, int key = 0, int mi = 0) {
  return "Pointer:" + std::to_string(tick) + "\tLength:" + std::to_string(length) +
         "\tKey:" + std::to_string(key) + "\tmi:" + std::to_string(mi) + "\n";
}

// A track with one time signature of `numerator`/2^`exponent` at `tick`.
Track signatureAt(std::uint32_t tick, int numerator, int exponent) {
  Track t;
  t.timeSignature(tick, numerator, exponent).end();
  return t;
}

struct ListingCase {
  const char* what;
  int division;
  std::vector<Track> tracks;
  std::vector<std::string> options;
  std::vector<std::string> lines;
  int status = 0;  // of the conversion that follows the listing
};

void expectListings(const std::vector<ListingCase>& cases) {
  for (const ListingCase& c : cases) {
    SCOPED_TRACE(c.what);
    Conversion result = convertBytes(makeSmf(1, c.division, c.tracks), c.options);
    EXPECT_EQ(result.status, c.status) << result.error;
    std::string want;
    for (const std::string& l : c.lines) want += l;
    EXPECT_EQ(result.listing, want);
  }
}

// The table on its own, built in its order: 4/4 at tick 0, the pickup's 4/4,
// then each signature as met, a later one at a tick replacing an earlier;
// one that gives no usable bar changes nothing. Each entry gets the key in
// effect at its tick: the last met of the greatest tick not after it; the
// sentinel gets the file's last.
TEST(RhythmTable, BuiltInItsOrder) {
  struct Case {
    const char* what;
    std::vector<TimeSignatureEvent> signatures;
    std::vector<KeySignatureEvent> keys;
    std::uint16_t division;
    std::int32_t pickup;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"nothing", {}, {}, 480, 0, {line(0, 1920), line(-1, 1920)}},
      {"nothing, division 96", {}, {}, 96, 0, {line(0, 384), line(-1, 384)}},
      {"a pickup", {}, {}, 480, 480, {line(0, 1920), line(480, 1920), line(-1, 1920)}},
      {"3/4 at 0 replaces the first 4/4", {{0, 3, 2}}, {}, 480, 0, {line(0, 1440), line(-1, 1920)}},
      {"3/4 at 0 with a pickup: the pickup's stays 4/4", {{0, 3, 2}}, {}, 480, 480,
       {line(0, 1440), line(480, 1920), line(-1, 1920)}},
      {"3/4 at the pickup's tick replaces its 4/4", {{480, 3, 2}}, {}, 480, 480,
       {line(0, 1920), line(480, 1440), line(-1, 1920)}},
      {"the later at one tick wins, whatever the ticks between",
       {{1920, 3, 2}, {960, 2, 2}, {1920, 5, 3}}, {}, 480, 0,
       {line(0, 1920), line(960, 960), line(1920, 1200), line(-1, 1920)}},
      // Bar lengths.
      {"6/8 at division 96", {{0, 6, 3}}, {}, 96, 0, {line(0, 288), line(-1, 384)}},
      {"1/128 at division 100 truncates", {{0, 1, 7}}, {}, 100, 0, {line(0, 3), line(-1, 400)}},
      {"7/8", {{0, 7, 3}}, {}, 480, 0, {line(0, 1680), line(-1, 1920)}},
      {"5/16", {{0, 5, 4}}, {}, 480, 0, {line(0, 600), line(-1, 1920)}},
      {"1/1", {{0, 1, 0}}, {}, 480, 0, {line(0, 1920), line(-1, 1920)}},
      {"255/1 at division 32767", {{0, 255, 0}}, {}, 32767, 0,
       {line(0, 33422340), line(-1, 131068)}},
      // Signatures that give no usable bar.
      {"numerator 0 at 0", {{0, 0, 2}}, {}, 480, 0, {line(0, 1920), line(-1, 1920)}},
      {"numerator 0 over an entry, exponent 8 and 255",
       {{1920, 3, 2}, {1920, 0, 2}, {960, 4, 8}, {960, 3, 255}}, {}, 480, 0,
       {line(0, 1920), line(1920, 1440), line(-1, 1920)}},
      {"1/8 at division 1 is 0 ticks long", {{0, 1, 3}}, {}, 1, 0, {line(0, 4), line(-1, 4)}},
      // Keys.
      {"no key", {{1920, 3, 2}}, {}, 480, 0, {line(0, 1920), line(1920, 1440), line(-1, 1920)}},
      {"a key at 0", {}, {{0, -3, 1}}, 480, 0, {line(0, 1920, -3, 1), line(-1, 1920, -3, 1)}},
      {"a key between two entries", {{1920, 3, 2}}, {{960, 2, 0}}, 480, 0,
       {line(0, 1920), line(1920, 1440, 2, 0), line(-1, 1920, 2, 0)}},
      {"a key after an entry is not in effect at it", {{960, 3, 2}}, {{1440, 2, 0}}, 480, 0,
       {line(0, 1920), line(960, 1440), line(-1, 1920, 2, 0)}},
      {"a key at the entry's own tick", {{1920, 3, 2}}, {{1920, 5, 1}}, 480, 0,
       {line(0, 1920), line(1920, 1440, 5, 1), line(-1, 1920, 5, 1)}},
      {"a later tick beats a later key", {{1920, 2, 3}}, {{1920, 1, 0}, {960, 5, 1}}, 480, 0,
       {line(0, 1920), line(1920, 480, 1, 0), line(-1, 1920, 1, 0)}},
      {"at one tick the later key wins", {{1920, 2, 3}}, {{1920, 1, 0}, {1920, -2, 1}}, 480, 0,
       {line(0, 1920), line(1920, 480, -2, 1), line(-1, 1920, -2, 1)}},
      {"key -128, mode 255", {}, {{0, -128, 255}}, 480, 0,
       {line(0, 1920, -128, 255), line(-1, 1920, -128, 255)}},
      {"the pickup's entry", {}, {{240, 1, 1}, {480, 6, 0}}, 480, 480,
       {line(0, 1920), line(480, 1920, 6, 0), line(-1, 1920, 6, 0)}},
      {"keys met in any order", {{960, 3, 2}, {1920, 2, 2}},
       {{1920, 5, 1}, {960, -1, 0}, {0, 2, 0}, {960, -2, 1}}, 480, 0,
       {line(0, 1920, 2, 0), line(960, 1440, -2, 1), line(1920, 960, 5, 1), line(-1, 1920, 5, 1)}},
      {"a key after every entry reaches the sentinel only", {}, {{0, 2, 0}, {7680, 5, 1}}, 480, 0,
       {line(0, 1920, 2, 0), line(-1, 1920, 5, 1)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string want;
    for (const std::string& l : c.lines) want += l;
    EXPECT_EQ(RhythmTable(c.signatures, c.keys, c.division, c.pickup).listing(), want);
  }
}

// The signatures of whole files: met in every track in file order, as the
// filter leaves them.
TEST(RhythmListing, SignaturesOfAllTracks) {
  Track twoAtOneTick;  // the later event at one tick wins
  twoAtOneTick.timeSignature(1920, 3, 2).timeSignature(0, 2, 2).end();
  expectListings({
      {"tracks at unrelated ticks come out sorted", 480,
       {signatureAt(3840, 3, 2), signatureAt(1920, 6, 3), signatureAt(960, 5, 4)}, {},
       {line(0, 1920), line(960, 600), line(1920, 1440), line(3840, 1440), line(-1, 1920)}},
      {"two tracks at one tick: the later track wins", 480,
       {signatureAt(1920, 3, 2), signatureAt(1920, 7, 3)}, {},
       {line(0, 1920), line(1920, 1680), line(-1, 1920)}},
      {"the same two tracks the other way round", 480,
       {signatureAt(1920, 7, 3), signatureAt(1920, 3, 2)}, {},
       {line(0, 1920), line(1920, 1440), line(-1, 1920)}},
      {"two at one tick in one track: the later event wins", 480, {twoAtOneTick}, {},
       {line(0, 1920), line(1920, 960), line(-1, 1920)}},
      {"/Mm leaves only the seeds", 480, {signatureAt(0, 3, 2), signatureAt(960, 6, 3)}, {"/Mm"},
       {line(0, 1920), line(-1, 1920)}},
      {"/MA with /A leaves only the seeds", 480, {signatureAt(0, 3, 2)}, {"/MA", "/A240"},
       {line(0, 1920), line(240, 1920), line(-1, 1920)}},
      {"/Mx keeps time signatures", 480, {signatureAt(0, 3, 2)}, {"/Mx"},
       {line(0, 1440), line(-1, 1920)}},
  });
}

// Short and long data: the first two bytes count, shorter events are passed
// over, and the walk goes on right after the event's data. (The conversion
// that follows the listing then rejects these lengths, status 1.)
TEST(RhythmListing, SignatureDataLengths) {
  Track twoBytes, oneByte, sixBytes, keyLengths;
  twoBytes.meta(0, 0x58, {3, 2}).end();
  oneByte.meta(0, 0x58, {3}).end();
  sixBytes.meta(0, 0x58, {3, 2, 24, 8, 0x58, 0x2F}).timeSignature(1920, 6, 3).end();
  keyLengths.meta(0, 0x59, {4, 1, 9}).meta(960, 0x59, {7}).timeSignature(960, 2, 2).end();
  expectListings({
      {"two data bytes", 480, {twoBytes}, {}, {line(0, 1440), line(-1, 1920)}, 1},
      {"one data byte", 480, {oneByte}, {}, {line(0, 1920), line(-1, 1920)}, 1},
      {"six data bytes, then another signature", 480, {sixBytes}, {},
       {line(0, 1440), line(1920, 1440), line(-1, 1920)}, 1},
      {"key signatures of three and one byte", 480, {keyLengths}, {},
       {line(0, 1920, 4, 1), line(1920, 960, 4, 1), line(-1, 1920, 4, 1)}, 1},
  });
}

TEST(RhythmListing, MoreThan255Entries) {
  // 300 changes at every half note, alternating 3/4 and 2/4, split over two
  // tracks so that the sort has to interleave them.
  Track odd, even;
  for (int i = 1; i <= 300; i += 2) odd.timeSignature(i == 1 ? 960 : 1920, 3, 2);
  for (int i = 2; i <= 300; i += 2) even.timeSignature(1920, 2, 2);
  odd.end();
  even.end();
  Conversion result = convertBytes(makeSmf(1, 480, {even, odd}));
  EXPECT_EQ(result.status, 0) << result.error;
  std::string want = line(0, 1920);
  for (int i = 1; i <= 300; ++i) want += line(960 * i, i % 2 ? 1440 : 960);
  want += line(-1, 1920);
  EXPECT_EQ(result.listing, want);
}

// The walk before the conversion passes over an undefined status; the
// conversion rejects it afterwards, once the listing is out.
TEST(RhythmListing, UndefinedStatusIsPassedOverBeforeTheConversion) {
  Track t;
  t.raw(0, {0xF9}).timeSignature(1920, 3, 2).end();
  Conversion result = convertBytes(makeSmf(1, 480, {t}));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.error, std::string(ex::kDataFault) + ex::kInvalidEvent);
  EXPECT_EQ(result.listing, line(0, 1920) + line(1920, 1440) + line(-1, 1920));
}

}  // namespace
}  // namespace vantrel::test
