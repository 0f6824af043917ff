#include "app/option_texts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "app/command_line.h"
#include "app/version.h"

namespace vantrel {
namespace {

// The Japanese texts are code page 932 byte escapes, as the program's other
// texts (app/messages.h); the comment above each shows it.
// tools/cp932_literal.py makes the escapes for a new one.
constexpr OptionText kOptions[] = {
    {"/B", "/B+  /B-", "/B-",
     "+: write bar lines and counted line breaks (default)\n"
     "-: write neither",
     // 小節線と改行の出力有無を指定する。(Default=+)\n+：出力する　-：出力しない
     "\x8F\xAC\x90\xDF\x90\xFC\x82\xC6\x89\xFC\x8D\x73\x82\xCC\x8F\x6F\x97\xCD\x97\x4C\x96\xB3\x82\xF0\x8E\x77\x92\xE8\x82\xB7\x82\xE9\x81\x42(Default=+)\n"
     "+\x81\x46\x8F\x6F\x97\xCD\x82\xB7\x82\xE9\x81\x40-\x81\x46\x8F\x6F\x97\xCD\x82\xB5\x82\xC8\x82\xA2"},
    {"/C", "/C<n>", "/C2",
     "bars per line (default 4); 0: a line break after\n"
     "every note or rest; -1: no counted line breaks",
     // 改行の設定を指定する。(Default=4)\n1以上：改行する小節数　0：音符毎に改行する\n-1：改行しない
     "\x89\xFC\x8D\x73\x82\xCC\x90\xDD\x92\xE8\x82\xF0\x8E\x77\x92\xE8\x82\xB7\x82\xE9\x81\x42(Default=4)\n"
     "1\x88\xC8\x8F\xE3\x81\x46\x89\xFC\x8D\x73\x82\xB7\x82\xE9\x8F\xAC\x90\xDF\x90\x94\x81\x40" "0\x81\x46\x89\xB9\x95\x84\x96\x88\x82\xC9\x89\xFC\x8D\x73\x82\xB7\x82\xE9\n"
     "-1\x81\x46\x89\xFC\x8D\x73\x82\xB5\x82\xC8\x82\xA2"},
    {"/A", "/A<ticks>", "/A480",
     "the length in ticks of an incomplete first bar\n"
     "(a pickup; default 0: none)",
     // 最初の不完全な小節(弱起)の長さをtick数で指定する。\n(Default=0：なし)
     "\x8D\xC5\x8F\x89\x82\xCC\x95\x73\x8A\xAE\x91\x53\x82\xC8\x8F\xAC\x90\xDF(\x8E\xE3\x8B\x4E)\x82\xCC\x92\xB7\x82\xB3\x82\xF0tick\x90\x94\x82\xC5\x8E\x77\x92\xE8\x82\xB7\x82\xE9\x81\x42\n"
     "(Default=0\x81\x46\x82\xC8\x82\xB5)"},
    {"/J", "/J", "/J",
     "write the kana dialect; commands it cannot express\n"
     "are written in MML",
     // みるぱで出力する。\n※みるぱで記述不可能な命令は、MMLになります。
     "\x82\xDD\x82\xE9\x82\xCF\x82\xC5\x8F\x6F\x97\xCD\x82\xB7\x82\xE9\x81\x42\n"
     "\x81\xA6\x82\xDD\x82\xE9\x82\xCF\x82\xC5\x8B\x4C\x8F\x71\x95\x73\x89\xC2\x94\x5C\x82\xC8\x96\xBD\x97\xDF\x82\xCD\x81\x41MML\x82\xC9\x82\xC8\x82\xE8\x82\xDC\x82\xB7\x81\x42"},
    {"/MA", "/MA", "/MA", "write nothing but note on and off",
     // Note on/off以外、全て出力しない。
     "Note on/off\x88\xC8\x8A\x4F\x81\x41\x91\x53\x82\xC4\x8F\x6F\x97\xCD\x82\xB5\x82\xC8\x82\xA2\x81\x42"},
    {"/Ma", "/Ma", "/Ma", "leave out after touch messages",
     // After Touch messageを出力しない。
     "After Touch message\x82\xF0\x8F\x6F\x97\xCD\x82\xB5\x82\xC8\x82\xA2\x81\x42"},
    {"/Mc", "/Mc", "/Mc", "leave out control change messages",
     // Control Change messageを出力しない。
     "Control Change message\x82\xF0\x8F\x6F\x97\xCD\x82\xB5\x82\xC8\x82\xA2\x81\x42"},
    {"/Mp", "/Mp", "/Mp", "leave out program change messages",
     // Program Change messageを出力しない。
     "Program Change message\x82\xF0\x8F\x6F\x97\xCD\x82\xB5\x82\xC8\x82\xA2\x81\x42"},
    {"/Mb", "/Mb", "/Mb", "leave out pitch bend messages",
     // Pitch Bend Change messageを出力しない。
     "Pitch Bend Change message\x82\xF0\x8F\x6F\x97\xCD\x82\xB5\x82\xC8\x82\xA2\x81\x42"},
    {"/Mx", "/Mx", "/Mx", "leave out system exclusive messages",
     // System Exclusive messageを出力しない。
     "System Exclusive message\x82\xF0\x8F\x6F\x97\xCD\x82\xB5\x82\xC8\x82\xA2\x81\x42"},
    {"/Mm", "/Mm", "/Mm", "leave out meta event messages",
     // Meta Event messageを出力しない。
     "Meta Event message\x82\xF0\x8F\x6F\x97\xCD\x82\xB5\x82\xC8\x82\xA2\x81\x42"},
    {"/Q", "/Q<n>  /Q", "/Q16",
     "put the notes on a grid of nth notes (/Q16: 16ths);\n"
     "/Q alone or /Qauto: a grid chosen from the file",
     // 音符をn分音符のグリッドに合わせる(クオンタイズ)。\n例：/Q16 は16分音符　/Q、/Qauto：ファイルから選ぶ
     "\x89\xB9\x95\x84\x82\xF0n\x95\xAA\x89\xB9\x95\x84\x82\xCC\x83\x4F\x83\x8A\x83\x62\x83\x68\x82\xC9\x8D\x87\x82\xED\x82\xB9\x82\xE9(\x83\x4E\x83\x49\x83\x93\x83\x5E\x83\x43\x83\x59)\x81\x42\n"
     "\x97\xE1\x81\x46/Q16 \x82\xCD" "16\x95\xAA\x89\xB9\x95\x84\x81\x40/Q\x81\x41/Qauto\x81\x46\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xA9\x82\xE7\x91\x49\x82\xD4"},
    {"--quantize", "--quantize[=n|auto]", "--quantize=16", "the same as /Q<n>, /Q and /Qauto",
     // /Q<n>、/Q、/Qauto と同じ。
     "/Q<n>\x81\x41/Q\x81\x41/Qauto \x82\xC6\x93\xAF\x82\xB6\x81\x42"},
    {"--tracks", "--tracks=LIST", "--tracks=1-3,5",
     "convert only these tracks' notes and channel messages\n"
     "(numbered as TR(n), from 0); tempo and signatures stay",
     // 変換するトラックを番号で選ぶ(TR(n)の番号、0から)。\n例：--tracks=1-3,5　省略時：すべて
     "\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x83\x67\x83\x89\x83\x62\x83\x4E\x82\xF0\x94\xD4\x8D\x86\x82\xC5\x91\x49\x82\xD4(TR(n)\x82\xCC\x94\xD4\x8D\x86\x81\x41" "0\x82\xA9\x82\xE7)\x81\x42\n\x97\xE1\x81\x46--tracks=1-3,5\x81\x40\x8F\xC8\x97\xAA\x8E\x9E\x81\x46\x82\xB7\x82\xD7\x82\xC4"},
    {"--channels", "--channels=LIST", "--channels=1,10",
     "convert only these channels (1 to 16, as CH(n));\n"
     "tempo, time and key signatures always stay",
     // 変換するチャンネルを番号で選ぶ(CH(n)の番号、1～16)。\nテンポと拍子と調号はいつも出力する。
     "\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B\x82\xF0\x94\xD4\x8D\x86\x82\xC5\x91\x49\x82\xD4(CH(n)\x82\xCC\x94\xD4\x8D\x86\x81\x41" "1\x81\x60" "16)\x81\x42\n\x83\x65\x83\x93\x83\x7C\x82\xC6\x94\x8F\x8E\x71\x82\xC6\x92\xB2\x8D\x86\x82\xCD\x82\xA2\x82\xC2\x82\xE0\x8F\x6F\x97\xCD\x82\xB7\x82\xE9\x81\x42"},
    {"--voices", "--voices", "--voices",
     "each channel's notes in voices, a section each, no two\n"
     "notes overlapping in one; drums one voice per sound",
     // 音符を重ならない声部に分け、声部ごとに書く。\n(ドラムは音色ごとに1声部)
     "\x89\xB9\x95\x84\x82\xF0\x8F\x64\x82\xC8\x82\xE7\x82\xC8\x82\xA2\x90\xBA\x95\x94\x82\xC9\x95\xAA\x82\xAF\x81\x41\x90\xBA\x95\x94\x82\xB2\x82\xC6\x82\xC9\x8F\x91\x82\xAD\x81\x42\n"
     "(\x83\x68\x83\x89\x83\x80\x82\xCD\x89\xB9\x90\x46\x82\xB2\x82\xC6\x82\xC9" "1\x90\xBA\x95\x94)"},
    {"--velocity-step", "--velocity-step=N", "--velocity-step=8",
     "a velocity word only where it changes by N or more\n"
     "(1 to 127; default 1: every change)",
     // 音量の差がn以上のときだけ音量を書く(1～127)。\n例：--velocity-step=8　省略時：1(すべて書く)
     "\x89\xB9\x97\xCA\x82\xCC\x8D\xB7\x82\xAAn\x88\xC8\x8F\xE3\x82\xCC\x82\xC6\x82\xAB\x82\xBE\x82\xAF\x89\xB9\x97\xCA\x82\xF0\x8F\x91\x82\xAD(1\x81\x60" "127)\x81\x42\n"
     "\x97\xE1\x81\x46--velocity-step=8\x81\x40\x8F\xC8\x97\xAA\x8E\x9E\x81\x46" "1(\x82\xB7\x82\xD7\x82\xC4\x8F\x91\x82\xAD)"},
    {"--max-output", "--max-output=SIZE", "--max-output=64M",
     "the most bytes of MML to write (K, M, G allowed);\n"
     "a conversion that would write more writes nothing",
     // MMLの長さの上限をバイト数で指定する(K、M、Gも可)。\n例：--max-output=64M　省略時：上限なし
     "MML\x82\xCC\x92\xB7\x82\xB3\x82\xCC\x8F\xE3\x8C\xC0\x82\xF0\x83\x6F\x83\x43\x83\x67\x90\x94\x82\xC5\x8E\x77\x92\xE8\x82\xB7\x82\xE9(K\x81\x41M\x81\x41G\x82\xE0\x89\xC2)\x81\x42\n"
     "\x97\xE1\x81\x46--max-output=64M\x81\x40\x8F\xC8\x97\xAA\x8E\x9E\x81\x46\x8F\xE3\x8C\xC0\x82\xC8\x82\xB5"},
    {"/Fm", "/Fm<file>", "/Fmout.mml",
     "name the MML file (.mml added to a name with no dot);\n"
     "default: the SMF's name up to its first dot, then .mml",
     // .mmlファイル名を指定する。(.がなければ.mmlを付ける)\n省略時：SMFファイル名の最初の.以降を.mmlにした名前
     ".mml\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xF0\x8E\x77\x92\xE8\x82\xB7\x82\xE9\x81\x42(.\x82\xAA\x82\xC8\x82\xAF\x82\xEA\x82\xCE.mml\x82\xF0\x95\x74\x82\xAF\x82\xE9)\n"
     "\x8F\xC8\x97\xAA\x8E\x9E\x81\x46SMF\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xCC\x8D\xC5\x8F\x89\x82\xCC.\x88\xC8\x8D\x7E\x82\xF0.mml\x82\xC9\x82\xB5\x82\xBD\x96\xBC\x91\x4F"},
    {"/H /h /? --help", "/H  --help", "--help", "show this help",
     // ヘルプを表示する。
     "\x83\x77\x83\x8B\x83\x76\x82\xF0\x95\x5C\x8E\xA6\x82\xB7\x82\xE9\x81\x42"},
    {"--version", "--version", "--version", "show the version",
     // バージョンを表示する。
     "\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x82\xF0\x95\x5C\x8E\xA6\x82\xB7\x82\xE9\x81\x42"},
    {"--", "--", "--",
     "every argument after it is a file name, even one that\n"
     "begins with / or -: vantrel -- /tmp/song.mid",
     // 以降の引数はファイル名とする(/や-で始まる名前も)。\n例：vantrel -- /tmp/song.mid
     "\x88\xC8\x8D\x7E\x82\xCC\x88\xF8\x90\x94\x82\xCD\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xC6\x82\xB7\x82\xE9(/\x82\xE2-\x82\xC5\x8E\x6E\x82\xDC\x82\xE9\x96\xBC\x91\x4F\x82\xE0)\x81\x42\n"
     "\x97\xE1\x81\x46vantrel -- /tmp/song.mid"},
};

constexpr char kEnglishHead[] =
    "vantrel " VANTREL_VERSION ": converts a Standard MIDI File into MML source text\n"
    "\n"
    "Usage: vantrel [options] [--] file[.mid]\n"
    "Writes file.mml beside it. Options begin with / or -, and a value follows\n"
    "its option with no space: /C2, /Q16, /Fmout.mml.\n"
    "\n";

constexpr char kJapaneseHead[] =
    "vantrel " VANTREL_VERSION
    // ：Standard MIDI FileをMMLのソースに変換する\n
    "\x81\x46Standard MIDI File\x82\xF0MML\x82\xCC\x83\x5C\x81\x5B\x83\x58\x82\xC9\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\n"
    "\n"
    // 使い方：vantrel [オプション] [--] ファイル[.mid]\n
    "\x8E\x67\x82\xA2\x95\xFB\x81\x46vantrel [\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93] [--] \x83\x74\x83\x40\x83\x43\x83\x8B[.mid]\n"
    // ファイル.mmlに出力する。オプションは/か-で始め、値は空白を入れずに\n
    "\x83\x74\x83\x40\x83\x43\x83\x8B.mml\x82\xC9\x8F\x6F\x97\xCD\x82\xB7\x82\xE9\x81\x42\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93\x82\xCD/\x82\xA9-\x82\xC5\x8E\x6E\x82\xDF\x81\x41\x92\x6C\x82\xCD\x8B\xF3\x94\x92\x82\xF0\x93\xFC\x82\xEA\x82\xB8\x82\xC9\n"
    // 続けて書く：/C2、/Q16、/Fmout.mml\n
    "\x91\xB1\x82\xAF\x82\xC4\x8F\x91\x82\xAD\x81\x46/C2\x81\x41/Q16\x81\x41/Fmout.mml\n"
    "\n";

// The column of the options' texts.
constexpr std::size_t kTextColumn = 24;

std::string_view text(const OptionText& option, Reader reader) {
  return reader == Reader::kEnglish ? option.english : option.japanese;
}

void appendRows(std::string& out, const OptionText& option, Reader reader) {
  std::string_view lines = text(option, reader);
  std::string head = "  " + std::string(option.shown);
  if (head.size() + 2 > kTextColumn) {
    out += head + "\n";
    head.clear();
  }
  head.resize(kTextColumn, ' ');
  for (;;) {
    const std::size_t end = lines.find('\n');
    out += head;
    out += lines.substr(0, end);
    out += '\n';
    if (end == std::string_view::npos) break;
    lines.remove_prefix(end + 1);
    head.assign(kTextColumn, ' ');
  }
}

// Calls `each` with every name of `option`.
template <typename Each>
void forNames(const OptionText& option, Each each) {
  std::string_view names = option.names;
  while (!names.empty()) {
    const std::size_t space = names.find(' ');
    each(names.substr(0, space));
    names.remove_prefix(space == std::string_view::npos ? names.size() : space + 1);
  }
}

// The option named `name` exactly ("-C" finds "/C").
const OptionText* find(std::string_view name) {
  std::string key(name);
  if (key.size() > 1 && key[0] == '-' && key[1] != '-') key[0] = '/';
  for (const OptionText& option : kOptions) {
    bool found = false;
    forNames(option, [&](std::string_view each) { found = found || each == key; });
    if (found) return &option;
  }
  return nullptr;
}

bool accepted(const std::string& argument) {
  const std::string arguments[] = {argument};
  return parseCommandLine(arguments).action != CommandLine::Action::kFault;
}

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// The edits that turn `a` into `b` (letters' case aside): insertions,
// deletions, replacements and swaps of neighbours.
std::size_t distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1])) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

