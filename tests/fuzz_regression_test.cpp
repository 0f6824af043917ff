// The inputs that the fuzzer found or that guard what it checks: each file in
// fuzz/regressions/ is converted as the fuzz targets convert it (options from
// its first bytes) and must end as every conversion must: status 0 with the
// whole text, or status 1 with one of the program's data-fault messages; and
// the round-trip checker must find the text true to the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tests/conversion.h"
#include "tests/expected_texts.h"
#include "tools/roundtrip/comparison.h"
#include "tools/roundtrip/conversion_options.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

const fs::path kRegressions = "fuzz/regressions";

bool isDataFault(const std::string& error) {
  const auto& known = expected::faults::kAll;
  return std::any_of(std::begin(known), std::end(known), [&](const expected::faults::Fault& f) {
    return error == expected::dataFault(f);
  });
}

TEST(FuzzRegressions, EveryInputEndsInTheTextOrAKnownFault) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(VANTREL_SOURCE_DIR / kRegressions)) {
    files.push_back(kRegressions / entry.path().filename());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << "no inputs in " << kRegressions;

  for (const fs::path& path : files) {
    SCOPED_TRACE(path.filename().string());
    const Bytes data = sourceBytes(path);
    const fuzz::FuzzInput input = fuzz::decodeFuzzInput(data.data(), data.size());
    const Conversion result = convertWith(Bytes(input.smf.begin(), input.smf.end()),
                                          fuzz::settingsOf(input), fuzz::scheduleOf(input));
    if (result.status == 0) {
      EXPECT_EQ(result.error, "");
      // A finished conversion closes its last track block with two line ends.
      ASSERT_GE(result.mml.size(), 4u);
      EXPECT_EQ(result.mml.substr(result.mml.size() - 4), "\r\n\r\n");
    } else {
      EXPECT_EQ(result.status, 1);
      EXPECT_TRUE(isDataFault(result.error)) << result.error;
    }

    roundtrip::ConversionOptions checkOptions;
    std::string reason;
    ASSERT_TRUE(roundtrip::parseOptions(input.arguments, checkOptions, reason)) << reason;
    const roundtrip::CheckResult check = roundtrip::checkConversion(
        input.smf, checkOptions, result.mml, result.status, result.error);
    EXPECT_EQ(check.differences.size(), 0u) << "the first: "
        << (check.differences.empty() ? "" : roundtrip::describe(check.differences.front()));
  }
}

}  // namespace
}  // namespace vantrel::test
