// The options a person can type, each with its lines of the usage in English
// and in Japanese. The usage a terminal shows and the hints given for a
// refused argument both come from this one table, so that an option added
// here is listed and suggested alike.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/console.h"

namespace vantrel {

struct OptionText {
  std::string_view names;    // what an argument begins with, by spaces: "/H /h /? --help"
  std::string_view shown;    // as the usage shows it: "/C<n>"
  std::string_view example;  // a whole argument the program takes: "/C2"
  std::string_view english;  // its lines in the usage, ASCII, "\n" between lines
  std::string_view japanese; // the same in code page 932
};

std::span<const OptionText> optionTexts();

// The usage a person at a terminal reads: every option, in the reader's
// language (Japanese as code page 932).
std::string terminalUsage(Reader reader);

// The usage's lines of the options whose names begin with `start` ("/M":
// every /M option).
std::string usageRows(std::string_view start, Reader reader);

// `option` as the user typed it ("/Q", "-C", "--quantize") with `value`
// attached as the program takes it ("/Q16", "--quantize=16"); "" when the
// option takes no value or the program would refuse the result.
std::string withValueAttached(std::string_view option, std::string_view value);

// The option that a refused `argument` most likely meant, written as the
// user would have ("/q16": "/Q16", "/MX": "/Mx", "--quantise=16":
// "--quantize=16"); "" when none is near.
std::string nearestOption(std::string_view argument);

}  // namespace vantrel
