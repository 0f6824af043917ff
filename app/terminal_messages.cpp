#include "app/terminal_messages.h"

#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "app/option_texts.h"

namespace vantrel {
namespace {

// A message in both languages. %1, %2 stand for arguments, written as the
// user typed them; '%' is never part of a double-byte character, so the
// Japanese (code page 932) can hold them too.
struct Words {
  std::string_view english;
  std::string_view japanese;
};

constexpr Words kRefused = {
    "Invalid argument: %1\n",
    // オプションが不正です。：%1\n
    "\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7\x81\x42\x81\x46%1\n"};
constexpr Words kNoSuchOption = {
    "  There is no such option; vantrel --help lists them all.\n",
    //   そのようなオプションはありません。vantrel --help で一覧を表示します。\n
    "  \x82\xBB\x82\xCC\x82\xE6\x82\xA4\x82\xC8\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42vantrel --help \x82\xC5\x88\xEA\x97\x97\x82\xF0\x95\x5C\x8E\xA6\x82\xB5\x82\xDC\x82\xB7\x81\x42\n"};
constexpr Words kDidYouMean = {
    "  Did you mean %1?\n",
    //   %1 のことですか？\n
    "  %1 \x82\xCC\x82\xB1\x82\xC6\x82\xC5\x82\xB7\x82\xA9\x81\x48\n"};
constexpr Words kPathNeedsDashes = {
    "  A file name that begins with %2 needs -- before it: vantrel -- %1\n",
    //   %2 で始まるファイル名の前には -- を置きます：vantrel -- %1\n
    "  %2 \x82\xC5\x8E\x6E\x82\xDC\x82\xE9\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xCC\x91\x4F\x82\xC9\x82\xCD -- \x82\xF0\x92\x75\x82\xAB\x82\xDC\x82\xB7\x81\x46vantrel -- %1\n"};
constexpr Words kValueAttached = {
    "  %1 takes its value attached, with no space: %2\n",
    //   %1 の値は空白を入れずに続けて書きます：%2\n
    "  %1 \x82\xCC\x92\x6C\x82\xCD\x8B\xF3\x94\x92\x82\xF0\x93\xFC\x82\xEA\x82\xB8\x82\xC9\x91\xB1\x82\xAF\x82\xC4\x8F\x91\x82\xAB\x82\xDC\x82\xB7\x81\x46%2\n"};
constexpr Words kReadAsOption = {
    "%1 was read as the option %2.\n",
    // %1 はオプション %2 と解釈しました。\n
    "%1 \x82\xCD\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93 %2 \x82\xC6\x89\xF0\x8E\xDF\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42\n"};
constexpr Words kSmfTwice = {
    "  The SMF file is named twice: %1, then %2.\n",
    //   SMFファイルが2回以上指定されました：%1、%2\n
    "  SMF\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA" "2\x89\xF1\x88\xC8\x8F\xE3\x8E\x77\x92\xE8\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD\x81\x46%1\x81\x41%2\n"};
constexpr Words kMmlWithFm = {
    "  The MML file is named with /Fm: /Fm%1\n",
    //   MMLファイル名は/Fmで指定します：/Fm%1\n
    "  MML\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xCD/Fm\x82\xC5\x8E\x77\x92\xE8\x82\xB5\x82\xDC\x82\xB7\x81\x46/Fm%1\n"};
constexpr Words kMmlTwice = {
    "  The MML file is named twice: %1, then %2.\n",
    //   MMLファイルが2回以上指定されました：%1、%2\n
    "  MML\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA" "2\x89\xF1\x88\xC8\x8F\xE3\x8E\x77\x92\xE8\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD\x81\x46%1\x81\x41%2\n"};
constexpr Words kBadGrid = {
    "  The grid's note value is a whole number that divides the ticks of a\n"
    "  whole note in the file, or auto:\n",
    //   クオンタイズの音価は、全音符のtick数を割り切る正の整数かautoです。\n
    "  \x83\x4E\x83\x49\x83\x93\x83\x5E\x83\x43\x83\x59\x82\xCC\x89\xB9\x89\xBF\x82\xCD\x81\x41\x91\x53\x89\xB9\x95\x84\x82\xCCtick\x90\x94\x82\xF0\x8A\x84\x82\xE8\x90\xD8\x82\xE9\x90\xB3\x82\xCC\x90\xAE\x90\x94\x82\xA9" "auto\x82\xC5\x82\xB7\x81\x42\n"};

constexpr Words kBadList = {
    "  A list of numbers is written as 1-3,5 (tracks from 0, channels 1 to 16):\n",
    //   番号の並びは 1-3,5 のように書きます。\n
    "  \x94\xD4\x8D\x86\x82\xCC\x95\xC0\x82\xD1\x82\xCD 1-3,5 \x82\xCC\x82\xE6\x82\xA4\x82\xC9\x8F\x91\x82\xAB\x82\xDC\x82\xB7\x81\x42\n"};
constexpr Words kNoSuchTrack = {
    "  The file has no such track (its tracks are numbered from 0).\n",
    //   指定したトラックはこのファイルにありません。\n
    "  \x8E\x77\x92\xE8\x82\xB5\x82\xBD\x83\x67\x83\x89\x83\x62\x83\x4E\x82\xCD\x82\xB1\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC9\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42\n"};
constexpr Words kNoSuchChannel = {
    "  A channel named there has no events in this file.\n",
    //   指定したチャンネルはこのファイルで使われていません。\n
    "  \x8E\x77\x92\xE8\x82\xB5\x82\xBD\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B\x82\xCD\x82\xB1\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC5\x8E\x67\x82\xED\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x81\x42\n"};
constexpr Words kNothingChosen = {
    "  Those tracks and channels hold no notes or channel messages.\n",
    //   指定したトラックとチャンネルには音符もチャンネルメッセージもありません。\n
    "  \x8E\x77\x92\xE8\x82\xB5\x82\xBD\x83\x67\x83\x89\x83\x62\x83\x4E\x82\xC6\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B\x82\xC9\x82\xCD\x89\xB9\x95\x84\x82\xE0\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B\x83\x81\x83\x62\x83\x5A\x81\x5B\x83\x57\x82\xE0\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42\n"};

// Every message above, for terminalTexts.
constexpr const Words* kAllWords[] = {&kRefused,      &kNoSuchOption, &kDidYouMean, &kPathNeedsDashes,
                                       &kValueAttached, &kReadAsOption, &kSmfTwice,   &kMmlWithFm,
                                       &kMmlTwice,      &kBadGrid,      &kBadList,    &kNoSuchTrack,
                                       &kNoSuchChannel, &kNothingChosen};

// The English texts of the other faults; in Japanese the program's own.
constexpr char kDataFault[] = "The SMF file's data is invalid: ";
constexpr char kOutputIsInput[] = "%1: this is the SMF file itself; the MML cannot be written over it.\n";
constexpr char kOutputTooLong[] =
    "%1: the MML would pass the cap of --max-output, so nothing was written.\n";

struct DataText {
  FaultKind kind;
  const char* english;
};

constexpr DataText kDataTexts[] = {
    {FaultKind::kNoMThd, "no MThd chunk (not a Standard MIDI File)."},
    {FaultKind::kFormat2, "format 2 is not supported."},
    {FaultKind::kUnknownFormat, "the format is unknown."},
    {FaultKind::kNoTracks, "it has no tracks."},
    {FaultKind::kFormat0Tracks, "format 0, yet more than one track."},
    {FaultKind::kZeroDivision, "the time base is 0 ticks."},
    {FaultKind::kSmpteDivision, "time in seconds (SMPTE) is not supported."},
    {FaultKind::kNoMTrk, "an MTrk chunk is missing."},
    {FaultKind::kTrackCutShort, "the file ends in the middle of a track."},
    {FaultKind::kInvalidMidiEvent, "an invalid MIDI event."},
    {FaultKind::kBadSequenceNumber, "an invalid sequence number."},
    {FaultKind::kBadChannelPrefix, "an invalid channel prefix."},
    {FaultKind::kBadPort, "an invalid port number."},
    {FaultKind::kBadEndOfTrack, "an invalid End of Track."},
    {FaultKind::kBadTempo, "an invalid Tempo."},
    {FaultKind::kBadSmpteOffset, "an invalid SMPTE offset."},
    {FaultKind::kBadTimeSignature, "an invalid time signature."},
    {FaultKind::kBadKeySignature, "an invalid key signature."},
    {FaultKind::kBadMetaEvent, "an invalid Meta Event."},
};

// Writes `text` (the program's) with each %n replaced by arguments[n - 1]
// (the user's).
void say(Console& err, std::string_view text, std::initializer_list<std::string_view> arguments) {
  std::size_t piece = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const std::size_t n = static_cast<std::size_t>(text[i + 1] - '0');
    if (text[i] != '%' || n < 1 || n > arguments.size()) continue;
    err.writeText(text.substr(piece, i - piece));
    const std::string_view argument = arguments.begin()[n - 1];
    err.write(argument.data(), argument.size());
    piece = i + 2;
    ++i;
  }
  err.writeText(text.substr(piece));
}

void say(Console& err, const Words& words, std::initializer_list<std::string_view> arguments = {}) {
  say(err, err.reader() == Reader::kEnglish ? words.english : words.japanese, arguments);
}

// A file's name where an option was looked for: a path ("/tmp/x/song.mid",
// "-take2/song") or a name that ends as an SMF's does.
bool looksLikeFile(std::string_view argument) {
  if (argument.find('/', 1) != std::string_view::npos) return true;
  const std::size_t dot = argument.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string extension;
  for (char c : argument.substr(dot + 1)) {
    extension += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return extension == "mid" || extension == "midi" || extension == "smf" || extension == "rmi";
}

// What a refused option was expected to be: its value attached, its right
// spelling, or else its lines of the usage.
void sayExpected(Console& err, const Fault& fault, const Refusal& refusal) {
  const std::string& argument = refusal.argument;
  const char prefix[] = {argument[0], '\0'};
  if (looksLikeFile(argument)) {
    say(err, kPathNeedsDashes, {argument, prefix});
    return;
  }
  // The option as the user typed it, without its value: "/B", "-C",
  // "--max-output"; /F is always /Fm.
  std::string option;
  if (fault.kind == FaultKind::kBadOption && fault.subject.empty()) {
    const std::string nearest = nearestOption(argument);
    if (nearest.empty()) {
      say(err, kNoSuchOption);
      return;
    }
    if (nearest != argument) {
      say(err, kDidYouMean, {nearest});
      return;
    }
    option = argument;  // a long option's right name, its value missing
  } else if (fault.subject.rfind("--", 0) == 0) {
    option = fault.subject;
  } else {
    option = argument.substr(0, 2);
    if (option[1] == 'F') option += 'm';
  }
  if (argument.size() <= option.size()) {
    const std::string attached = withValueAttached(option, refusal.next);
    if (!attached.empty()) {
      say(err, kValueAttached, {option, attached});
      return;
    }
  }
  const bool isShort = option[1] != '-';
  if (isShort) {
    // "/Mx" for "/MX", "/Fmout" for "/FMout".
    const std::string nearest = nearestOption(argument);
    if (!nearest.empty()) {
      say(err, kDidYouMean, {nearest});
      return;
    }
  }
  if (isShort) option[0] = '/';  // "-C" lists "/C"
  err.writeText(usageRows(option, err.reader()));
}

}  // namespace

std::string terminalTexts(Reader reader) {
  std::string all;
  for (const Words* words : kAllWords) {
    all += reader == Reader::kEnglish ? words->english : words->japanese;
  }
  if (reader == Reader::kEnglish) {
    for (const DataText& text : kDataTexts) all.append(kDataFault).append(text.english).append("\n");
    all += kOutputIsInput;
    all += kOutputTooLong;
  }
  return all;
}

void noteAfterUsage(Console& out, const CommandLine& line) {
  const std::string& argument = line.helpArgument;
  if (argument.size() < 2 || argument[0] != '/' || !looksLikeFile(argument)) return;
  // "/home/me/song.mid" is /h.
  say(out, kReadAsOption, {argument, argument.substr(0, 2)});
  say(out, kPathNeedsDashes, {argument, "/"});
  out.flush();
}

bool reportToPerson(Console& err, const Fault& fault, const Refusal& refusal) {
  const bool english = err.reader() == Reader::kEnglish;
  switch (fault.kind) {
    case FaultKind::kNone:
      return true;
    case FaultKind::kBadOption:
    case FaultKind::kNoOutputName:
      say(err, kRefused, {refusal.argument});
      sayExpected(err, fault, refusal);
      break;
    case FaultKind::kSecondSmfName: {
      say(err, kRefused, {refusal.argument});
      say(err, kSmfTwice, {refusal.first, refusal.argument});
      // "/Q 16 song" or "song /Q 16": the 16 was meant for the /Q.
      for (const auto& [option, value] : {std::pair(refusal.beforeFirst, refusal.first),
                                          std::pair(refusal.before, refusal.argument)}) {
        const std::string attached = withValueAttached(option, value);
        if (!attached.empty()) say(err, kValueAttached, {option, attached});
      }
      const std::size_t dot = refusal.argument.rfind('.');
      if (dot != std::string::npos && refusal.argument.substr(dot) == ".mml") {
        say(err, kMmlWithFm, {refusal.argument});
      }
      break;
    }
    case FaultKind::kSecondOutputName:
      say(err, kRefused, {refusal.argument});
      say(err, kMmlTwice, {refusal.first, refusal.argument});
      break;
    case FaultKind::kBadGrid:
      say(err, kRefused, {fault.subject});
      say(err, kBadGrid);
      err.writeText(usageRows("/Q", err.reader()) + usageRows("--quantize", err.reader()));
      break;
    case FaultKind::kBadList:
    case FaultKind::kNoSuchTrack:
    case FaultKind::kNoSuchChannel:
    case FaultKind::kNothingChosen: {
      say(err, kRefused, {fault.subject});
      say(err, fault.kind == FaultKind::kBadList       ? kBadList
               : fault.kind == FaultKind::kNoSuchTrack ? kNoSuchTrack
               : fault.kind == FaultKind::kNoSuchChannel ? kNoSuchChannel
                                                         : kNothingChosen);
      const bool tracks = fault.subject.rfind("--tracks", 0) == 0;
      err.writeText(usageRows(tracks ? "--tracks" : "--channels", err.reader()));
      break;
    }
    case FaultKind::kFileError:
      return false;
    case FaultKind::kOutputIsInput:
    case FaultKind::kOutputTooLong:
      if (!english) return false;
      say(err, fault.kind == FaultKind::kOutputIsInput ? kOutputIsInput : kOutputTooLong, {fault.subject});
      break;
    default: {
      if (!english) return false;
      const DataText* found = nullptr;
      for (const DataText& text : kDataTexts) {
        if (text.kind == fault.kind) found = &text;
      }
      // A fault without English words of its own gets the program's.
      if (found == nullptr) return false;
      err.writeText(std::string(kDataFault).append(found->english).append("\n"));
      break;
    }
  }
  err.flush();
  return true;
}

}  // namespace vantrel
