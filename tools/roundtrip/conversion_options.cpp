#include "tools/roundtrip/conversion_options.h"

#include <algorithm>
#include <cctype>

namespace vantrel::roundtrip {
namespace {

// A decimal integer after the option letter, as a formatted scan reads it:
// white space, a sign, digits, and whatever follows ignored.
bool readInteger(const std::string& text, std::int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t magnitude = 0;
  std::size_t digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
    if (magnitude < (std::int64_t{1} << 40)) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (digits == 0) return false;
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

// The value after /Q or --quantize=: a note value of digits, or nothing,
// "a" or "auto" for the program's choice. A value of no digits or 0 is
// refused by vantrel before it reads the file; the first such option ends
// the options (vantrel stops at it).
void readGrid(const std::string& argument, const std::string& value,
              ConversionOptions& options) {
  options.gridArgument = argument;
  if (value.empty() || value == "a" || value == "auto") {
    options.gridNote = kAutoGridNote;
    return;
  }
  std::uint64_t note = 0;
  for (char c : value) {
    if (c < '0' || c > '9') {
      options.gridValueRefused = true;
      return;
    }
    // Past any whole note's ticks (4 × 65535) the value divides nothing.
    note = std::min<std::uint64_t>(note * 10 + static_cast<std::uint64_t>(c - '0'), 1u << 20);
  }
  if (note == 0) options.gridValueRefused = true;
  options.gridNote = static_cast<std::uint32_t>(note);
}

}  // namespace

bool parseOptions(const std::vector<std::string>& arguments, ConversionOptions& options,
                  std::string& reason) {
  for (const std::string& argument : arguments) {
    if (options.gridValueRefused) break;
    if (argument == "--quantize" || argument.rfind("--quantize=", 0) == 0) {
      readGrid(argument, argument.size() > 11 ? argument.substr(11) : "", options);
      continue;
    }
    if (argument == "--voices") {
      options.voices = true;
      continue;
    }
    if (argument.rfind("--velocity-step=", 0) == 0) {
      const std::string value = argument.substr(16);
      std::int32_t step = 0;
      if (value.empty() || value.size() > 3 ||
          value.find_first_not_of("0123456789") != std::string::npos ||
          !readInteger(value, step) || step < 1 || step > 127) {
        reason = "--velocity-step needs a number from 1 to 127";
        return false;
      }
      options.velocityStep = static_cast<std::uint32_t>(step);
      continue;
    }
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) {
      reason = "not an option: '" + argument + "'";
      return false;
    }
    const char third = argument.size() > 2 ? argument[2] : '\0';
    switch (argument[1]) {
      case 'J':
        options.kana = true;
        break;
      case 'B':
        if (third != '+' && third != '-') {
          reason = "/B needs + or -";
          return false;
        }
        options.barLines = third == '+';
        break;
      case 'C':
        if (!readInteger(argument.substr(2), options.lineBars)) {
          reason = "/C needs a number";
          return false;
        }
        break;
      case 'A':
        if (!readInteger(argument.substr(2), options.pickupTicks) || options.pickupTicks < 0) {
          reason = "/A needs a number of ticks";
          return false;
        }
        break;
      case 'M':
        switch (third) {
          case 'A':
            options.filterMask = 0xFFFF;
            break;
          case 'a':
            options.filterMask |= kLeaveOutKeyPressure | kLeaveOutChannelPressure;
            break;
          case 'b':
            options.filterMask |= kLeaveOutPitchBend;
            break;
          case 'c':
            options.filterMask |= kLeaveOutControlChange;
            break;
          case 'm':
            options.filterMask |= kLeaveOutMeta;
            break;
          case 'p':
            options.filterMask |= kLeaveOutProgramChange;
            break;
          case 'x':
            options.filterMask |= kLeaveOutSysEx | kLeaveOutSysExEscape;
            break;
          default:
            reason = "unknown /M letter in '" + argument + "'";
            return false;
        }
        break;
      case 'Q':
        readGrid(argument, argument.substr(2), options);
        break;
      case 'F':
        if (third != 'm' || argument.size() < 4) {
          reason = "/F needs m and a file name";
          return false;
        }
        break;
      default:
        reason = "not an option of a conversion: '" + argument + "'";
        return false;
    }
  }
  return true;
}

}  // namespace vantrel::roundtrip
