// The output writer: CR LF line ends, numbers, and texts that cross the
// buffer's end come out whole and in order.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "mml/text_writer.h"

namespace vantrel {
namespace {

std::string written(void (*fill)(TextWriter&)) {
  std::stringbuf sink;
  TextWriter writer(&sink, "out.mml");
  fill(writer);
  writer.flush();
  return sink.str();
}

TEST(TextWriter, LineFeedsBecomeCrLfAndNothingElseChanges) {
  EXPECT_EQ(written([](TextWriter& w) {
              w.write("a\nb\r\n\n");
              w.writeChar('\n');
              w.writeChar('\r');
              w.writePlain("\t|\t");
            }),
            "a\r\nb\r\r\n\r\n\r\n\r\t|\t");
}

TEST(TextWriter, NumbersAreWrittenWithAsFewDigitsAsNeeded) {
  EXPECT_EQ(written([](TextWriter& w) {
              w.writeUnsigned(0);
              w.writeChar(' ');
              w.writeUnsigned(18446744073709551615ULL);
              w.writeChar(' ');
              w.writeSigned(-8192);
              w.writeChar(' ');
              w.writeSigned(INT64_MIN);
              w.writeChar(' ');
              w.writeHex(0);
              w.writeChar(' ');
              w.writeHex(0xF7);
              w.writeChar(' ');
              w.writeHex(0xFFFFFFFF);
            }),
            "0 18446744073709551615 -8192 -9223372036854775808 0 f7 ffffffff");
}

TEST(TextWriter, ShortTextsKeepTheirBytes) {
  ShortText text;
  text.append("v");
  text.appendNumber(127);
  EXPECT_EQ(text.view(), "v127");
  std::stringbuf sink;
  TextWriter writer(&sink, "out.mml");
  writer.writeShort(text);
  writer.writeShort(ShortText());
  writer.writeShort(text);
  writer.flush();
  EXPECT_EQ(sink.str(), "v127v127");
}

// Many small and long pieces whose total crosses the 64 KiB buffer several
// times, each piece at a different offset from its end.
TEST(TextWriter, TextsAcrossTheBufferEndArriveWhole) {
  std::string expected;
  std::stringbuf sink;
  {
    TextWriter writer(&sink, "out.mml");
    for (int i = 0; i < 5000; ++i) {
      std::string piece(static_cast<std::size_t>(i % 700), static_cast<char>('a' + i % 26));
      if (i % 3 == 0) piece += '\n';
      writer.write(piece);
      for (char c : piece) {
        if (c == '\n') expected += '\r';
        expected += c;
      }
      if (i % 5 == 0) {
        std::string plain(static_cast<std::size_t>(i % 300), 'p');
        writer.writePlain(plain);
        expected += plain;
      }
      writer.writeUnsigned(static_cast<std::uint64_t>(i));
      expected += std::to_string(i);
    }
    writer.flush();
  }
  ASSERT_GT(expected.size(), 4u << 16);
  EXPECT_EQ(sink.str(), expected);
}

}  // namespace
}  // namespace vantrel
