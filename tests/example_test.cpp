// The smallest complete conversion, checked byte for byte in both dialects.

#include <gtest/gtest.h>

#include "tests/expected_texts.h"
#include "tests/conversion.h"

namespace vantrel::test {
namespace {

Bytes oneNoteFile() {
  Track t;
  t.on(0, 1, 60, 100).off(480, 1, 60, 0).end(0);
  return makeSmf(0, 480, {t});
}

// The file's header comment, then the head of its one track block.
const std::string kHeader = expected::headerComment(6, 0, 1, 480) +
                            "//--------------------------------------\r\n"
                            "//MTrk Infomation :\r\n"
                            "//\tSize = 13\r\n"
                            "\r\n";

TEST(ExampleFile, MmlDialectByteForByte) {
  Conversion c = convertBytes(oneNoteFile());
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.mml, kHeader +
                       "TR(0);\r\n"
                       "\r\nTime(1:1:0);\r\n\t"
                       "\r\nTime(1:1:0);\r\n\tTR(1);\tCH(1);\tq100 h-1\r\n\t"
                       "v100o5c4\r\n\r\n");
  EXPECT_EQ(c.listing,
            "Pointer:0\tLength:1920\tKey:0\tmi:0\n"
            "Pointer:-1\tLength:1920\tKey:0\tmi:0\n");
}

TEST(ExampleFile, KanaDialectByteForByte) {
  Conversion c = convertBytes(oneNoteFile(), {"/J"});
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.mml, kHeader +
                       "\x83\x67\x83\x89\x83\x62\x83\x4E(0);\r\n"  // トラック(0);
                       // 時間（１：１：０）;
                       "\r\n\x8E\x9E\x8A\xD4\x81\x69\x82\x50\x81\x46\x82\x50\x81\x46\x82\x4F\x81\x6A;\r\n\t"
                       "\r\n\x8E\x9E\x8A\xD4\x81\x69\x82\x50\x81\x46\x82\x50\x81\x46\x82\x4F\x81\x6A;\r\n\t"
                       // トラック(1);\tチャンネル(1);\tゲート100\th-1
                       "\x83\x67\x83\x89\x83\x62\x83\x4E(1);\t"
                       "\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B(1);\t"
                       "\x83\x51\x81\x5B\x83\x67" "100\th-1\r\n\t"
                       // 音量100音階5ド4
                       "\x89\xB9\x97\xCA" "100\x89\xB9\x8A\x4B" "5\x83\x68" "4\r\n\r\n");
}

}  // namespace
}  // namespace vantrel::test
