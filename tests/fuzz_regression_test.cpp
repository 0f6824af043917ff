// The inputs that the fuzzer found or that guard what it checks: each file in
// fuzz/regressions/ is converted as the fuzz targets convert it (options from
// its first bytes) and must end as every conversion must: status 0 with the
// whole text, or status 1 with one of the program's data-fault messages; and
// the round-trip checker must find the text true to the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mml/mml_messages.h"
#include "smf/smf_messages.h"
#include "fuzz/fuzz_input.h"
#include "tests/smf_builder.h"
#include "tools/roundtrip/comparison.h"
#include "tools/roundtrip/conversion_options.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

const fs::path kRegressions = fs::path(VANTREL_SOURCE_DIR) / "fuzz" / "regressions";

Bytes readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

bool isDataFault(const std::string& error) {
  namespace m = messages;
  const char* const known[] = {
      m::kNoMThd,          m::kFormat2,         m::kUnknownFormat,     m::kNoTracks,
      m::kFormat0Tracks,   m::kZeroDivision,    m::kSmpteDivision,     m::kNoMTrk,
      m::kTrackCutShort,   m::kInvalidMidiEvent, m::kBadSequenceNumber, m::kBadChannelPrefix,
      m::kBadPort,         m::kBadEndOfTrack,   m::kBadTempo,          m::kBadSmpteOffset,
      m::kBadTimeSignature, m::kBadKeySignature, m::kBadMetaEvent};
  return std::any_of(std::begin(known), std::end(known), [&](const char* text) {
    return error == std::string(m::kDataFaultPrefix) + text;
  });
}

TEST(FuzzRegressions, EveryInputEndsInTheTextOrAKnownFault) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(kRegressions)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << "no inputs in " << kRegressions;

  for (const fs::path& path : files) {
    SCOPED_TRACE(path.filename().string());
    const Bytes data = readFile(path);
    const fuzz::FuzzInput input = fuzz::decodeFuzzInput(data.data(), data.size());
    const Conversion result = convert(Bytes(input.smf.begin(), input.smf.end()), input.arguments);
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
