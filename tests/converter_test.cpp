// The layout of the whole MML file: file header, track blocks, pass sections
// and their headers in both formats, empty passes, and faults that stop the
// conversion part way.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/conversion.h"
#include "tests/expected_texts.h"

namespace vantrel::test {
namespace {

std::string fileHeader(int format, int tracks, int division) {
  return unixLines(expected::headerComment(6, format, tracks, division));
}

std::string blockHead(int size, int index) {
  return "//--------------------------------------\n"
         "//MTrk Infomation :\n"
         "//\tSize = " + std::to_string(size) + "\n\n"
         "TR(" + std::to_string(index) + ");\n";
}

const std::string kTime = "\nTime(1:1:0);\n\t";

TEST(Layout, FormatOneFileWithAConductorTrack) {
  Track conductor, music;
  conductor.tempo(0, 500000).end(0);
  music.on(0, 3, 60).off(480, 3, 60).end(0);
  Conversion result = convertBytes(makeSmf(1, 480, {conductor, music}));
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(result.mml.find('\n'), result.mml.find("\r\n") + 1) << "line ends are CR LF";
  // The file's track number stands only in the block head; the channel
  // sections name just their channel.
  EXPECT_EQ(unixLines(result.mml),
            fileHeader(1, 2, 480) +
                blockHead(11, 0) + kTime + "Tempo(120);\n\t" + "\n\n" +
                blockHead(13, 1) + kTime + kTime + "CH(3);\tq100 h-1\n\tv100o5c4" + "\n\n");
}

TEST(Layout, FormatZeroNamesEachChannelAsATrack) {
  Track t;
  t.on(0, 3, 60).off(480, 3, 60).on(0, 16, 62).off(480, 16, 62).end(0);
  Conversion result = convertBytes(makeSmf(0, 480, {t}));
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(unixLines(result.mml),
            fileHeader(0, 1, 480) + blockHead(22, 0) + kTime +
                kTime + "TR(3);\tCH(3);\tq100 h-1\n\tv100o5c4" +
                kTime + "TR(16);\tCH(16);\tq100 h-1\n\tr4v100o5d4" + "\n\n");
}

TEST(Layout, PassHeadersInKana) {
  // 時間（１：１：０）;  トラック(3);  チャンネル(3);  ゲート100
  const std::string time =
      "\n\x8E\x9E\x8A\xD4\x81\x69\x82\x50\x81\x46\x82\x50\x81\x46\x82\x4F\x81\x6A;\n\t";
  const std::string channel3 =
      "\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B(3);\t\x83\x51\x81\x5B\x83\x67" "100\th-1\n\t";
  Track t;
  t.cc(0, 3, 7, 1).end(0);
  Conversion format0 = convertBytes(makeSmf(0, 480, {t}), {"/J"});
  EXPECT_NE(unixLines(format0.mml).find(time + "\x83\x67\x83\x89\x83\x62\x83\x4E(3);\t" +
                                        channel3 + "V(1); "),
            std::string::npos)
      << format0.mml;
  Conversion format1 = convertBytes(makeSmf(1, 480, {t}), {"/J"});
  EXPECT_NE(unixLines(format1.mml).find(time + channel3 + "V(1); "), std::string::npos)
      << format1.mml;
}

// Which sections a track writes, and what each holds.
struct PassCase : NamedCase {
  std::vector<std::string> options;
  Track track;
  std::string block;  // the track block after its "TR(0);" line
};

class Passes : public testing::TestWithParam<PassCase> {};

TEST_P(Passes, WriteOnlyWhatTheyHold) {
  const PassCase& c = GetParam();
  Conversion result = convertBytes(makeSmf(1, 480, {c.track}), c.options);
  ASSERT_EQ(result.status, 0) << result.error;
  std::string text = unixLines(result.mml);
  EXPECT_EQ(text.substr(text.find("TR(0);\n") + 7), c.block);
}

INSTANTIATE_TEST_SUITE_P(
    Sections, Passes,
    testing::Values(
        PassCase{"OnlyTheEndOfTrack", {}, Track().end(0), kTime + "\n\n"},
        PassCase{"OnlyTheEndOfTrackWithMetaEventsLeftOut", {"/Mm"}, Track().end(0), "\n\n"},
        PassCase{"MetaEventsLeftOut", {"/Mm"},
                 Track().tempo(0, 500000).cc(0, 2, 7, 1).end(0),
                 kTime + "CH(2);\tq100 h-1\n\tV(1); " + "\n\n"},
        PassCase{"OnlyMetaEvents", {}, Track().tempo(0, 500000).text(960, 0x06, "B").end(0),
                 kTime + "Tempo(120);\n\tr2Marker={\"B\"}; " + "\n\n"},
        PassCase{"SectionsInChannelOrder", {},
                 Track().cc(0, 9, 7, 9).cc(0, 2, 7, 2).cc(0, 16, 7, 16).end(0),
                 kTime + kTime + "CH(2);\tq100 h-1\n\tV(2); " + kTime +
                     "CH(9);\tq100 h-1\n\tV(9); " + kTime + "CH(16);\tq100 h-1\n\tV(16); " +
                     "\n\n"},
        PassCase{"FirstEventLate", {}, Track().on(960, 1, 60).off(480, 1, 60).end(0),
                 kTime + kTime + "CH(1);\tq100 h-1\n\tr2v100o5c4" + "\n\n"},
        // Events of other channels only add their time.
        PassCase{"OtherChannelsDoNotSplitANote", {},
                 Track().on(0, 1, 60).on(240, 2, 64).off(240, 2, 64).off(480, 1, 60).end(0),
                 kTime + kTime + "CH(1);\tq100 h-1\n\tv100o5c2" + kTime +
                     "CH(2);\tq100 h-1\n\tr8v100o5e8" + "\n\n"},
        // A channel whose only events are left out writes no section.
        PassCase{"ChannelWithEventsLeftOut", {"/Mc"},
                 Track().cc(0, 1, 7, 1).on(0, 2, 60).off(480, 2, 60).end(0),
                 kTime + kTime + "CH(2);\tq100 h-1\n\tv100o5c4" + "\n\n"}),
    CaseName());

TEST(Layout, RhythmOfOneTrackGovernsTheOthers) {
  Track conductor, music;
  conductor.timeSignature(0, 3, 2).end(0);
  for (int bar = 0; bar < 2; ++bar) {
    music.on(0, 1, 60).off(480, 1, 60).on(0, 1, 62).off(480, 1, 62).on(0, 1, 64).off(480, 1, 64);
  }
  music.end(0);
  Conversion result = convertBytes(makeSmf(1, 480, {conductor, music}));
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_NE(unixLines(result.mml).find("CH(1);\tq100 h-1\n\tv100o5c4d4e4\t|\tc4d4e4\t|\t\n\n"),
            std::string::npos)
      << result.mml;
}

TEST(Layout, TrackLengthIsPrintedAsRead) {
  Track t;
  t.end(0);
  Bytes smf = makeSmf(0, 480, {t});
  smf[14 + 4 + 2] = 0x03;  // the length field now says 0x304
  Conversion result = convertBytes(smf);
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_NE(result.mml.find("//\tSize = 772\r\n"), std::string::npos) << result.mml;
}

// A fault stops the conversion; every byte written before it stays.
TEST(Faults, UndefinedSystemStatusAfterEarlierText) {
  for (int status : {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF8, 0xFA, 0xFE}) {
    Track t;
    t.tempo(0, 500000).raw(480, {status}).end(0);
    Conversion result = convertBytes(makeSmf(0, 480, {t}));
    EXPECT_EQ(result.status, 1) << status;
    EXPECT_EQ(result.error,
              expected::dataFault(expected::faults::kInvalidMidiEvent));
    const std::string tail = "TR(0);\r\n\r\nTime(1:1:0);\r\n\tTempo(120);\r\n\tr4";
    ASSERT_GE(result.mml.size(), tail.size());
    EXPECT_EQ(result.mml.substr(result.mml.size() - tail.size()), tail) << status;
  }
}

TEST(Faults, FaultInALaterTrackKeepsTheEarlierTracks) {
  Track first, second;
  first.on(0, 1, 60).off(480, 1, 60).end(0);
  second.text(0, 0x03, "Two").meta(0, 0x09, {}).end(0);
  Conversion result = convertBytes(makeSmf(1, 480, {first, second}));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.error, expected::dataFault(expected::faults::kBadMetaEvent));
  EXPECT_EQ(unixLines(result.mml),
            fileHeader(1, 2, 480) + blockHead(13, 0) + kTime + kTime +
                "CH(1);\tq100 h-1\n\tv100o5c4" + "\n\n" + blockHead(15, 1) + kTime +
                "TrackName={\"Two\"};\n\t");
}

}  // namespace
}  // namespace vantrel::test
