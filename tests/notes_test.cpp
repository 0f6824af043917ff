// Notes in a channel line: heads with velocity and octave, black keys, and
// where a note goes, into the main line or into a " Sub{...}" block.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/conversion.h"

namespace vantrel::test {
namespace {

struct NoteCase : NamedCase {
  std::vector<std::string> options;
  Track track;           // one track of a format 0 file at division 480
  std::string expected;  // channel 1's text after its pass header
};

class NoteLine : public testing::TestWithParam<NoteCase> {};

TEST_P(NoteLine, IsWrittenAsExpected) {
  const NoteCase& c = GetParam();
  Conversion result = convertBytes(makeSmf(0, 480, {c.track}), c.options);
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(passText(result.mml, 1), c.expected);
}

// Quarter notes of channel 1 one after the other, each Note Off before the
// next Note On.
Track quarters(const std::vector<int>& keys, int velocity = 100) {
  Track t;
  for (int key : keys) t.on(0, 1, key, velocity).off(480, 1, key);
  return t.end(0);
}

// Kana words, as code page 932 bytes.
#define K_VELOCITY "\x89\xB9\x97\xCA"  // 音量
#define K_OCTAVE "\x89\xB9\x8A\x4B"    // 音階
#define K_UP "\x81\xAA"                // ↑
#define K_DOWN "\x81\xAB"              // ↓
#define K_SHARP "\x81\x94"             // ＃
#define K_C "\x83\x68"                 // ド
#define K_D "\x83\x8C"                 // レ
#define K_E "\x83\x7E"                 // ミ
#define K_F "\x83\x74\x83\x40"         // ファ
#define K_G "\x83\x5C"                 // ソ
#define K_A "\x83\x89"                 // ラ
#define K_B "\x83\x56"                 // シ

INSTANTIATE_TEST_SUITE_P(
    Placement, NoteLine,
    testing::Values(
        NoteCase{"ChordEndingTogether", {},
                 Track().on(0, 1, 60).on(0, 1, 64).on(0, 1, 67)
                     .off(480, 1, 60).off(0, 1, 64).off(0, 1, 67).end(0),
                 " Sub{v100o5c4} Sub{e4}g4"},
        NoteCase{"ChordInKana", {"/J"},
                 Track().on(0, 1, 60).on(0, 1, 64).on(0, 1, 67)
                     .off(480, 1, 60).off(0, 1, 64).off(0, 1, 67).end(0),
                 " Sub{" K_VELOCITY "100" K_OCTAVE "5" K_C "4} Sub{" K_E "4}" K_G "4"},
        NoteCase{"OverlappingNotes", {},
                 Track().on(0, 1, 69).on(240, 1, 71).off(240, 1, 69).off(480, 1, 71).end(0),
                 " Sub{v100o5a4}r8b8^4"},
        NoteCase{"LegatoNextNoteOnStoredFirst", {},
                 Track().on(0, 1, 60).on(480, 1, 62).off(0, 1, 60).off(480, 1, 62).end(0),
                 " Sub{v100o5c4}r4d4"},
        NoteCase{"LegatoNoteOffStoredFirst", {},
                 Track().on(0, 1, 60).off(480, 1, 60).on(0, 1, 62).off(480, 1, 62).end(0),
                 "v100o5c4d4"},
        NoteCase{"SameKeyAgainBeforeItsEnd", {},
                 Track().on(0, 1, 60).on(240, 1, 60).off(240, 1, 60).off(480, 1, 60).end(0),
                 " Sub{v100o5c4}r8c8r4"},
        NoteCase{"NoteOfAnotherChannelDoesNotOverlap", {},
                 Track().on(0, 1, 60).on(240, 2, 64).off(240, 1, 60).off(0, 2, 64).end(0),
                 "v100o5c4"},
        NoteCase{"MainLineNoteSplitByAnotherNoteOff", {},
                 Track().on(0, 1, 60).off(480, 1, 62).off(480, 1, 60).end(0), "v100o5c4^4"},
        NoteCase{"NoteOnOfVelocityZeroEndsTheNote", {},
                 Track().on(0, 1, 60).on(480, 1, 60, 0).on(480, 1, 62).off(480, 1, 62).end(0),
                 "v100o5c4r4d4"},
        // The look-ahead reads a Note Off with its own status; the pass must
        // still read the next event with the Note On's running status.
        NoteCase{"RunningStatusAfterTheLookAhead", {},
                 Track().raw(0, {0x90, 60, 100}).raw(240, {62, 100})
                     .raw(240, {0x80, 60, 64}).raw(240, {62, 64}).end(0),
                 " Sub{v100o5c4}r8d8^8"},
        NoteCase{"ZeroLengthNoteInTheMainLineWritesNothing", {},
                 Track().on(0, 1, 60).off(0, 1, 60).on(480, 1, 62).off(480, 1, 62).end(0),
                 "r4v100o5d4"}),
    CaseName());

// Any channel message of the note's channel that begins while it sounds
// sends the note into a sub-block; the message then stands in the main line.
// A key struck again as sequencers write it: the new Note On just before
// the Note Off of the note before, at the same tick. That Note Off ends the
// note before, and the new note lasts to the next one; no other pairing
// changes.
INSTANTIATE_TEST_SUITE_P(
    StruckAgain, NoteLine,
    testing::Values(
        NoteCase{"NewNoteOnBeforeTheOldNoteOff", {},
                 Track().on(0, 1, 60).on(480, 1, 60).off(0, 1, 60).off(480, 1, 60).end(0),
                 " Sub{v100o5c4}r4c4"},
        NoteCase{"ANoteOnOfVelocityZeroEndsTheOldNote", {},
                 Track().on(0, 1, 60).on(480, 1, 60).on(0, 1, 60, 0).on(480, 1, 60, 0).end(0),
                 " Sub{v100o5c4}r4c4"},
        NoteCase{"AHiHatStruckOverAndOver", {},
                 Track().on(0, 1, 42).on(120, 1, 42).off(0, 1, 42).on(120, 1, 42)
                     .off(0, 1, 42).off(120, 1, 42).end(0),
                 " Sub{v100o3f+16}r16 Sub{f+16}r16f+16"},
        NoteCase{"WithOtherKeysBetween", {},
                 Track().on(0, 1, 60).on(480, 1, 60).on(0, 1, 64).off(0, 1, 60).off(480, 1, 60)
                     .off(0, 1, 64).end(0),
                 " Sub{v100o5c4}r4 Sub{c4}e4"},
        NoteCase{"NoNoteBeforeSoundsAndTheNoteWritesNothing", {},
                 Track().on(0, 1, 60).off(480, 1, 60).on(0, 1, 60).off(0, 1, 60).on(480, 1, 62)
                     .off(480, 1, 62).end(0),
                 "v100o5c4r4d4"},
        NoteCase{"OverlappingNotesOfOneKeyKeepTheirLengths", {},
                 Track().on(0, 1, 60).on(240, 1, 60).off(240, 1, 60).off(480, 1, 60).end(0),
                 " Sub{v100o5c4}r8c8r4"}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    OverlapByMessage, NoteLine,
    testing::Values(
        NoteCase{"KeyPressure", {},
                 Track().on(0, 1, 60).raw(240, {0xA0, 60, 10}).off(240, 1, 60).end(0),
                 " Sub{v100o5c4}r8DirectSMF($A0+Channel-1,60,10); r8"},
        NoteCase{"ControlChange", {},
                 Track().on(0, 1, 60).cc(240, 1, 7, 100).off(240, 1, 60).end(0),
                 " Sub{v100o5c4}r8V(100); r8"},
        NoteCase{"ControlChangeLeftOut", {"/Mc"},
                 Track().on(0, 1, 60).cc(240, 1, 7, 100).off(240, 1, 60).end(0), "v100o5c4"},
        NoteCase{"ProgramChange", {},
                 Track().on(0, 1, 60).program(240, 1, 5).off(240, 1, 60).end(0),
                 " Sub{v100o5c4}r8Voice(6); r8"},
        NoteCase{"ChannelPressure", {},
                 Track().on(0, 1, 60).raw(240, {0xD0, 20}).off(240, 1, 60).end(0),
                 " Sub{v100o5c4}r8DirectSMF($D0+Channel-1,20); r8"},
        NoteCase{"PitchBend", {},
                 Track().on(0, 1, 60).bend(240, 1, 0, 72).off(240, 1, 60).end(0),
                 " Sub{v100o5c4}r8PitchBend(1024); r8"},
        NoteCase{"PitchBendLeftOut", {"/Mb"},
                 Track().on(0, 1, 60).bend(240, 1, 0, 72).off(240, 1, 60).end(0), "v100o5c4"}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Heads, NoteLine,
    testing::Values(
        NoteCase{"OctaveUp", {}, quarters({60, 72}), "v100o5c4>c4"},
        NoteCase{"TwoOctavesUp", {}, quarters({60, 84}), "v100o5c4>>c4"},
        NoteCase{"ThreeOctavesUp", {}, quarters({60, 96}), "v100o5c4o8c4"},
        NoteCase{"OctaveDown", {}, quarters({72, 60}), "v100o6c4<c4"},
        NoteCase{"TwoOctavesDown", {}, quarters({84, 60}), "v100o7c4<<c4"},
        NoteCase{"ThreeOctavesDown", {}, quarters({96, 60}), "v100o8c4o5c4"},
        NoteCase{"LowestKey", {}, quarters({0}), "v100o0c4"},
        NoteCase{"HighestKey", {}, quarters({127}), "v100o10g4"},
        NoteCase{"EveryPitchClass", {}, quarters({60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71}),
                 "v100o5c4c+4d4d+4\t|\te4f4f+4g4\t|\tg+4a4a+4b4\t|\t"},
        NoteCase{"EveryPitchClassInKana", {"/J"},
                 quarters({60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71}),
                 K_VELOCITY "100" K_OCTAVE "5" K_C "4" K_C K_SHARP "4" K_D "4" K_D K_SHARP "4\t|\t"
                 K_E "4" K_F "4" K_F K_SHARP "4" K_G "4\t|\t"
                 K_G K_SHARP "4" K_A "4" K_A K_SHARP "4" K_B "4\t|\t"},
        NoteCase{"OctaveMarksInKana", {"/J"}, quarters({60, 72, 96, 84, 60, 96}),
                 K_VELOCITY "100" K_OCTAVE "5" K_C "4" K_UP K_C "4" K_UP K_UP K_C "4"
                 K_DOWN K_C "4\t|\t" K_DOWN K_DOWN K_C "4" K_OCTAVE "8" K_C "4"},
        NoteCase{"VelocityOnlyWhenItChanges", {},
                 Track().on(0, 1, 60, 100).off(480, 1, 60).on(0, 1, 62, 100).off(480, 1, 62)
                     .on(0, 1, 64, 90).off(480, 1, 64).end(0),
                 "v100o5c4d4v90e4"},
        // A sub-block's head changes velocity and octave for the text after it.
        NoteCase{"SubBlockHeadStaysInEffect", {},
                 Track().on(0, 1, 72, 90).on(0, 1, 60, 100).off(480, 1, 72).off(0, 1, 60)
                     .on(0, 1, 74, 90).off(480, 1, 74).end(0),
                 " Sub{v90o6c4}v100<c4v90>d4"},
        // Data bytes above 0x7F in a malformed file: a velocity of 255 is a
        // velocity like any other.
        NoteCase{"VelocityByte255", {},
                 Track().raw(0, {0x90, 60, 0xFF}).off(480, 1, 60)
                     .raw(0, {0x90, 62, 0xFF}).off(480, 1, 62).end(0),
                 "v255o5c4d4"},
        NoteCase{"VelocityByte255AfterAnother", {},
                 Track().on(0, 1, 60, 100).off(480, 1, 60)
                     .raw(0, {0x90, 62, 0xFF}).off(480, 1, 62).end(0),
                 "v100o5c4v255d4"},
        // Likewise a key byte of 128 or more is a note, not a rest: key 200
        // is octave 16, pitch class 8.
        NoteCase{"KeyByte200", {},
                 Track().raw(0, {0x90, 0xC8, 100}).raw(480, {0x80, 0xC8, 64}).end(0),
                 "v100o16g+4"},
        NoteCase{"KeyByte255InSubBlock", {},
                 Track().raw(0, {0x90, 0xFF, 100}).on(0, 1, 60).raw(480, {0x80, 0xFF, 64})
                     .off(0, 1, 60).end(0),
                 " Sub{v100o21d+4}o5c4"}),
    CaseName());

// A note that lasts no time writes nothing: no sub-block, and no velocity or
// octave change that a later note would rely on.
INSTANTIATE_TEST_SUITE_P(
    ZeroLength, NoteLine,
    testing::Values(
        NoteCase{"OverlappedNoteEndingAtItsStart", {},
                 Track().on(0, 1, 48, 90).on(0, 1, 64).off(0, 1, 48).off(480, 1, 64).end(0),
                 "v100o5e4"},
        NoteCase{"OverlappedNoteAtTheEndOfTheTrack", {},
                 Track().on(0, 1, 60).cc(0, 1, 7, 100).end(0), "V(100); "},
        NoteCase{"NoteOnAtTheEndOfTheTrack", {},
                 Track().on(0, 1, 60).off(480, 1, 60).on(480, 1, 62).end(0), "v100o5c4r4"}),
    CaseName());

// A note still sounding when the track ends is written up to the end of the
// track; time after the last note is not written as a rest.
INSTANTIATE_TEST_SUITE_P(
    EndOfPass, NoteLine,
    testing::Values(
        NoteCase{"NoteWithoutNoteOff", {}, Track().on(0, 1, 60).end(960), "v100o5c2"},
        NoteCase{"NoteWithoutNoteOffAcrossABarLine", {}, Track().on(0, 1, 60).end(2400),
                 "v100o5c1\t|\t^4"},
        NoteCase{"NoteWithoutNoteOffAlreadySplit", {},
                 Track().on(0, 1, 60).off(480, 1, 62).end(480), "v100o5c4^4"},
        NoteCase{"NoteWithoutNoteOffAcrossARhythmChange", {},
                 Track().on(0, 1, 60).timeSignature(1920, 3, 2).end(480),
                 "v100o5c1\n\t//Rhythm = 3/4\n\t^4"},
        NoteCase{"NoteWithoutNoteOffInKana", {"/J"}, Track().on(0, 1, 60).end(960),
                 K_VELOCITY "100" K_OCTAVE "5" K_C "2"},
        NoteCase{"SubBlockWithoutNoteOff", {},
                 Track().on(0, 1, 60).cc(480, 1, 7, 100).end(480),
                 " Sub{v100o5c2}r4V(100); "},
        NoteCase{"RestBeforeTheEnd", {}, Track().on(0, 1, 60).off(480, 1, 60).end(1440),
                 "v100o5c4"}),
    CaseName());

TEST(NotePasses, EveryPassStartsWithVelocityAndOctave) {
  Track t;
  t.on(0, 1, 60).on(0, 2, 60).off(480, 1, 60).off(0, 2, 60).end(0);
  Conversion result = convertBytes(makeSmf(0, 480, {t}));
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(passText(result.mml, 1), "v100o5c4");
  EXPECT_EQ(passText(result.mml, 2), "v100o5c4");
}

TEST(NotePasses, HangingNoteDoesNotDisturbTheNextTrack) {
  Track first, second;
  first.on(0, 1, 60).end(960);
  second.on(0, 1, 62).off(480, 1, 62).end(0);
  Conversion result = convertBytes(makeSmf(1, 480, {first, second}));
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_NE(unixLines(result.mml).find("CH(1);\tq100 h-1\n\tv100o5c2\n\n"), std::string::npos)
      << result.mml;
  EXPECT_NE(unixLines(result.mml).find("CH(1);\tq100 h-1\n\tv100o5d4\n\n"), std::string::npos)
      << result.mml;
}

}  // namespace
}  // namespace vantrel::test
