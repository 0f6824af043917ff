// Conversions on a grid, checked by the round-trip checker: played files
// (humanised notes in changing meters, pickups, strums, rolls faster than
// the grid, controllers between the notes) converted by the whole program
// with /Q16, /Q12 and the program's own choice in both dialects; the checker
// places every event on its own grid, holds every written length to the
// grid's note values and works out the auto choice itself. And the grid
// values that the program must refuse, with no output file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/memory_file_system.h"
#include "tests/conversion.h"
#include "tests/run_program.h"
#include "tools/roundtrip/comparison.h"
#include "tools/roundtrip/played_files.h"

namespace vantrel::test {
namespace {

namespace rt = vantrel::roundtrip;

// What the program gave for one command line, and its output file.
struct GridRun : ProgramRun {
  const std::string* mml = nullptr;  // the output file, nullptr when none was made
};

GridRun runOn(const Bytes& smf, const std::vector<std::string>& options, MemoryFileSystem& files) {
  files.addFile("in.mid", std::string(smf.begin(), smf.end()));
  std::vector<std::string> arguments = options;
  arguments.push_back("/Fmout.mml");
  arguments.push_back("in.mid");
  GridRun run{runInMemory(arguments, files)};
  run.mml = files.file("out.mml");
  return run;
}

rt::CheckResult check(const Bytes& smf, const std::vector<std::string>& options,
                      const GridRun& run) {
  rt::ConversionOptions parsed;
  std::string reason;
  EXPECT_TRUE(rt::parseOptions(options, parsed, reason)) << reason;
  return rt::checkConversion(smf, parsed, run.mml ? *run.mml : std::string(), run.status, run.err,
                             run.out);
}

std::string spelled(const std::vector<std::string>& options) {
  std::string out;
  for (const std::string& o : options) out += " " + o;
  return out;
}

class PlayedFiles : public testing::TestWithParam<int> {};

TEST_P(PlayedFiles, ConvertOnTheGridAsTheCheckerPlacesThem) {
  const std::uint64_t seed = static_cast<std::uint64_t>(GetParam());
  const rt::PlayedSmf file = rt::generatePlayedSmf(seed);
  for (const std::vector<std::string>& options : rt::playedOptionSets(seed, file)) {
    MemoryFileSystem files;
    const GridRun run = runOn(file.bytes, options, files);
    const rt::CheckResult result = check(file.bytes, options, run);
    std::string found;
    for (const rt::Difference& d : result.differences) found += rt::describe(d) + "\n";
    EXPECT_EQ(found, "") << "seed " << seed << spelled(options);
    if (run.status == 0) {
      // Not a vacuous pass: the notes were found and lengths read on a grid.
      EXPECT_EQ(result.notes, file.noteCount) << "seed " << seed << spelled(options);
      EXPECT_NE(result.gridNote, 0u) << "seed " << seed << spelled(options);
      EXPECT_GT(result.lengths, 0u) << "seed " << seed << spelled(options);
    } else {
      EXPECT_EQ(result.refusal, rt::faults::kBadGrid.label) << "seed " << seed << spelled(options);
    }
  }
}

// 40 files, 8 conversions each.
INSTANTIATE_TEST_SUITE_P(Seeds, PlayedFiles, testing::Range(1, 41));

TEST(GridValues, RefusedWithTheOptionFaultAndNoOutputFile) {
  // A file of 480 ticks a quarter note, on which 7 and 9 give no whole step.
  std::uint64_t seed = 1;
  while (rt::generatePlayedSmf(seed).division != 480) ++seed;
  const rt::PlayedSmf file = rt::generatePlayedSmf(seed);
  for (const char* option : {"/Q0", "/Q7", "/Q16x", "--quantize=9", "--quantize=half", "-Q+16"}) {
    MemoryFileSystem files;
    const GridRun run = runOn(file.bytes, {option}, files);
    const rt::CheckResult result = check(file.bytes, {option}, run);
    EXPECT_EQ(run.status, 1) << option;
    EXPECT_EQ(result.refusal, rt::faults::kBadGrid.label) << option;
    EXPECT_TRUE(result.differences.empty()) << option << ": " << rt::describe(result.differences[0]);
    EXPECT_EQ(run.mml, nullptr) << option;
  }
}

// A chord of two notes of one channel that end apart: d lasts an
// eighth-note triplet, e a quarter note, one value: " Sub{v100o5d12}e4",
// not cut where d's sub-block ends.
TEST(GridLengths, ChordNotesEndingApartKeepOneLength) {
  const Bytes smf =
      makeSmf(0, 480, {Track().on(0, 1, 62).on(0, 1, 64).off(160, 1, 62, 0).off(320, 1, 64, 0).end()});
  MemoryFileSystem files;
  const GridRun run = runOn(smf, {"/Q12"}, files);
  const rt::CheckResult result = check(smf, {"/Q12"}, run);
  EXPECT_TRUE(result.differences.empty()) << rt::describe(result.differences[0]);
}

// A pickup longer than the first bar: 5/32 (300 ticks) at the start and
// /A960, so that the pickup is 960 ticks, eight whole sixteenths. A note
// that fills it is a half note, "c2", not cut at every 300 ticks.
TEST(GridLengths, LongPickupKeepsWholeSteps) {
  const Bytes smf =
      makeSmf(0, 480, {Track().timeSignature(0, 5, 5).on(0, 1, 60).off(960, 1, 60, 0).end()});
  const std::vector<std::string> options = {"/Q16", "/A960"};
  MemoryFileSystem files;
  const GridRun run = runOn(smf, options, files);
  const rt::CheckResult result = check(smf, options, run);
  EXPECT_TRUE(result.differences.empty()) << rt::describe(result.differences[0]);
}

}  // namespace
}  // namespace vantrel::test
