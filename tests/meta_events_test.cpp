// The system section of a track: system exclusive and meta events, their
// commands and raw forms, and the faults of malformed meta events.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/conversion.h"
#include "tests/expected_texts.h"

namespace vantrel::test {
namespace {

namespace faults = expected::faults;

struct SystemCase : NamedCase {
  Track track;        // one track of a format 0 file at division 480
  std::string mml;    // the system pass's text, MML dialect
  std::string kana;   // the same in the kana dialect
};

class SystemEventText : public testing::TestWithParam<SystemCase> {};

TEST_P(SystemEventText, IsWrittenInBothDialects) {
  const SystemCase& c = GetParam();
  Bytes smf = makeSmf(0, 480, {c.track});
  Conversion mml = convertBytes(smf);
  ASSERT_EQ(mml.status, 0) << mml.error;
  EXPECT_EQ(passText(mml.mml, 0), c.mml);
  Conversion kana = convertBytes(smf, {"/J"});
  ASSERT_EQ(kana.status, 0) << kana.error;
  EXPECT_EQ(passText(kana.mml, 0), c.kana);
}

Track only(Track t) { return t.end(0); }

// Cases whose text is the same in both dialects.
SystemCase same(const char* name, Track track, const std::string& text) {
  return {name, std::move(track), text, text};
}

const std::string kTempo = "\x83\x65\x83\x93\x83\x7C";  // テンポ
const std::string kTimeSignature = "\x94\x8F\x8E\x71";     // 拍子

Bytes filled(std::size_t count, std::uint8_t byte) { return Bytes(count, byte); }

std::string hexList(std::size_t count, const std::string& entry) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += (i ? "," : "") + entry;
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    MetaEvents, SystemEventText,
    testing::Values(
        same("SequenceNumber", only(Track().meta(0, 0x00, {0x00, 0x01})),
             "DirectSMF($FF,$00,$02,$0,$1); "),
        SystemCase{"Text", only(Track().text(0, 0x01, "hello")), "MetaText={\"hello\"};\n\t",
                   "\x83\x52\x83\x81\x83\x93\x83\x67{\"hello\"};\n\t"},  // コメント
        SystemCase{"EmptyText", only(Track().text(0, 0x01, "")), "MetaText={\"\"};\n\t",
                   "\x83\x52\x83\x81\x83\x93\x83\x67{\"\"};\n\t"},
        SystemCase{"Copyright", only(Track().text(0, 0x02, "me")), "Copyright={\"me\"};\n\t",
                   "\x8D\xEC\x8E\xD2{\"me\"};\n\t"},  // 作者
        SystemCase{"TrackName", only(Track().text(0, 0x03, "Song")),
                   "TrackName={\"Song\"};\n\t", "\x8B\xC8\x96\xBC{\"Song\"};\n\t"},  // 曲名
        same("InstrumentName", only(Track().text(0, 0x04, "Flute")),
             "InstrumentName={\"Flute\"};\n\t"),
        same("Lyric", only(Track().text(0, 0x05, "la")), "Lyric={\"la\"}; "),
        same("Marker", only(Track().text(0, 0x06, "A")), "Marker={\"A\"}; "),
        same("CuePoint", only(Track().text(0, 0x07, "go")), "CuePoint={\"go\"}; "),
        // Text bytes are copied as they are: quotes and code page 932 too.
        same("QuotesInText", only(Track().text(0, 0x05, "say \"hi\"")),
             "Lyric={\"say \"hi\"\"}; "),
        same("KanaInText", only(Track().text(0, 0x05, "\x82\xA0\x82\xA2")),
             "Lyric={\"\x82\xA0\x82\xA2\"}; "),
        same("ChannelPrefix", only(Track().meta(0, 0x20, {5})), "ChannelPrefix(5); "),
        same("Port", only(Track().meta(0, 0x21, {200})), "Port(200); "),
        SystemCase{"Tempo", only(Track().tempo(0, 500000)), "Tempo(120);\n\t",
                   "\x83\x65\x83\x93\x83\x7C(120);\n\t"},  // テンポ
        SystemCase{"SlowestTempo", only(Track().tempo(0, 16777215)), "Tempo(3);\n\t",
                   kTempo + "(3);\n\t"},
        SystemCase{"FastestTempo", only(Track().tempo(0, 1)), "Tempo(60000000);\n\t",
                   kTempo + "(60000000);\n\t"},
        SystemCase{"TempoRoundedDown", only(Track().tempo(0, 600001)), "Tempo(99);\n\t",
                   kTempo + "(99);\n\t"},
        // A tempo of 0 has no rate: its bytes are kept.
        same("ZeroTempo", only(Track().tempo(0, 0)), "DirectSMF($FF,$51,$03,$0,$0,$0);\n\t"),
        same("SmpteOffset", only(Track().meta(0, 0x54, {0x60, 0, 3, 0x1E, 0})),
             "DirectSMF($FF,$54,$05,$60,$0,$3,$1e,$0); "),
        SystemCase{"TimeSignature", only(Track().meta(0, 0x58, {6, 3, 0x18, 8})),
                   "TimeSignature(6,8);\n\t", "\x94\x8F\x8E\x71(6,8);\n\t"},  // 拍子
        SystemCase{"TimeSignatureOfLargestDenominator",
                   only(Track().meta(0, 0x58, {4, 31, 24, 8})),
                   "TimeSignature(4,2147483648);\n\t", kTimeSignature + "(4,2147483648);\n\t"},
        // 2 to the 32nd and beyond: the bytes are kept.
        same("TimeSignatureBeyond32Bits", only(Track().meta(0, 0x58, {4, 32, 24, 8})),
             "DirectSMF($FF,$58,$04,$4,$20,$18,$8);\n\t"),
        same("TimeSignatureOfExponent255", only(Track().meta(0, 0x58, {3, 255, 24, 8})),
             "DirectSMF($FF,$58,$04,$3,$ff,$18,$8);\n\t"),
        same("KeySignature", only(Track().meta(0, 0x59, {0xFF, 0x00})),
             "DirectSMF($FF,$59,$02,$ff,$0);\n\t"),
        same("EmptySequencerSpecific", only(Track().meta(0, 0x7F, {})),
             "DirectSMF($FF,$7F,$0);\n\t"),
        same("SequencerSpecific", only(Track().meta(0, 0x7F, {0x41, 0x10, 0x42})),
             "DirectSMF($FF,$7F,$3,$41,$10,$42);\n\t"),
        same("SequencerSpecificOf128Bytes", only(Track().meta(0, 0x7F, filled(128, 0x7F))),
             "DirectSMF($FF,$7F,$81,$0," + hexList(128, "$7f") + ");\n\t"),
        same("SequencerSpecificOf200Bytes", only(Track().meta(0, 0x7F, filled(200, 0x01))),
             "DirectSMF($FF,$7F,$81,$48," + hexList(200, "$1") + ");\n\t")),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    SystemExclusive, SystemEventText,
    testing::Values(
        same("Empty", only(Track().sysex(0, 0xF0, {})), "SysEx = $F0,;\n\t"),
        same("EmptyEscape", only(Track().sysex(0, 0xF7, {})), "SysEx = ;\n\t"),
        same("Message", only(Track().sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})),
             "SysEx = $F0,$7e,$7f,$9,$1,$f7;\n\t"),
        same("Escape", only(Track().sysex(0, 0xF7, {0x43, 0x10})), "SysEx = $43,$10;\n\t"),
        // Numbers after a hex dump are decimal again.
        SystemCase{"TempoAfterAMessage",
                   only(Track().sysex(0, 0xF0, {0x0A, 0xF7}).tempo(0, 500000)),
                   "SysEx = $F0,$a,$f7;\n\tTempo(120);\n\t",
                   "SysEx = $F0,$a,$f7;\n\t" + kTempo + "(120);\n\t"},
        same("PortAfterALengthQuantity",
             only(Track().meta(0, 0x7F, filled(130, 0x10)).meta(0, 0x21, {10})),
             "DirectSMF($FF,$7F,$81,$2," + hexList(130, "$10") + ");\n\tPort(10); "),
        // Time between system events is written as rests.
        SystemCase{"RestBetweenEvents", only(Track().tempo(0, 500000).tempo(2400, 600000)),
                   "Tempo(120);\n\tr1\t|\t^4Tempo(100);\n\t",
                   "\x83\x65\x83\x93\x83\x7C(120);\n\t\x82\xF1" "1\t|\t\x81\x5B"
                   "4\x83\x65\x83\x93\x83\x7C(100);\n\t"}),
    CaseName());

