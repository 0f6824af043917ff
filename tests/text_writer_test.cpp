// The output writer: CR LF line ends, numbers, and texts that cross the
// buffer's end come out whole and in order.

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "mml/text_writer.h"
#include "tests/conversion.h"

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

// Keeps the text and the size of each write.
struct BlockSizes : StringSink {
  std::vector<std::size_t> sizes;
  Fault write(const char* bytes, std::size_t size) override {
    sizes.push_back(size);
    return StringSink::write(bytes, size);
  }
};

// The sink is handed blocks of exactly kBlock bytes, the last one shorter,
// however the text was written: in pieces of every size across the buffer's
// end, in one long write, as ready-made output, or a character at a time.
TEST(TextWriter, TheSinkGetsExactBlocksWhateverTheWrites) {
  std::string unix;
  for (int i = 0; i < 5000; ++i) {
    unix += std::string(static_cast<std::size_t>(i % 700), static_cast<char>('a' + i % 26));
    if (i % 3 == 0) unix += '\n';
    if (i % 5 == 0) unix += std::string(static_cast<std::size_t>(i % 300), 'p');
    unix += std::to_string(i);
  }
  std::string expected;
  for (char c : unix) {
    if (c == '\n') expected += '\r';
    expected += c;
  }
  ASSERT_GT(expected.size(), 4 * TextWriter::kBlock);
  std::vector<std::size_t> blocks(expected.size() / TextWriter::kBlock, TextWriter::kBlock);
  blocks.push_back(expected.size() % TextWriter::kBlock);

  const std::vector<std::pair<const char*, std::function<void(TextWriter&)>>> fills = {
      {"pieces", [](TextWriter& w) {
         for (int i = 0; i < 5000; ++i) {
           std::string piece(static_cast<std::size_t>(i % 700), static_cast<char>('a' + i % 26));
           if (i % 3 == 0) piece += '\n';
           w.write(piece);
           if (i % 5 == 0) w.writePlain(std::string(static_cast<std::size_t>(i % 300), 'p'));
           w.writeUnsigned(static_cast<std::uint64_t>(i));
         }
       }},
      {"one write", [&](TextWriter& w) { w.write(unix); }},
      {"verbatim", [&](TextWriter& w) { w.writeVerbatim(expected); }},
      {"characters", [&](TextWriter& w) {
         for (char c : unix) w.writeChar(c);
       }},
  };
  for (const auto& [name, fill] : fills) {
    SCOPED_TRACE(name);
    BlockSizes sink;
    TextWriter writer(sink);
    fill(writer);
    writer.flush();
    EXPECT_TRUE(sink.text == expected);
    EXPECT_EQ(sink.sizes, blocks);
  }
  // A text that ends a little past a block, short writes held in the room
  // beyond it: the flush still hands over a whole block first.
  BlockSizes sink;
  TextWriter writer(sink);
  for (std::size_t i = 0; i < TextWriter::kBlock + 100; ++i) writer.writeChar('x');
  writer.flush();
  EXPECT_EQ(sink.sizes, (std::vector<std::size_t>{TextWriter::kBlock, 100}));
}

TEST(TextWriter, ARefusedWriteIsKeptWithItsReasonAndNothingFollows) {
  test::RefusingSink sink(100000);
  TextWriter writer(sink);
  for (int i = 0; i < 3000 && !writer.failed(); ++i) writer.write(std::string(100, 'x'));
  EXPECT_TRUE(writer.failed());
  EXPECT_EQ(writer.fault(), Fault(FaultKind::kFileError, ENOSPC));
  EXPECT_EQ(sink.text.size(), TextWriter::kBlock) << "the first block was taken";
  writer.write("more");
  writer.flush();
  EXPECT_EQ(sink.text.size(), TextWriter::kBlock);
  EXPECT_EQ(writer.fault(), Fault(FaultKind::kFileError, ENOSPC));
}

}  // namespace
}  // namespace vantrel
