// The program's own texts as a UTF-8 terminal shows them: every character of
// every message and of both usage texts is known to the converter.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/cp932.h"
#include "app/option_texts.h"
#include "app/terminal_messages.h"
#include "util/fault.h"

namespace vantrel {
namespace {

TEST(Cp932, EveryProgramTextConverts) {
  std::vector<std::string> texts = {std::string(optionFaultPrefix()),
                                    std::string(dataFaultPrefix()), usageText(),
                                    terminalUsage(Reader::kJapanese),
                                    terminalTexts(Reader::kJapanese)};
  for (int kind = 1; kind <= static_cast<int>(FaultKind::kBadMetaEvent); ++kind) {
    texts.emplace_back(faultText(static_cast<FaultKind>(kind)));
  }
  for (const std::string& text : texts) {
    EXPECT_EQ(cp932ToUtf8(text).find("\xEF\xBF\xBD"), std::string::npos) << cp932ToUtf8(text);
  }
  EXPECT_EQ(cp932ToUtf8(faultText(FaultKind::kFormat0Tracks)),
            "Format 0なのに、複数のトラックがあります。\n");
  EXPECT_EQ(cp932ToUtf8("\t\x81\x40\x81\xA6x"), "\t　※x");
  // Text from elsewhere is not the program's: its unknown characters show as such.
  EXPECT_EQ(cp932ToUtf8("\x88\x9F" "a\x82"), "\xEF\xBF\xBD" "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace vantrel
