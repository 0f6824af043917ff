#include "tools/roundtrip/dialect_words.h"

namespace vantrel::roundtrip {
namespace {

// Commands that read the same in both dialects.
const std::vector<DialectWords::CommandWord> kSharedCommands = {
    {"DirectSMF(", "DirectSMF("}, {"SysEx = ", "SysEx = "}, {"Voice(", "Voice("},
    {"PitchBend(", "PitchBend("}, {"M(", "M("}, {"PT(", "PT("}, {"DataMSB(", "DataMSB("},
    {"V(", "V("}, {"P(", "P("}, {"EP(", "EP("}, {"PS(", "PS("}, {"Reverb(", "Reverb("},
    {"Chorus(", "Chorus("}, {"VAR(", "VAR("}, {"NRPN(", "NRPN("}, {"RPN(", "RPN("},
    {"BR(", "BR("}, {"FineTune(", "FineTune("}, {"CoarseTune(", "CoarseTune("},
    {"ChannelPrefix(", "ChannelPrefix("}, {"Port(", "Port("},
};

std::vector<DialectWords::CommandWord> withShared(std::vector<DialectWords::CommandWord> own) {
  own.insert(own.end(), kSharedCommands.begin(), kSharedCommands.end());
  return own;
}

const DialectWords kMml = {
    "^", "r", "+", "v", "o",
    {"<<", "<", "", ">", ">>"},
    {"c", "d", "e", "f", "g", "a", "b"},
    "\nTime(1:1:0);\n\t", "CH(", ");\tq100 h-1\n\t", "TR",
    withShared({{"Tempo(", "Tempo("}, {"TimeSignature(", "TimeSignature("}}),
    {{"MetaText=", "MetaText="}, {"Copyright=", "Copyright="}, {"TrackName=", "TrackName="},
     {"InstrumentName=", "InstrumentName="}, {"Lyric=", "Lyric="}, {"Marker=", "Marker="},
     {"CuePoint=", "CuePoint="}},
};

// Code page 932 bytes; tools/cp932_literal.py makes the escapes.
const DialectWords kKana = {
    "\x81\x5B",          // ー
    "\x82\xF1",          // ん
    "\x81\x94",          // ＃
    "\x89\xB9\x97\xCA",  // 音量
    "\x89\xB9\x8A\x4B",  // 音階
    {"\x81\xAB\x81\xAB", "\x81\xAB", "", "\x81\xAA", "\x81\xAA\x81\xAA"},  // ↓↓ ↓ ↑ ↑↑
    // ド レ ミ ファ ソ ラ シ
    {"\x83\x68", "\x83\x8C", "\x83\x7E", "\x83\x74\x83\x40", "\x83\x5C", "\x83\x89", "\x83\x56"},
    // \n時間（１：１：０）;\n\t
    "\n\x8E\x9E\x8A\xD4\x81\x69\x82\x50\x81\x46\x82\x50\x81\x46\x82\x4F\x81\x6A;\n\t",
    "\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B(",   // チャンネル(
    ");\t\x83\x51\x81\x5B\x83\x67" "100\th-1\n\t",  // );\tゲート100\th-1\n\t
    "\x83\x67\x83\x89\x83\x62\x83\x4E",            // トラック
    withShared({{"\x89\xB9\x90\x46(", "Voice("},             // 音色(
                {"\x83\x65\x83\x93\x83\x7C(", "Tempo("},     // テンポ(
                {"\x94\x8F\x8E\x71(", "TimeSignature("}}),  // 拍子(
    {{"\x83\x52\x83\x81\x83\x93\x83\x67", "MetaText="},  // コメント
     {"\x8D\xEC\x8E\xD2", "Copyright="},                 // 作者
     {"\x8B\xC8\x96\xBC", "TrackName="},                 // 曲名
     {"InstrumentName=", "InstrumentName="}, {"Lyric=", "Lyric="}, {"Marker=", "Marker="},
     {"CuePoint=", "CuePoint="}},
};

}  // namespace

const DialectWords& dialectWords(bool kana) { return kana ? kKana : kMml; }

std::string_view textTerminator(std::string_view mmlWord) {
  // Lyrics, markers and cue points go on on the same line.
  if (mmlWord == "Lyric=" || mmlWord == "Marker=" || mmlWord == "CuePoint=") return "\"}; ";
  return "\"};\n\t";
}

}  // namespace vantrel::roundtrip
