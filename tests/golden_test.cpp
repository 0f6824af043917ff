// The demo piece in examples/ converts to exactly the MML files kept beside it.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/conversion.h"

namespace vantrel::test {
namespace {

TEST(Golden, DemoInBothDialects) {
  Conversion result = convertBytes(demoSmf());
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(result.mml, sourceFile("examples/demo.mml"));
  result = convertBytes(demoSmf(), {"/J"});
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(result.mml, sourceFile("examples/demo_kana.mml"));
}

// Conversions share no state: two at once, on two threads, each give the
// text they give alone.
TEST(Golden, TwoConversionsSideBySide) {
  const Bytes smf = demoSmf();
  Conversion kana;
  std::thread other([&] { kana = convertBytes(smf, {"/J"}); });
  const Conversion plain = convertBytes(smf);
  other.join();
  EXPECT_EQ(plain.mml, sourceFile("examples/demo.mml"));
  EXPECT_EQ(kana.mml, sourceFile("examples/demo_kana.mml"));
  EXPECT_EQ(kana.listing, plain.listing);
}

}  // namespace
}  // namespace vantrel::test
