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

#include "app/console.h"
#include "app/memory_file_system.h"
#include "app/program.h"
#include "tools/roundtrip/comparison.h"
#include "tools/roundtrip/played_files.h"

namespace vantrel::test {
namespace {

namespace rt = vantrel::roundtrip;

// What the program gave for one command line.
struct ProgramRun {
  int status = 0;
  std::string out, err;
  const std::string* mml = nullptr;  // the output file, nullptr when none was made
};

ProgramRun runOn(const std::vector<std::uint8_t>& smf, const std::vector<std::string>& options,
          MemoryFileSystem& files) {
  files.addFile("in.mid", std::string(smf.begin(), smf.end()));
  std::vector<std::string> arguments = options;
  arguments.push_back("/Fmout.mml");
  arguments.push_back("in.mid");
  StringConsole out, err;
  ProgramRun run;
  run.status = runProgram(arguments, files, out, err);
  run.out = out.text;
  run.err = err.text;
  run.mml = files.file("out.mml");
  return run;
}

rt::CheckResult check(const std::vector<std::uint8_t>& smf, const std::vector<std::string>& options,
                      const ProgramRun& run) {
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
    const ProgramRun run = runOn(file.bytes, options, files);
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

// 40 files, 7 conversions each.
INSTANTIATE_TEST_SUITE_P(Seeds, PlayedFiles, testing::Range(1, 41));

TEST(GridValues, RefusedWithTheOptionFaultAndNoOutputFile) {
  // A file of 480 ticks a quarter note, on which 7 and 9 give no whole step.
  std::uint64_t seed = 1;
  while (rt::generatePlayedSmf(seed).division != 480) ++seed;
  const rt::PlayedSmf file = rt::generatePlayedSmf(seed);
  for (const char* option : {"/Q0", "/Q7", "/Q16x", "--quantize=9", "--quantize=half", "-Q+16"}) {
    MemoryFileSystem files;
    const ProgramRun run = runOn(file.bytes, {option}, files);
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
  const std::vector<std::uint8_t> smf = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,  // format 0, 480 ticks a quarter
      'M', 'T', 'r', 'k', 0, 0, 0, 0x16,
      0x00, 0x90, 62, 100,        // d on
      0x00, 0x90, 64, 100,        // e on
      0x81, 0x20, 0x80, 62, 0,    // 160: d off
      0x82, 0x40, 0x80, 64, 0,    // 480: e off
      0x00, 0xFF, 0x2F, 0x00};
  MemoryFileSystem files;
  const ProgramRun run = runOn(smf, {"/Q12"}, files);
  const rt::CheckResult result = check(smf, {"/Q12"}, run);
  EXPECT_TRUE(result.differences.empty()) << rt::describe(result.differences[0]);
}

// A pickup longer than the first bar: 5/32 (300 ticks) at the start and
// /A960, so that the pickup is 960 ticks, eight whole sixteenths. A note
// that fills it is a half note, "c2", not cut at every 300 ticks.
TEST(GridLengths, LongPickupKeepsWholeSteps) {
  const std::vector<std::uint8_t> smf = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,  // format 0, 480 ticks a quarter
      'M', 'T', 'r', 'k', 0, 0, 0, 0x15,
      0x00, 0xFF, 0x58, 4, 5, 5, 24, 8,  // 5/32
      0x00, 0x90, 60, 100,               // c on
      0x87, 0x40, 0x80, 60, 0,           // 960: c off
      0x00, 0xFF, 0x2F, 0x00};
  const std::vector<std::string> options = {"/Q16", "/A960"};
  MemoryFileSystem files;
  const ProgramRun run = runOn(smf, options, files);
  const rt::CheckResult result = check(smf, options, run);
  EXPECT_TRUE(result.differences.empty()) << rt::describe(result.differences[0]);
}

}  // namespace
}  // namespace vantrel::test