TEST(SystemEvents, LeftOutByTheFilter) {
  Track t;
  t.sysex(0, 0xF0, {0x01, 0xF7}).sysex(0, 0xF7, {0x02}).tempo(0, 500000).end(0);
  Bytes smf = makeSmf(0, 480, {t});
  EXPECT_EQ(passText(convertBytes(smf, {"/Mx"}).mml, 0), "Tempo(120);\n\t");
}

// Every line feed of the output is stored as CR LF, those inside texts too;
// no other byte changes.
TEST(SystemEvents, LineFeedInTextIsStoredAsCrLf) {
  struct Case {
    std::string text;
    std::string stored;
  };
  for (const Case& c : std::vector<Case>{{"a\nb", "a\r\nb"},
                                         {"\n\n", "\r\n\r\n"},
                                         {"a\rb", "a\rb"},
                                         {"a\r\nb", "a\r\r\nb"}}) {
    Track t;
    t.text(0, 0x01, c.text).end(0);
    Conversion result = convertBytes(makeSmf(0, 480, {t}));
    ASSERT_EQ(result.status, 0) << result.error;
    EXPECT_NE(result.mml.find("\tMetaText={\"" + c.stored + "\"};\r\n\t\r\n\r\n"),
              std::string::npos)
        << result.mml;
  }
}

