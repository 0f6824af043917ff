#include "mml/vocabulary.h"

namespace vantrel {
namespace {

const Vocabulary kMml = {
    "^", "r", "+", "v", "Voice",
    {"c", "d", "e", "f", "g", "a", "b"},
    {"o", "<<", "<", "", ">", ">>"},
    "\nTime(1:1:0);\n\t", "CH(", ");\tq100 h-1\n\t", "TR",
    "MetaText=", "Copyright=", "TrackName=", "Tempo", "TimeSignature",
};

// The comments show each word; tools/cp932_literal.py makes the escapes.
const Vocabulary kKana = {
    "\x81\x5B",          // ー
    "\x82\xF1",          // ん
    "\x81\x94",          // ＃
    "\x89\xB9\x97\xCA",  // 音量
    "\x89\xB9\x90\x46",  // 音色
    {
        "\x83\x68",          // ド
        "\x83\x8C",          // レ
        "\x83\x7E",          // ミ
        "\x83\x74\x83\x40",  // ファ
        "\x83\x5C",          // ソ
        "\x83\x89",          // ラ
        "\x83\x56",          // シ
    },
    {
        "\x89\xB9\x8A\x4B",  // 音階
        "\x81\xAB\x81\xAB",  // ↓↓
        "\x81\xAB",          // ↓
        "",
        "\x81\xAA",          // ↑
        "\x81\xAA\x81\xAA",  // ↑↑
    },
    // \n時間（１：１：０）;\n\t
    "\n\x8E\x9E\x8A\xD4\x81\x69\x82\x50\x81\x46\x82\x50\x81\x46\x82\x4F\x81\x6A;\n\t",
    "\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B(",              // チャンネル(
    ");\t\x83\x51\x81\x5B\x83\x67" "100\th-1\n\t",             // );\tゲート100\th-1\n\t
    "\x83\x67\x83\x89\x83\x62\x83\x4E",                       // トラック
    "\x83\x52\x83\x81\x83\x93\x83\x67",                       // コメント
    "\x8D\xEC\x8E\xD2",                                       // 作者
    "\x8B\xC8\x96\xBC",                                       // 曲名
    "\x83\x65\x83\x93\x83\x7C",                               // テンポ
    "\x94\x8F\x8E\x71",                                       // 拍子
};

}  // namespace

const Vocabulary& vocabulary(Dialect dialect) { return dialect == Dialect::kKana ? kKana : kMml; }

}  // namespace vantrel
