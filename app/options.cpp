#include "app/options.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/fault.h"
#include "app/messages.h"
#include "app/native_path.h"
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

void writeStdout(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

void printUsage() {
  writeStdout("Marlune Music Macro Language un-compiler for Standard MIDI File\r\n");
  writeStdout("vantrel version " VANTREL_VERSION "\r\n");
  writeStdout("\n\rvantrel [ /options ] [file(.mid)]\r\n");
  writeStdout(messages::kUsageOptions);
  std::fflush(stdout);
  std::exit(0);
}

Options::Options(int argc, char** argv) {
  parseArguments(argc, argv);
  if (helpRequested || input.name.empty()) printUsage();
  deriveOutputName();
  announceNames();
  openFiles();
}

void Options::parseArguments(int argc, char** argv) {
  for (int a = 1; a < argc; ++a) {
    std::string_view arg = argv[a];
    if (arg.empty() || (arg[0] != '/' && arg[0] != '-')) {
      if (!input.name.empty()) optionError(messages::kSecondSmfName);
      input.name = arg;
      if (!hasDot(input.name)) input.name += ".mid";
      continue;
    }
    char letter = arg.size() > 1 ? arg[1] : '\0';
    char third = arg.size() > 2 ? arg[2] : '\0';
    switch (letter) {
      case '?':
      case 'H':
      case 'h':
        helpRequested = 1;
        break;
      case 'J':
        dialect = 1;
        break;
      case 'B':
        if (third == '+') {
          barLines = 1;
        } else if (third == '-') {
          barLines = 0;
        } else {
          optionError("/B");
        }
        break;
      case 'C':
        if (!scanInteger(arg.substr(2), lineBars)) optionError("/C");
        break;
      case 'A':
        // A pickup is a length; a negative one has no meaning.
        if (!scanInteger(arg.substr(2), pickupTicks) || pickupTicks < 0) optionError("/A");
        break;
      case 'M':
        switch (third) {
          case 'A': filterMask = 0xFFFF; break;
          case 'a': filterMask |= kFilterKeyPressure | kFilterChannelPressure; break;
          case 'b': filterMask |= kFilterPitchBend; break;
          case 'c': filterMask |= kFilterControlChange; break;
          case 'm': filterMask |= kFilterMeta; break;
          case 'p': filterMask |= kFilterProgramChange; break;
          case 'x': filterMask |= kFilterSysEx | kFilterSysExEscape; break;
          default: optionError("/M");
        }
        break;
      case 'F':
        if (arg.size() < 4) optionError(messages::kNoOutputName);
        if (third != 'm') optionError("/F");
        if (!output.name.empty()) optionError(messages::kSecondOutputName);
        output.name = arg.substr(3);
        if (!hasDot(output.name)) output.name += ".mml";
        break;
      default:
        optionError("");
    }
  }
}

void Options::deriveOutputName() {
  if (!output.name.empty()) return;
  output.name = input.name.substr(0, input.name.find('.')) + ".mml";
}

void Options::announceNames() const {
  std::string lines = "SMF = " + input.name + "\nMML = " + output.name + "\n";
  writeStdout(lines);
  std::fflush(stdout);
}

void Options::openFiles() {
  input.openOrExit(std::ios::in | std::ios::binary);
  input.readWhole();

  // Writing onto the input would destroy it before it is converted.
  std::error_code error;
  if (std::filesystem::equivalent(nativePath(input.name), nativePath(output.name), error)) {
    failWith(output.name + ": " + messages::kOutputIsInput + "\n");
  }
  output.openOrExit(std::ios::out | std::ios::binary | std::ios::trunc);
}

}  // namespace vantrel
