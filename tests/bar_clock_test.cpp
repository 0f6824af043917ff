// Time in a channel line: lengths with dots or "%", ties, bar lines, counted
// line breaks, rhythm-change comments and pickups.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "mml/bar_clock.h"
#include "mml/length_text.h"
#include "mml/settings.h"
#include "rhythm/rhythm_table.h"
#include "tests/conversion.h"

namespace vantrel::test {
namespace {

constexpr int kRest = -1;

// One stretch of channel 1: a note of `key` (velocity 100) or a rest.
struct Step {
  int key;
  std::uint32_t ticks;
};

// A time signature at an absolute tick; exponent 2 is a quarter note.
struct Signature {
  std::uint32_t tick;
  int numerator;
  int exponent;
};

// A format 0 file whose channel 1 plays `steps` one after the other, with the
// time signatures in the same track. A line that ends in a rest closes with a
// Note Off of a key that is not sounding: it flushes the rest and writes
// nothing of its own.
Bytes line(int division, const std::vector<Step>& steps,
           const std::vector<Signature>& signatures = {}) {
  Track t;
  std::uint32_t now = 0;  // tick of the last event written to the track
  std::size_t nextSignature = 0;
  auto upTo = [&](std::uint32_t tick) {
    while (nextSignature < signatures.size() && signatures[nextSignature].tick <= tick) {
      const Signature& s = signatures[nextSignature++];
      t.timeSignature(s.tick - now, s.numerator, s.exponent);
      now = s.tick;
    }
  };
  std::uint32_t tick = 0;
  for (const Step& step : steps) {
    if (step.key != kRest) {
      upTo(tick);
      t.on(tick - now, 1, step.key);
      now = tick;
      upTo(tick + step.ticks);
      t.off(tick + step.ticks - now, 1, step.key);
      now = tick + step.ticks;
    }
    tick += step.ticks;
  }
  upTo(tick);
  if (now < tick) t.off(tick - now, 1, 127);
  t.end(0);
  return makeSmf(0, division, {t});
}

struct LineCase : NamedCase {
  std::vector<std::string> options;
  int division;
  std::vector<Step> steps;
  std::vector<Signature> signatures;
  std::string expected;  // channel 1's text after its pass header
};

class ChannelLine : public testing::TestWithParam<LineCase> {};

TEST_P(ChannelLine, IsWrittenWithItsBarsAndLines) {
  const LineCase& c = GetParam();
  Conversion result = convertBytes(line(c.division, c.steps, c.signatures), c.options);
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(passText(result.mml, 1), c.expected);
}

std::string repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

const Step c1{60, 1920};

// `count` times `step`, then `after`.
std::vector<Step> repeated(Step step, int count, std::vector<Step> after = {}) {
  std::vector<Step> steps(static_cast<std::size_t>(count), step);
  steps.insert(steps.end(), after.begin(), after.end());
  return steps;
}

// Division 480 and 4/4 unless a case says otherwise.
INSTANTIATE_TEST_SUITE_P(
    WorkedOutputs, ChannelLine,
    testing::Values(
        LineCase{"RestOfTwoBars", {}, 480, {{kRest, 3840}}, {}, "r1\t|\t^1\t|\t"},
        LineCase{"NoteTiedAcrossBars", {}, 480, {{kRest, 960}, {60, 2880}}, {},
                 "r2v100o5c2\t|\t^1\t|\t"},
        LineCase{"NoBarLinesCutsByBarLengthFromTheStart", {"/B-"}, 480, {{kRest, 960}, {60, 2880}},
                 {}, "r2v100o5c1^2"},
        LineCase{"DottedLengths", {}, 480, {{kRest, 720}, {60, 1200}}, {}, "r4.v100o5c3...\t|\t"},
        LineCase{"LineBreakAfterFourBars", {}, 480, {c1, c1, c1, c1, c1}, {},
                 "v100o5c1\t|\tc1\t|\tc1\t|\tc1\t|\t\n\tc1\t|\t"},
        LineCase{"LineBreakAfterEveryBar", {"/C1"}, 480, {c1, c1, c1}, {},
                 "v100o5c1\t|\t\n\tc1\t|\t\n\tc1\t|\t\n\t"},
        LineCase{"LineBreakAfterEveryPiece", {"/C0"}, 480,
                 {{60, 480}, {62, 480}, {64, 960}, {65, 1920}}, {},
                 "v100o5c4\n\td4\n\te2\t|\t\n\tf1\t|\t\n\t"},
        LineCase{"NoCountedLineBreaks", {"/C-1"}, 480, {c1, c1, c1, c1, c1, c1}, {},
                 "v100o5c1\t|\t" + repeat("c1\t|\t", 5)},
        // Division 1: a bar of 4 ticks. Any negative /C means no counted
        // breaks, and a line of 2^30 bars (2^32 ticks) is never complete
        // here, though both products wrap to 0 in 32 bits.
        LineCase{"MostNegativeLineCountBreaksNoLine", {"/C-2147483648"}, 1,
                 {{60, 4}, {60, 4}, {60, 4}}, {}, "v100o5c1\t|\tc1\t|\tc1\t|\t"},
        LineCase{"LineOfTwoToTheThirtyTwoTicks", {"/C1073741824"}, 1,
                 {{60, 4}, {60, 4}, {60, 4}}, {}, "v100o5c1\t|\tc1\t|\tc1\t|\t"},
        LineCase{"RhythmChangeOnABarLine", {}, 480, {c1, {62, 1440}, {64, 1440}}, {{1920, 3, 2}},
                 "v100o5c1\n\t//Rhythm = 3/4\n\td2.\t|\te2.\t|\t"},
        LineCase{"RhythmChangeWithLineBreakAfterEveryPiece", {"/C0"}, 480, {c1, {62, 1440}},
                 {{1920, 3, 2}}, "v100o5c1\n\t//Rhythm = 3/4\n\t\n\td2.\t|\t\n\t"},
        LineCase{"RhythmChangeWithoutBarLines", {"/B-"}, 480, {c1, {62, 1440}}, {{1920, 3, 2}},
                 "v100o5c1\n\t//Rhythm = 3/4\n\td2."},
        LineCase{"RhythmChangeInsideANote", {}, 480, {{60, 960}, {62, 1920}}, {{1920, 3, 2}},
                 "v100o5c2d2\n\t//Rhythm = 3/4\n\t^2"},
        LineCase{"RhythmChangeBarsAhead", {}, 480, {{kRest, 7200}}, {{5760, 3, 2}},
                 "r1\t|\t^%3840\n\t//Rhythm = 3/4\n\t^2.\t|\t"},
        LineCase{"RhythmChangeInsideABar", {}, 480, {{60, 3840}}, {{2920, 3, 2}},
                 "v100o5c1\t|\t^%1000\n\t//Rhythm = 3/4\n\t^%920"},
        LineCase{"Pickup", {"/A480"}, 480, {{60, 480}, {62, 1920}, {64, 1920}}, {},
                 "v100o5c4\n\t//Rhythm = 4/4\n\td1\t|\te1\t|\t"},
        LineCase{"PickupOfAFileInThreeFour", {"/A480"}, 480, {{60, 480}, {62, 1920}}, {{0, 3, 2}},
                 "v100o5c4\n\t//Rhythm = 4/4\n\td1\t|\t"},
        LineCase{"PickupOfAWholeBar", {"/A1920"}, 480, {c1, {62, 1920}}, {},
                 "v100o5c1\n\t//Rhythm = 4/4\n\td1\t|\t"},
        // ん1 | ー1 |
        LineCase{"KanaTies", {"/J"}, 480, {{kRest, 3840}}, {},
                 "\x82\xF1" "1\t|\t\x81\x5B" "1\t|\t"},
        LineCase{"SixEightAtDivision96", {}, 96, {{60, 432}, {62, 144}}, {{0, 6, 3}},
                 "v100o5c2.\t|\t^4.d4.\t|\t"},

        // A piece that would run past the next rhythm change ends on it, so
        // that the change is announced where it falls.
        LineCase{"ChangeOffTheBarLineCutsThePieceToTheBarLine", {}, 480, {{kRest, 2400}},
                 {{960, 3, 2}}, "r2\n\t//Rhythm = 3/4\n\t^2.\t|\t"},
        LineCase{"SecondChangeInsideABarSizedPiece", {}, 480, {{kRest, 3840}},
                 {{1920, 3, 2}, {2400, 2, 2}, {2880, 3, 2}},
                 "r1\n\t//Rhythm = 3/4\n\t^4\n\t//Rhythm = 2/4\n\t^4\n\t//Rhythm = 3/4\n\t^2"},
        LineCase{"SecondChangeInsideABarSizedPieceWithoutBarLines", {"/B-"}, 480,
                 {{kRest, 3840}}, {{960, 3, 2}, {1920, 4, 2}},
                 "r2\n\t//Rhythm = 3/4\n\t^2\n\t//Rhythm = 4/4\n\t^1"},

        // A pickup longer than a bar: no bar line and no counted line break
        // before the pickup ends, and the time is cut where it ends.
        LineCase{"LongPickup", {"/A2400"}, 480, {c1, {62, 480}, {64, 1920}}, {},
                 "v100o5c1d4\n\t//Rhythm = 4/4\n\te1\t|\t"},
        LineCase{"LongPickupOfShortNotes", {"/A2400"}, 480,
                 repeated({60, 240}, 10, {{62, 1920}}), {},
                 "v100o5c8" + repeat("c8", 9) + "\n\t//Rhythm = 4/4\n\td1\t|\t"},
        LineCase{"LongPickupWithLineBreakAfterEveryBar", {"/A2400", "/C1"}, 480,
                 repeated({60, 240}, 10, {{62, 1920}}), {},
                 "v100o5c8" + repeat("c8", 9) + "\n\t//Rhythm = 4/4\n\td1\t|\t\n\t"},
        LineCase{"PickupLongerThanAThreeFourBar", {"/A1920"}, 480,
                 repeated({60, 240}, 8, {{62, 1920}}), {{0, 3, 2}},
                 "v100o5c8" + repeat("c8", 7) + "\n\t//Rhythm = 4/4\n\td1\t|\t"},
        LineCase{"NoteAcrossTheEndOfALongPickup", {"/A2400"}, 480, {{60, 2880}}, {},
                 "v100o5c%2400\n\t//Rhythm = 4/4\n\t^4"}),
    CaseName());

// The text of one length.
struct LengthCase {
  int division;
  std::uint64_t ticks;
  const char* written;
};

void PrintTo(const LengthCase& c, std::ostream* out) { *out << c.ticks; }

class Length : public testing::TestWithParam<LengthCase> {};

TEST_P(Length, TakesTheFewestDotsOrTicks) {
  const LengthCase& c = GetParam();
  EXPECT_EQ(lengthText(c.ticks, static_cast<std::uint16_t>(c.division)).view(), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Length,
    testing::Values(LengthCase{480, 1920, "1"}, LengthCase{480, 1440, "2."},
                    LengthCase{480, 1680, "2.."}, LengthCase{480, 960, "2"},
                    LengthCase{480, 720, "4."}, LengthCase{480, 840, "4.."},
                    LengthCase{480, 600, "6..."}, LengthCase{480, 480, "4"},
                    LengthCase{480, 320, "6"}, LengthCase{480, 160, "12"},
                    LengthCase{480, 90, "32."}, LengthCase{480, 1, "1920"},
                    LengthCase{480, 255, "15......."}, LengthCase{480, 100, "%100"},
                    LengthCase{480, 1000, "%1000"}, LengthCase{480, 3840, "%3840"},
                    LengthCase{96, 288, "2."},
                    // Thirteen dots, and pieces where 32-bit products would overflow.
                    LengthCase{16384, 131064, "1............."},
                    LengthCase{16384, 262144, "%262144"},
                    LengthCase{32767, 33422340, "%33422340"},
                    LengthCase{480, 18446744073709551615ull, "%18446744073709551615"}));

// The clock on its own: time written up to a rhythm change and across it, a
// sub-block's length that does not move the clock, and the clock of the
// next pass, which starts again from the first bar.
TEST(BarClock, WritesPendingTimeAndEachPassStartsAgain) {
  const TimeSignatureEvent threeFour[] = {{1920, 3, 2}};
  const RhythmTable rhythm(threeFour, {}, 480, 0);
  const Settings settings;
  LengthCache lengths(480);
  StringSink sink;
  {
    TextWriter output(sink);
    BarClock clock(rhythm, settings, "^", lengths, output);
    clock.advanceTo(960);
    EXPECT_EQ(clock.pendingTicks(), 960u);
    clock.writePendingTicks();
    EXPECT_EQ(clock.pendingTicks(), 0u);
    clock.writeLength(480);
    clock.advanceTo(960);
    EXPECT_EQ(clock.pendingTicks(), 0u) << "a sub-block's length is not time of the line";
    clock.advanceTo(1920 + 1440);
    clock.writePendingTicks();
    output.write("|");
    BarClock next(rhythm, settings, "^", lengths, output);
    next.advanceTo(1920);
    next.writePendingTicks();
    output.flush();
  }
  EXPECT_EQ(unixLines(sink.text),
            "2" "4" "2\n\t//Rhythm = 3/4\n\t^2.\t|\t" "|" "1\n\t//Rhythm = 3/4\n\t");
}

// Time beyond 2^32 ticks between two events of a channel: seventeen events of
// another channel, each 0x0FFFFFFF ticks after the one before.
constexpr std::uint32_t kLongestDelta = 0x0FFFFFFF;
constexpr std::uint64_t kLongTime = 17ull * kLongestDelta;  // 4563402735

// At division 32767 a 255/1 bar is 33422340 ticks, so the long time takes a
// few hundred pieces rather than millions.
constexpr std::uint64_t kHugeBar = 32767ull * 4 * 255;

Track& longGap(Track& t) {
  for (int i = 0; i < 17; ++i) t.cc(kLongestDelta, 2, 7, 100);
  return t;
}

// `head` and then kLongTime ticks from the start of the pass, in whole bars
// with a line break after every fourth, and the remainder.
std::string longTimeText(const std::string& head) {
  std::string text = head;
  std::uint64_t left = kLongTime;
  for (int bar = 1; left >= kHugeBar; ++bar, left -= kHugeBar) {
    if (bar > 1) text += '^';
    text += "%33422340\t|\t";
    if (bar % 4 == 0) text += "\n\t";
  }
  text += "^%";
  text += std::to_string(left);
  return text;
}

TEST(LongTime, MainLineNoteIsWrittenToTheLastTick) {
  Track t;
  t.timeSignature(0, 255, 0).on(0, 1, 60);
  longGap(t).off(0, 1, 60).end(0);
  Conversion result = convertBytes(makeSmf(0, 32767, {t}));
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(passText(result.mml, 1), longTimeText("v100o5c"));
}

TEST(LongTime, SubBlockHoldsTheWholeDuration) {
  Track t;
  t.timeSignature(0, 255, 0).on(0, 1, 60);
  longGap(t).cc(0, 1, 7, 100).off(0, 1, 60).end(0);
  Conversion result = convertBytes(makeSmf(0, 32767, {t}));
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(passText(result.mml, 1),
            " Sub{v100o5c%" + std::to_string(kLongTime) + "}" + longTimeText("r") + "V(100); ");
}

}  // namespace
}  // namespace vantrel::test
