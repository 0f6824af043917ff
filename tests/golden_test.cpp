// The demo piece in examples/ converts to exactly the MML files kept beside it,
// in-process and when the program is run as a user runs it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/run_program.h"
#include "tests/smf_builder.h"

namespace vantrel::test {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(VANTREL_SOURCE_DIR) / "examples";

std::string readExample(const std::string& name) {
  std::ifstream in(kExamples / name, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read examples/" << name;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes demo() {
  std::string text = readExample("demo.mid");
  return Bytes(text.begin(), text.end());
}

TEST(Golden, DemoInTheMmlDialect) {
  Conversion result = convert(demo());
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(result.mml, readExample("demo.mml"));
}

TEST(Golden, DemoInTheKanaDialect) {
  Conversion result = convert(demo(), {"/J"});
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(result.mml, readExample("demo_kana.mml"));
}

// Conversions share no state: two at once, on two threads, each give the
// text they give alone.
TEST(Golden, TwoConversionsSideBySide) {
  const Bytes smf = demo();
  Conversion kana;
  std::thread other([&] { kana = convert(smf, {"/J"}); });
  const Conversion plain = convert(smf);
  other.join();
  EXPECT_EQ(plain.mml, readExample("demo.mml"));
  EXPECT_EQ(kana.mml, readExample("demo_kana.mml"));
  EXPECT_EQ(kana.listing, plain.listing);
}

TEST(Golden, DemoConvertedByTheProgram) {
  ScratchDir scratch;
  scratch.write("demo.mid", demo());

  ProgramRun plain = runVantrel({"demo.mid"}, scratch.path());
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(scratch.read("demo.mml"), readExample("demo.mml"));

  ProgramRun kana = runVantrel({"/J", "/Fmkana", "demo"}, scratch.path());
  ASSERT_EQ(kana.status, 0) << kana.err;
  EXPECT_EQ(scratch.read("kana.mml"), readExample("demo_kana.mml"));
}

}  // namespace
}  // namespace vantrel::test