// A long option near `argument`'s word (after its dashes or slash), with
// what followed the word kept: "--quantise=16" gives "--quantize=16".
std::string nearestLong(std::string_view argument) {
  const std::size_t start = argument.rfind("--", 0) == 0 ? 2 : 1;
  const std::string_view body = argument.substr(start);
  const std::string_view word = body.substr(0, body.find('='));
  if (word.size() < 3) return {};
  std::string best;
  std::size_t bestDistance = word.size() >= 6 ? 3 : 2;  // what is further is no misspelling
  for (const OptionText& option : kOptions) {
    forNames(option, [&](std::string_view name) {
      if (name.size() <= 2 || name.substr(0, 2) != "--") return;
      const std::size_t d = distance(word, name.substr(2));
      if (d < bestDistance) {
        bestDistance = d;
        best = name;
      }
    });
  }
  if (best.empty()) return {};
  return best + std::string(body.substr(word.size()));
}

}  // namespace

std::span<const OptionText> optionTexts() { return kOptions; }

std::string terminalUsage(Reader reader) {
  std::string out = reader == Reader::kEnglish ? kEnglishHead : kJapaneseHead;
  for (const OptionText& option : kOptions) appendRows(out, option, reader);
  return out;
}

std::string usageRows(std::string_view start, Reader reader) {
  std::string out;
  for (const OptionText& option : kOptions) {
    bool matches = false;
    forNames(option, [&](std::string_view name) { matches = matches || name.rfind(start, 0) == 0; });
    if (matches) appendRows(out, option, reader);
  }
  return out;
}

std::string withValueAttached(std::string_view option, std::string_view value) {
  const OptionText* found = find(option);
  if (found == nullptr || value.empty()) return {};
  // The example shows how its value is attached, if it takes one.
  std::string_view name = found->names.substr(0, found->names.find(' '));
  if (found->example.size() <= name.size()) return {};
  std::string joined(option);
  if (found->example[name.size()] == '=') joined += '=';
  joined += value;
  return accepted(joined) ? joined : std::string();
}

std::string nearestOption(std::string_view argument) {
  if (argument.size() < 2) return {};
  if (argument[0] == '/' || argument[1] != '-') {
    // A short option with its letter or sub-letter in the other case: "/q16"
    // for "/Q16", "/MX" for "/Mx".
    for (std::size_t at = 1; at < 3 && at < argument.size(); ++at) {
      std::string other(argument);
      const auto c = static_cast<unsigned char>(other[at]);
      other[at] = static_cast<char>(std::isupper(c) ? std::tolower(c) : std::toupper(c));
      if (other[at] != argument[at] && accepted(other)) return other;
    }
  }
  return nearestLong(argument);
}

}  // namespace vantrel
