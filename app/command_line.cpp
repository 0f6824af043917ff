#include "app/command_line.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "app/messages.h"
#include "app/version.h"

namespace vantrel {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a decimal integer as a formatted scan does (white space, sign, digits,
// anything after the digits ignored). False when there are no digits or the
// number does not fit 32 bits.
bool scanInteger(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t magnitude = 0;
  std::size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 0x80000000LL) return false;
  }
  if (digits == 0) return false;
  std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT32_MAX || signedValue < INT32_MIN) return false;
  value = static_cast<std::int32_t>(signedValue);
  return true;
}

bool hasDot(const std::string& name) { return name.find('.') != std::string::npos; }

// Where the last path component of `name` begins.
std::size_t lastComponent(const std::string& name) {
#ifdef _WIN32
  const char* separators = "/\\";
#else
  const char* separators = "/";
#endif
  const std::size_t separator = name.find_last_of(separators);
  return separator == std::string::npos ? 0 : separator + 1;
}

// What the user asked for besides a conversion.
struct Requests {
  bool help = false;
  bool version = false;
};

Fault badOption(const char* text) { return Fault{FaultKind::kBadOption, 0, text}; }

// The grid of /Q<value> or --quantize=<value>: a note value of digits only,
// or "a" or "auto" (or nothing) for one chosen from the file. Whether its
// step is whole is known only with the file's time base.
Fault applyGrid(std::string_view arg, std::string_view value, Options& options) {
  options.gridArgument = arg;
  if (value.empty() || value == "a" || value == "auto") {
    options.settings.gridNote = kAutoGrid;
    return {};
  }
  std::uint32_t note = 0;
  for (char c : value) {
    if (c < '0' || c > '9' || note > 100000) return Fault(FaultKind::kBadGrid, 0, std::string(arg));
    note = note * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (note == 0) return Fault(FaultKind::kBadGrid, 0, std::string(arg));
  options.settings.gridNote = note;
  return {};
}

// The numbers of a list such as "1-3,5" into `numbers` (ascending, each
// once): numbers from `least` to `most`, or ranges of them. False for
// anything else, an empty list included.
bool parseList(std::string_view text, std::uint32_t least, std::uint32_t most,
               std::vector<std::uint32_t>& numbers) {
  std::vector<bool> chosen(most + 1, false);
  auto number = [&](std::string_view& rest, std::uint32_t& value) {
    std::size_t digits = 0;
    value = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') {
      value = value * 10 + static_cast<std::uint32_t>(rest[digits] - '0');
      if (value > most) return false;
      ++digits;
    }
    rest.remove_prefix(digits);
    return digits > 0 && value >= least;
  };
  if (text.empty()) return false;
  for (;;) {
    std::uint32_t first = 0, last = 0;
    if (!number(text, first)) return false;
    last = first;
    if (!text.empty() && text[0] == '-') {
      text.remove_prefix(1);
      if (!number(text, last) || last < first) return false;
    }
    for (std::uint32_t n = first; n <= last; ++n) chosen[n] = true;
    if (text.empty()) break;
    if (text[0] != ',') return false;
    text.remove_prefix(1);
  }
  numbers.clear();
  for (std::uint32_t n = least; n <= most; ++n) {
    if (chosen[n]) numbers.push_back(n);
  }
  return true;
}

// --tracks=LIST (tracks from 0, as TR(n) numbers them) or --channels=LIST
// (1 to 16); the fault of a list that is none.
Fault applyChoice(const std::string& arg, Options& options) {
  const bool tracks = arg.rfind("--tracks=", 0) == 0;
  const std::string_view list = std::string_view(arg).substr(tracks ? 9 : 11);
  (tracks ? options.tracksArgument : options.channelsArgument) = arg;
  std::vector<std::uint32_t>& numbers = tracks ? options.settings.tracks : options.settings.channels;
  if (!parseList(list, tracks ? 0 : 1, tracks ? 65535 : 16, numbers)) {
    return Fault(FaultKind::kBadList, 0, arg);
  }
  return {};
}

// Applies the option `arg`; the fault of one that is refused.
Fault applyOption(std::string_view arg, Options& options, Requests& requests) {
  Settings& settings = options.settings;
  const char letter = arg.size() > 1 ? arg[1] : '\0';
  const char third = arg.size() > 2 ? arg[2] : '\0';
  switch (letter) {
    case '?':
    case 'H':
    case 'h':
      requests.help = true;
      return {};
    case 'J':
      settings.dialect = Dialect::kKana;
      return {};
    case 'B':
      if (third != '+' && third != '-') return badOption("/B");
      settings.barLines = third == '+';
      return {};
    case 'C':
      return scanInteger(arg.substr(2), settings.lineBars) ? Fault{} : badOption("/C");
    case 'A':
      // A pickup is a length; a negative one has no meaning.
      if (!scanInteger(arg.substr(2), settings.pickupTicks) || settings.pickupTicks < 0) {
        return badOption("/A");
      }
      return {};
    case 'M':
      switch (third) {
        case 'A': settings.filterMask = 0xFFFF; return {};
        case 'a': settings.filterMask |= kFilterKeyPressure | kFilterChannelPressure; return {};
        case 'b': settings.filterMask |= kFilterPitchBend; return {};
        case 'c': settings.filterMask |= kFilterControlChange; return {};
        case 'm': settings.filterMask |= kFilterMeta; return {};
        case 'p': settings.filterMask |= kFilterProgramChange; return {};
        case 'x': settings.filterMask |= kFilterSysEx | kFilterSysExEscape; return {};
        default: return badOption("/M");
      }
    case 'Q':
      return applyGrid(arg, arg.substr(2), options);
    case 'F':
      if (arg.size() < 4) return Fault{FaultKind::kNoOutputName};
      if (third != 'm') return badOption("/F");
      if (!options.outputName.empty()) return Fault{FaultKind::kSecondOutputName};
      options.outputName = arg.substr(3);
      if (!hasDot(options.outputName)) options.outputName += ".mml";
      return {};
    default:
      return badOption("");
  }
}

