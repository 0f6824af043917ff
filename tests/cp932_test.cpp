// The program's own texts as a UTF-8 terminal shows them: every character of
// every message and of the usage text is known to the converter.

#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/cp932.h"
#include "app/messages.h"
#include "mml/mml_messages.h"
#include "smf/smf_messages.h"

namespace vantrel {
namespace {

TEST(Cp932, EveryProgramTextConverts) {
  namespace m = messages;
  const std::string texts[] = {
      m::kOptionErrorPrefix, m::kSecondSmfName,   m::kNoOutputName,      m::kSecondOutputName,
      m::kOutputIsInput,     m::kDataFaultPrefix, m::kNoMThd,            m::kFormat2,
      m::kUnknownFormat,     m::kNoTracks,        m::kFormat0Tracks,     m::kZeroDivision,
      m::kSmpteDivision,     m::kNoMTrk,          m::kTrackCutShort,     m::kInvalidMidiEvent,
      m::kBadSequenceNumber, m::kBadChannelPrefix, m::kBadPort,          m::kBadEndOfTrack,
      m::kBadTempo,          m::kBadSmpteOffset,  m::kBadTimeSignature,  m::kBadKeySignature,
      m::kBadMetaEvent,      usageText()};
  for (const std::string& text : texts) {
    EXPECT_EQ(cp932ToUtf8(text).find("\xEF\xBF\xBD"), std::string::npos) << cp932ToUtf8(text);
  }
  EXPECT_EQ(cp932ToUtf8(m::kFormat0Tracks), "Format 0なのに、複数のトラックがあります。\n");
  EXPECT_EQ(cp932ToUtf8("\t\x81\x40\x81\xA6x"), "\t　※x");
  // Text from elsewhere is not the program's: its unknown characters show as such.
  EXPECT_EQ(cp932ToUtf8("\x88\x9F" "a\x82"), "\xEF\xBF\xBD" "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace vantrel
