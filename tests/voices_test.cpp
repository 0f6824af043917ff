// Voices: a channel's notes dealt into sections of their own, a drum sound a
// voice, and velocities written in steps.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/conversion.h"

namespace vantrel::test {
namespace {

// The sections of channel `channel` in the first track, each from the
// character after its channel header, joined by "\n--\n" (LF line ends).
std::string channelSections(const std::string& mml, int channel, bool kana) {
  const std::string text = unixLines(mml);
  const std::string number = std::to_string(channel);
  // チャンネル(n);\tゲート100\th-1 in the kana dialect.
  const std::string head = kana ? "\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B(" + number +
                                      ");\t\x83\x51\x81\x5B\x83\x67" "100\th-1\n\t"
                                : "CH(" + number + ");\tq100 h-1\n\t";
  // 時間（１：１：０）; begins the next section in the kana dialect.
  const std::string time =
      kana ? "\n\x8E\x9E\x8A\xD4\x81\x69\x82\x50\x81\x46\x82\x50\x81\x46\x82\x4F\x81\x6A;"
           : "\nTime(1:1:0);";
  std::string out;
  for (std::size_t at = text.find(head); at != std::string::npos; at = text.find(head, at)) {
    at += head.size();
    const std::size_t next = std::min(text.find("\n\n", at), text.find(time, at));
    if (!out.empty()) out += "\n--\n";
    out += text.substr(at, next - at);
  }
  return out;
}

struct VoiceCase : NamedCase {
  std::vector<std::string> options;
  int channel;
  Track track;  // one track of a format 1 file at division 480
  std::string expected;
};

class Voices : public testing::TestWithParam<VoiceCase> {};

TEST_P(Voices, AreWrittenAsExpected) {
  const VoiceCase& c = GetParam();
  const Conversion result = convertBytes(makeSmf(1, 480, {c.track}), c.options);
  ASSERT_EQ(result.status, 0) << result.error;
  const bool kana = std::find(c.options.begin(), c.options.end(), "/J") != c.options.end();
  EXPECT_EQ(channelSections(result.mml, c.channel, kana), c.expected);
}

// Kana words, as code page 932 bytes.
#define K_VELOCITY "\x89\xB9\x97\xCA"  // 音量
#define K_OCTAVE "\x89\xB9\x8A\x4B"    // 音階
#define K_REST "\x82\xF1"              // ん
#define K_C "\x83\x68"                 // ド
#define K_D "\x83\x8C"                 // レ
#define K_FS "\x83\x74\x83\x40\x81\x94" // ファ＃

Track chord(const std::vector<int>& keys, std::uint32_t length) {
  Track t;
  for (int key : keys) t.on(0, 1, key);
  for (std::size_t k = 0; k < keys.size(); ++k) t.off(k == 0 ? length : 0, 1, keys[k]);
  return t.end();
}

Track drumBar() {
  Track t;
  // Kick on 1 and 3, snare on 2 and 4, closed hi-hat every eighth.
  for (int eighth = 0; eighth < 8; ++eighth) {
    const std::uint32_t wait = eighth == 0 ? 0 : 120;
    if (eighth % 2 == 0) t.on(wait, 10, eighth % 4 == 0 ? 36 : 38);
    t.on(eighth % 2 == 0 ? 0 : wait, 10, 42).off(120, 10, 42);
    if (eighth % 2 == 0) t.off(0, 10, eighth % 4 == 0 ? 36 : 38);
  }
  return t.end();
}

INSTANTIATE_TEST_SUITE_P(
    Dealing, Voices,
    testing::Values(
        VoiceCase{"Chord", {"--voices"}, 1, chord({60, 64, 67}, 480),
                  "//voice 1\n\tv100o5g4\n--\n//voice 2\n\tv100o5e4\n--\n//voice 3\n\tv100o5c4"},
        VoiceCase{"HeldNoteUnderMelody", {"--voices"}, 1,
                  Track().on(0, 1, 48).on(0, 1, 72).off(480, 1, 72).on(0, 1, 74).off(480, 1, 74)
                      .on(0, 1, 76).off(480, 1, 76).on(0, 1, 77).off(480, 1, 77).off(0, 1, 48).end(),
                  "//voice 1\n\tv100o6c4d4e4f4\t|\t\n--\n//voice 2\n\tv100o4c1\t|\t"},
        VoiceCase{"LinesCrossingStayUpperAndLower", {"--voices"}, 1,
                  Track().on(0, 1, 60).on(0, 1, 65).off(480, 1, 60).off(0, 1, 65)
                      .on(0, 1, 62).on(0, 1, 64).off(480, 1, 62).off(0, 1, 64)
                      .on(0, 1, 64).on(0, 1, 62).off(480, 1, 64).off(0, 1, 62)
                      .on(0, 1, 65).on(0, 1, 60).off(480, 1, 65).off(0, 1, 60).end(),
                  "//voice 1\n\tv100o5f4e4e4f4\t|\t\n--\n//voice 2\n\tv100o5c4d4d4c4\t|\t"},
        VoiceCase{"ANoteAMessageWouldCutLeavesTheFirstVoice", {"--voices"}, 1,
                  Track().on(0, 1, 60).bend(240, 1, 0, 72).off(240, 1, 60).on(0, 1, 62)
                      .off(480, 1, 62).end(),
                  "//voice 1\n\tr8PitchBend(1024); r4.\n--\n//voice 2\n\tv100o5c4d4"},
        VoiceCase{"DrumBar", {"--voices"}, 10, drumBar(),
                  "//voice 1: Bass Drum 1\n\tv100o3c16r4..c16r4.\n--\n"
                  "//voice 2: Acoustic Snare\n\tr4v100o3d16r4..d16\n--\n"
                  "//voice 3: Closed Hi-Hat\n\tv100o3f+16r16f+16r16f+16r16f+16r16f+16r16f+16r16f+16r16f+16"},
        VoiceCase{"DrumBarInKanaOnAGrid", {"--voices", "/J", "/Q8"}, 10, drumBar(),
                  "//voice 1: Bass Drum 1\n\t" K_VELOCITY "100" K_OCTAVE "3" K_C "8" K_REST "4." K_C "8" K_REST "4.\t|\t\n--\n"
                  "//voice 2: Acoustic Snare\n\t" K_REST "4" K_VELOCITY "100" K_OCTAVE "3" K_D "8" K_REST "4." K_D "8\n--\n"
                  "//voice 3: Closed Hi-Hat\n\t" K_VELOCITY "100" K_OCTAVE "3" K_FS "8" K_FS "8" K_FS "8" K_FS "8" K_FS "8" K_FS "8" K_FS "8" K_FS "8\t|\t"},
        VoiceCase{"MoreThanTheLimit", {"--voices"}, 1,
                  chord({60, 62, 64, 65, 67, 69, 71, 72, 74, 76}, 480),
                  "//voice 1\n\tv100o6e4\n--\n//voice 2\n\tv100o6d4\n--\n//voice 3\n\tv100o6c4\n--\n"
                  "//voice 4\n\tv100o5b4\n--\n//voice 5\n\tv100o5a4\n--\n//voice 6\n\tv100o5g4\n--\n"
                  "//voice 7\n\tv100o5f4\n--\n//voice 8\n\t Sub{v100o5c4} Sub{d4}e4"},
        VoiceCase{"CrescendoUnderAStep", {"--velocity-step=8"}, 1,
                  [] {
                    Track t;
                    for (int velocity = 60; velocity <= 76; velocity += 2) t.on(0, 1, 60, velocity).off(480, 1, 60);
                    return t.end();
                  }(),
                  "v67o5c4c4c4c4\t|\tc4c4c4c4\t|\tv76c4"},
        VoiceCase{"AnAccentUnderAStep", {"--velocity-step=8"}, 1,
                  [] {
                    Track t;
                    for (int velocity : {64, 66, 63, 110, 64, 66}) t.on(0, 1, 60, velocity).off(480, 1, 60);
                    return t.end();
                  }(),
                  "v64o5c4c4c4v110c4\t|\tv65c4c4"}),
    CaseName());

}  // namespace
}  // namespace vantrel::test
