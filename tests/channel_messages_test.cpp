// Channel messages other than notes: their commands, the named controllers,
// and the bank-select, RPN and NRPN idioms with their broken forms.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/conversion.h"

namespace vantrel::test {
namespace {

struct MessageCase : NamedCase {
  std::vector<std::string> options;
  Track track;           // one track of a format 0 file at division 480
  int channel;           // the pass to look at
  std::string expected;  // its text after the pass header
};

class ChannelMessage : public testing::TestWithParam<MessageCase> {};

TEST_P(ChannelMessage, IsWrittenAsExpected) {
  const MessageCase& c = GetParam();
  Conversion result = convertBytes(makeSmf(0, 480, {c.track}), c.options);
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(passText(result.mml, c.channel), c.expected);
}

// A track of one event at tick 0.
Track only(Track t) { return t.end(0); }

#define K_PROGRAM "\x89\xB9\x90\x46"  // 音色
#define K_REST "\x82\xF1"             // ん

INSTANTIATE_TEST_SUITE_P(
    Messages, ChannelMessage,
    testing::Values(
        MessageCase{"KeyPressure", {}, only(Track().raw(0, {0xA0, 60, 100})), 1,
                    "DirectSMF($A0+Channel-1,60,100); "},
        MessageCase{"KeyPressureInKana", {"/J"}, only(Track().raw(0, {0xA0, 60, 100})), 1,
                    "DirectSMF($A0+Channel-1,60,100); "},
        MessageCase{"ChannelPressure", {}, only(Track().raw(0, {0xD0, 64})), 1,
                    "DirectSMF($D0+Channel-1,64); "},
        MessageCase{"ChannelPressureOnChannel16", {}, only(Track().raw(0, {0xDF, 64})), 16,
                    "DirectSMF($D0+Channel-1,64); "},
        MessageCase{"ProgramChange", {}, only(Track().program(0, 1, 0)), 1, "Voice(1); "},
        MessageCase{"ProgramChangeInKana", {"/J"}, only(Track().program(0, 1, 0)), 1,
                    K_PROGRAM "(1); "},
        MessageCase{"HighestProgram", {}, only(Track().program(0, 1, 127)), 1, "Voice(128); "},
        MessageCase{"PitchBendCentre", {}, only(Track().bend(0, 1, 0, 64)), 1, "PitchBend(0); "},
        MessageCase{"PitchBendLowest", {}, only(Track().bend(0, 1, 0, 0)), 1,
                    "PitchBend(-8192); "},
        MessageCase{"PitchBendHighest", {}, only(Track().bend(0, 1, 127, 127)), 1,
                    "PitchBend(8191); "},
        MessageCase{"PitchBendBothBytes", {}, only(Track().bend(0, 1, 5, 72)), 1,
                    "PitchBend(1029); "},
        MessageCase{"RunningStatus", {},
                    only(Track().raw(0, {0xE0, 0, 72}).raw(240, {0, 64}).raw(240, {0, 0})), 1,
                    "PitchBend(1024); r8PitchBend(0); r8PitchBend(-8192); "}),
    CaseName());

// Controllers with a command of their own, and the generic form for the rest.
struct ControllerCase {
  int controller;
  const char* written;  // for the value 64
};

void PrintTo(const ControllerCase& c, std::ostream* out) { *out << c.controller; }

class Controller : public testing::TestWithParam<ControllerCase> {};

TEST_P(Controller, IsWrittenInBothDialects) {
  const ControllerCase& c = GetParam();
  for (const char* dialect : {"/B+", "/J"}) {
    Conversion result = convertBytes(makeSmf(0, 480, {only(Track().cc(0, 1, c.controller, 64))}),
                                {dialect});
    ASSERT_EQ(result.status, 0) << result.error;
    EXPECT_EQ(passText(result.mml, 1), c.written) << dialect;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Controllers, Controller,
    testing::Values(ControllerCase{1, "M(64); "}, ControllerCase{5, "PT(64); "},
                    ControllerCase{6, "DataMSB(64); "}, ControllerCase{7, "V(64); "},
                    ControllerCase{10, "P(64); "}, ControllerCase{11, "EP(64); "},
                    ControllerCase{65, "PS(64); "}, ControllerCase{91, "Reverb(64); "},
                    ControllerCase{93, "Chorus(64); "}, ControllerCase{94, "VAR(64); "},
                    // Data entry LSB: a command of controller 6 would send the
                    // wrong controller, so it takes the generic form.
                    ControllerCase{38, "y38,64; "},
                    // The idioms' triggers and parts, alone.
                    ControllerCase{0, "y0,64; "}, ControllerCase{32, "y32,64; "},
                    ControllerCase{98, "y98,64; "}, ControllerCase{99, "y99,64; "},
                    ControllerCase{100, "y100,64; "}, ControllerCase{101, "y101,64; "},
                    ControllerCase{64, "y64,64; "}, ControllerCase{127, "y127,64; "}));

// Three control and program messages at one tick on one channel.
Track rpn(int controller, int msb, int lsbController, int lsb, int value) {
  return Track().cc(0, 1, controller, msb).cc(0, 1, lsbController, lsb).cc(0, 1, 6, value).end(0);
}

Track bankSelect(std::uint32_t programDelta = 0) {
  return Track().cc(0, 1, 0, 1).cc(0, 1, 32, 2).program(programDelta, 1, 5).end(0);
}

INSTANTIATE_TEST_SUITE_P(
    Idioms, ChannelMessage,
    testing::Values(
        MessageCase{"BankSelect", {}, bankSelect(), 1, "Voice(6,1,2); "},
        MessageCase{"BankSelectInKana", {"/J"}, bankSelect(), 1, "Voice(6,1,2); "},
        MessageCase{"PitchBendSensitivity", {}, rpn(101, 0, 100, 0, 12), 1, "BR(12); "},
        MessageCase{"FineTune", {}, rpn(101, 0, 100, 1, 64), 1, "FineTune(64); "},
        MessageCase{"CoarseTune", {}, rpn(101, 0, 100, 2, 66), 1, "CoarseTune(66); "},
        MessageCase{"OtherRpn", {}, rpn(101, 0, 100, 5, 3), 1, "RPN(0,5,3); "},
        MessageCase{"RpnWithMsbOnly", {}, rpn(101, 1, 100, 0, 3), 1, "RPN(1,0,3); "},
        MessageCase{"NullRpn", {}, rpn(101, 127, 100, 127, 9), 1, "RPN(127,127,9); "},
        MessageCase{"Nrpn", {}, rpn(99, 1, 98, 2, 3), 1, "NRPN(1,2,3); "},
        MessageCase{"NrpnOfParameterZero", {}, rpn(99, 0, 98, 0, 7), 1, "NRPN(0,0,7); "},
        MessageCase{"IdiomInRunningStatus", {},
                    Track().raw(0, {0xB0, 101, 0}).raw(0, {100, 0}).raw(0, {6, 12})
                        .raw(480, {7, 100}).end(0),
                    1, "BR(12); r4V(100); "},
        MessageCase{"IdiomAfterANote", {},
                    Track().on(0, 1, 60).off(480, 1, 60).cc(0, 1, 101, 0).cc(0, 1, 100, 0)
                        .cc(0, 1, 6, 2).on(0, 1, 62).off(480, 1, 62).end(0),
                    1, "v100o5c4BR(2); d4"}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    BrokenIdioms, ChannelMessage,
    testing::Values(
        MessageCase{"ProgramChangeLater", {}, bankSelect(480), 1, "y0,1; y32,2; r4Voice(6); "},
        MessageCase{"ProgramChangeLaterInKana", {"/J"}, bankSelect(480), 1,
                    "y0,1; y32,2; " K_REST "4" K_PROGRAM "(6); "},
        MessageCase{"NoBankLsb", {}, Track().cc(0, 1, 0, 1).program(0, 1, 5).end(0), 1,
                    "y0,1; Voice(6); "},
        MessageCase{"ProgramChangesLeftOut", {"/Mp"}, bankSelect(), 1, "y0,1; y32,2; "},
        MessageCase{"BankLsbOnAnotherChannel", {},
                    Track().cc(0, 1, 0, 1).cc(0, 2, 32, 2).program(0, 1, 5).end(0), 1,
                    "y0,1; Voice(6); "},
        MessageCase{"BankLsbOnAnotherChannelIsWrittenThere", {},
                    Track().cc(0, 1, 0, 1).cc(0, 2, 32, 2).program(0, 1, 5).end(0), 2,
                    "y32,2; "},
        MessageCase{"ProgramChangeOnAnotherChannel", {},
                    Track().cc(0, 1, 0, 1).cc(0, 1, 32, 2).program(0, 2, 5).end(0), 1,
                    "y0,1; y32,2; "},
        MessageCase{"ReversedNrpnOrder", {}, rpn(98, 2, 99, 1, 3), 1,
                    "y98,2; y99,1; DataMSB(3); "},
        MessageCase{"RpnWithDataEntryLsb", {},
                    Track().cc(0, 1, 101, 0).cc(0, 1, 100, 0).cc(0, 1, 38, 12).end(0), 1,
                    "y101,0; y100,0; y38,12; "},
        MessageCase{"RpnNumberMixedWithNrpn", {}, rpn(99, 1, 100, 2, 3), 1,
                    "y99,1; y100,2; DataMSB(3); "},
        MessageCase{"DataEntryLater", {},
                    Track().cc(0, 1, 101, 0).cc(0, 1, 100, 0).cc(480, 1, 6, 12).end(0), 1,
                    "y101,0; y100,0; r4DataMSB(12); "},
        // The look-ahead steps over the text's bytes; the pass reads them again.
        MessageCase{"MetaEventInsideTheIdiom", {},
                    Track().cc(0, 1, 101, 0).text(0, 0x01, "x").cc(0, 1, 100, 0)
                        .cc(0, 1, 6, 12).end(0),
                    1, "y101,0; y100,0; DataMSB(12); "},
        MessageCase{"EndOfTrackInsideTheIdiom", {},
                    Track().cc(0, 1, 101, 0).cc(0, 1, 100, 0).end(0), 1, "y101,0; y100,0; "},
        MessageCase{"EndOfTrackRightAfterTheTrigger", {}, Track().cc(0, 1, 99, 0).end(0), 1,
                    "y99,0; "},
        // After a look-ahead that did not match, the next event is read with
        // the running status it has in the file.
        MessageCase{"RunningStatusAfterAFailedLookAhead", {},
                    Track().raw(0, {0xB0, 0, 1}).raw(0, {32, 2}).raw(480, {0xC0, 5}).end(0), 1,
                    "y0,1; y32,2; r4Voice(6); "}),
    CaseName());

TEST(ChannelMessages, IdiomCutByTheEndOfTrackLeavesTheFileWhole) {
  Track first, second;
  first.cc(0, 1, 101, 0).cc(0, 1, 100, 0).end(0);
  second.cc(0, 1, 7, 1).end(0);
  Conversion result = convertBytes(makeSmf(1, 480, {first, second}));
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(unixLines(result.mml).substr(unixLines(result.mml).find("TR(0);")),
            "TR(0);\n"
            "\nTime(1:1:0);\n\t"
            "\nTime(1:1:0);\n\tCH(1);\tq100 h-1\n\ty101,0; y100,0; \n\n"
            "//--------------------------------------\n//MTrk Infomation :\n//\tSize = 8\n\n"
            "TR(1);\n"
            "\nTime(1:1:0);\n\t"
            "\nTime(1:1:0);\n\tCH(1);\tq100 h-1\n\tV(1); \n\n");
}

}  // namespace
}  // namespace vantrel::test
