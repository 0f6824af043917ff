// The output writer: CR LF line ends, numbers, and texts that cross the
// buffer's end come out whole and in order.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "mml/text_writer.h"

namespace vantrel {
namespace {

std::string written(void (*fill)(TextWriter&)) {
  StringSink sink;
  TextWriter writer(sink);
  fill(writer);
  writer.flush();
  return sink.text;
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
  StringSink sink;
  TextWriter writer(sink);
  writer.writeShort(text);
  writer.writeShort(ShortText());
  writer.writeShort(text);
  writer.flush();
  EXPECT_EQ(sink.text, "v127v127");
}

// Many small and long pieces whose total crosses the 64 KiB buffer several
// times, each piece at a different offset from its end.
TEST(TextWriter, TextsAcrossTheBufferEndArriveWhole) {
  std::string expected;
  StringSink sink;
  {
    TextWriter writer(sink);
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
  EXPECT_EQ(sink.text, expected);
}

// A sink that takes `room` bytes and refuses every write after them.
class FullSink : public Sink {
 public:
  explicit FullSink(std::size_t room) : room_(room) {}
  std::string text;
  bool write(const char* bytes, std::size_t size) override {
    if (text.size() + size > room_) {
      errno = ENOSPC;
      return false;
    }
    text.append(bytes, size);
    return true;
  }

 private:
  std::size_t room_;
};

TEST(TextWriter, ARefusedWriteIsKeptWithItsReasonAndNothingFollows) {
  FullSink sink(100000);
  TextWriter writer(sink);
  for (int i = 0; i < 3000 && !writer.failed(); ++i) writer.write(std::string(100, 'x'));
  EXPECT_TRUE(writer.failed());
  EXPECT_EQ(writer.error(), ENOSPC);
  const std::size_t taken = sink.text.size();
  EXPECT_GT(taken, 0u) << "the first buffer was taken";
  writer.write("more");
  writer.flush();
  EXPECT_EQ(sink.text.size(), taken);
  EXPECT_EQ(writer.error(), ENOSPC);
}

}  // namespace
}  // namespace vantrel