// The cap of --max-output=<size>: a number of bytes, or of kibibytes,
// mebibytes or gibibytes with K, M or G after it.
Fault applyOutputLimit(std::string_view value, Options& options) {
  std::uint64_t unit = 1;
  if (!value.empty()) {
    switch (value.back()) {
      case 'K': case 'k': unit = std::uint64_t{1} << 10; break;
      case 'M': case 'm': unit = std::uint64_t{1} << 20; break;
      case 'G': case 'g': unit = std::uint64_t{1} << 30; break;
      default: break;
    }
    if (unit != 1) value.remove_suffix(1);
  }
  std::uint64_t number = 0;
  for (char c : value) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (c < '0' || c > '9' || number > (UINT64_MAX - digit) / 10) return badOption("--max-output");
    number = number * 10 + digit;
  }
  if (value.empty() || number > UINT64_MAX / unit) return badOption("--max-output");
  options.outputLimit = number * unit;
  return {};
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string> arguments) {
  CommandLine line;
  Options& options = line.options;
  Requests requests;
  bool optionsEnded = false;   // a "--" has been met
  bool nameAfterEnd = false;   // the input was named after it
  std::size_t nameAt = 0, outputAt = 0;  // the arguments that named them
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::string& arg = arguments[at];
    const bool hadOutput = !options.outputName.empty();
    Fault fault;
    const bool isName = optionsEnded || arg.empty() || (arg[0] != '/' && arg[0] != '-');
    if (isName && !options.inputName.empty()) {
      fault = Fault{FaultKind::kSecondSmfName};
    } else if (isName) {
      // After "--" only the last path component counts: "my.songs/tune" reads
      // "my.songs/tune.mid". Before it, any dot does, as it always has.
      options.inputName = inputNameOf(arg, optionsEnded);
      nameAfterEnd = optionsEnded;
      nameAt = at;
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help") {
      requests.help = true;
    } else if (arg == "--version") {
      requests.version = true;
    } else if (arg.rfind("--tracks=", 0) == 0 || arg.rfind("--channels=", 0) == 0) {
      fault = applyChoice(arg, options);
    } else if (arg.rfind("--max-output=", 0) == 0) {
      fault = applyOutputLimit(std::string_view(arg).substr(13), options);
    } else if (arg == "--quantize" || arg.rfind("--quantize=", 0) == 0) {
      fault = applyGrid(arg, arg.size() > 11 ? std::string_view(arg).substr(11) : "", options);
    } else {
      fault = applyOption(arg, options, requests);
    }
    if (fault) {
      line.action = CommandLine::Action::kFault;
      Refusal& refusal = line.refusal;
      refusal.argument = arg;
      if (at > 0) refusal.before = arguments[at - 1];
      if (at + 1 < arguments.size()) refusal.next = arguments[at + 1];
      const bool twice = fault.kind == FaultKind::kSecondSmfName || fault.kind == FaultKind::kSecondOutputName;
      if (twice) {
        const std::size_t first = fault.kind == FaultKind::kSecondSmfName ? nameAt : outputAt;
        refusal.first = arguments[first];
        if (first > 0) refusal.beforeFirst = arguments[first - 1];
      }
      line.fault = std::move(fault);
      return line;
    }
    if (!hadOutput && !options.outputName.empty()) outputAt = at;
    if (requests.help && line.helpArgument.empty()) line.helpArgument = arg;
  }
  if (requests.help) {
    line.action = CommandLine::Action::kUsage;
  } else if (requests.version) {
    line.action = CommandLine::Action::kVersion;
  } else if (options.inputName.empty()) {
    line.action = CommandLine::Action::kUsage;
  } else if (options.outputName.empty()) {
    options.outputName = outputNameOf(options.inputName, nameAfterEnd);
  }
  return line;
}

std::string inputNameOf(const std::string& name, bool afterDashes) {
  // After "--" only the last path component counts: "my.songs/tune" reads
  // "my.songs/tune.mid". Before it, any dot does, as it always has.
  const std::size_t component = afterDashes ? lastComponent(name) : 0;
  return name.find('.', component) == std::string::npos ? name + ".mid" : name;
}

std::string outputNameOf(const std::string& inputName, bool afterDashes) {
  // A name given after "--" has the extension of its last component
  // replaced ("my.songs/tune.v2.mid" writes "my.songs/tune.v2.mml"); the old
  // way, the first dot counts even in a folder's name ("../x.mid" writes
  // ".mml").
  const std::size_t dot = afterDashes ? inputName.rfind('.') : inputName.find('.');
  return inputName.substr(0, dot) + ".mml";
}

Options optionsFor(const std::string& name, const Settings& settings) {
  Options options;
  options.settings = settings;
  options.inputName = inputNameOf(name, false);
  options.outputName = outputNameOf(options.inputName, false);
  return options;
}

std::string versionText() { return "vantrel " VANTREL_VERSION "\n"; }

std::string usageText() {
  std::string text =
      "Marlune Music Macro Language un-compiler for Standard MIDI File\r\n"
      "vantrel version " VANTREL_VERSION "\r\n"
      "\n\rvantrel [ /options ] [file(.mid)]\r\n";
  text.append(messages::kUsageOptions, sizeof messages::kUsageOptions - 1);
  return text;
}

}  // namespace vantrel
