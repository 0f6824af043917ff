// The pieces in examples/ convert to exactly the MML files kept beside them.

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

// The band piece on the sixteenth grid, as one line a channel and in voices
// with velocities in steps of 8.
TEST(Golden, BandWithAndWithoutVoices) {
  const Bytes band = sourceBytes("examples/band.mid");
  Conversion result = convertBytes(band, {"/Q16"});
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(result.mml, sourceFile("examples/band.mml"));
  result = convertBytes(band, {"/Q16", "--voices", "--velocity-step=8"});
  ASSERT_EQ(result.status, 0) << result.error;
  EXPECT_EQ(result.mml, sourceFile("examples/band_voices.mml"));
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