// A malformed meta event stops the conversion before any of its text is
// written; what was written before it stays in the file.
struct FaultCase : NamedCase {
  int type;
  Bytes data;
  expected::faults::Fault message;
};

class MetaFault : public testing::TestWithParam<FaultCase> {};

TEST_P(MetaFault, StopsWithItsMessage) {
  const FaultCase& c = GetParam();
  Track t;
  t.text(0, 0x06, "x").meta(0, c.type, c.data).end(0);
  Conversion result = convertBytes(makeSmf(0, 480, {t}));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.error, expected::dataFault(c.message));
  const std::string tail = "\r\nTime(1:1:0);\r\n\tMarker={\"x\"}; ";
  ASSERT_GE(result.mml.size(), tail.size());
  EXPECT_EQ(result.mml.substr(result.mml.size() - tail.size()), tail);
}

INSTANTIATE_TEST_SUITE_P(
    WrongLengths, MetaFault,
    testing::Values(
        FaultCase{"ShortSequenceNumber", 0x00, {1}, faults::kBadSequenceNumber},
        FaultCase{"LongSequenceNumber", 0x00, {0, 1, 2}, faults::kBadSequenceNumber},
        FaultCase{"LongChannelPrefix", 0x20, {0, 1}, faults::kBadChannelPrefix},
        FaultCase{"EmptyPort", 0x21, {}, faults::kBadPort},
        FaultCase{"EndOfTrackWithData", 0x2F, {0}, faults::kBadEndOfTrack},
        FaultCase{"ShortTempo", 0x51, {7, 0xA1}, faults::kBadTempo},
        FaultCase{"LongTempo", 0x51, {0, 7, 0xA1, 0x20}, faults::kBadTempo},
        FaultCase{"ShortSmpteOffset", 0x54, {0x60, 0, 0, 0}, faults::kBadSmpteOffset},
        FaultCase{"ShortTimeSignature", 0x58, {3, 2, 24}, faults::kBadTimeSignature},
        FaultCase{"LongTimeSignature", 0x58, {3, 2, 24, 8, 0}, faults::kBadTimeSignature},
        FaultCase{"ShortKeySignature", 0x59, {1}, faults::kBadKeySignature}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    UnknownTypes, MetaFault,
    testing::Values(FaultCase{"Type08", 0x08, {}, faults::kBadMetaEvent},
                    FaultCase{"Type09", 0x09, {'a'}, faults::kBadMetaEvent},
                    FaultCase{"Type22", 0x22, {1}, faults::kBadMetaEvent},
                    FaultCase{"Type60", 0x60, {}, faults::kBadMetaEvent},
                    FaultCase{"Type7E", 0x7E, {1, 2}, faults::kBadMetaEvent},
                    FaultCase{"TypeFF", 0xFF, {}, faults::kBadMetaEvent}),
    CaseName());

}  // namespace
}  // namespace vantrel::test
