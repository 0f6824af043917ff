// The table of options that the terminal's usage and hints are made from:
// complete, its examples taken by the parser; its lines and the messages'
// within a terminal's width, the English in ASCII.

#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/option_texts.h"
#include "app/terminal_messages.h"

namespace vantrel {
namespace {

bool refused(const std::string& argument, bool unknownOnly) {
  const std::string arguments[] = {argument};
  const CommandLine line = parseCommandLine(arguments);
  if (line.action != CommandLine::Action::kFault) return false;
  return !unknownOnly || (line.fault.kind == FaultKind::kBadOption && line.fault.subject.empty());
}

TEST(OptionTexts, EveryOptionListedEveryExampleTakenEveryLineFits) {
  for (char letter = '!'; letter <= '~'; ++letter) {
    const std::string option = std::string("/") + letter;
    bool listed = false;
    for (const OptionText& text : optionTexts()) {
      for (std::size_t at = 0; at != std::string_view::npos && !listed;) {
        listed = text.names.substr(at, option.size()) == option;
        at = text.names.find(' ', at);
        if (at != std::string_view::npos) ++at;
      }
    }
    EXPECT_EQ(listed, !refused(option, true)) << option;
  }
  for (const OptionText& text : optionTexts()) {
    EXPECT_FALSE(refused(std::string(text.example), false)) << text.example;
  }
  // In code page 932 a double-byte character takes two columns, a byte each.
  for (const Reader reader : {Reader::kEnglish, Reader::kJapanese}) {
    const std::string usage = terminalUsage(reader) + terminalTexts(reader);
    for (std::size_t start = 0, end; (end = usage.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = usage.substr(start, end - start);
      EXPECT_LE(line.size(), 79u) << line;
      if (reader == Reader::kEnglish) {
        for (char c : line) EXPECT_GT(static_cast<signed char>(c), 0) << line;
      }
    }
  }
}

}  // namespace
}  // namespace vantrel
