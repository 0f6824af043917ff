// Conversions on a grid, checked by the round-trip checker: played files
// (humanised notes in changing meters, pickups, strums, rolls and flams
// faster than the grid, triplet beats, tracks played late, controller
// streams) converted by the whole program with /Q16, /Q12 and the program's
// own choice in both dialects; the checker places every event on its own
// grid (a stretch of notes faster than it on a finer one), holds every
// written length to the grid's note values, and works out the auto choice
// itself. The check finds each rule of the grid broken. And the grid values that the
// program must refuse, with no output file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/memory_file_system.h"
#include "tests/conversion.h"
#include "tools/smf_writer/smf_writer.h"
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

// Those files hold what the grid's rules are for: the program's choice
// takes the triplet grid beside the straight one and finds tracks played
// late or early, and /Q16 places stretches of notes on a finer grid.
TEST(PlayedFiles, NeedEveryRuleOfTheGrid) {
  std::uint64_t triplets = 0, offsets = 0, finer = 0;
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    const rt::PlayedSmf file = rt::generatePlayedSmf(seed);
    for (const char* option : {"/Q", "/Q16"}) {
      MemoryFileSystem files;
      const GridRun run = runOn(file.bytes, {option}, files);
      if (run.status != 0) continue;
      const rt::CheckResult result = check(file.bytes, {option}, run);
      triplets += result.tripletNote != 0 ? 1 : 0;
      offsets += result.offsets ? 1 : 0;
      finer += result.finerNotes;
    }
  }
  EXPECT_GE(triplets, 10u);
  EXPECT_GE(offsets, 2u);
  EXPECT_GE(finer, 500u);
}

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

// A note of channel 1 from `tick` for `length` ticks, velocity 100.
struct Played {
  std::uint32_t tick, length;
  int key;
};

// One track of notes (and the other events of `extra`, at their ticks).
Bytes song(const std::vector<Played>& notes, const std::vector<std::pair<std::uint32_t, Bytes>>& extra = {}) {
  smf_writer::TimedTrack track;
  for (const auto& [tick, bytes] : extra) track.add(tick, bytes);
  for (const Played& n : notes) {
    track.channel(n.tick, 0x90, n.key, 100);
    track.channel(n.tick + n.length, 0x80, n.key, 0);
  }
  return smf_writer::smfFile(0, 480, {track.events(false, track.lastTick())});
}

// `text` with `from` replaced by `to` once; "" when it does not hold `from`.
std::string changed(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) return "";
  return text.substr(0, at) + to + text.substr(at + from.size());
}

// What the grid must do where notes come faster than it, beside triplets,
// played late, with controller streams and rests over bar lines: each file
// converted checks clean, and each text changed as a conversion that
// breaks the rule would write it is found out, by the name of the fault.
TEST(GridRules, CheckedAndEachBreachFound) {
  struct Case {
    const char* what;
    Bytes smf;
    std::string option;
    bool inGridLine;  // the change is to standard output, not to the text
    std::string from, to;
    std::string found;  // the difference the change must bring
  };
  std::vector<Played> roll, late;
  for (std::uint32_t k = 0; k < 8; ++k) roll.push_back({60 * k, 30, 38});
  for (std::uint32_t k = 0; k < 4; ++k) late.push_back({7 + 240 * k, 233, 60 + static_cast<int>(k)});
  smf_writer::TimedTrack struck;
  struck.channel(0, 0x90, 60, 100);
  struck.channel(480, 0x90, 60, 100);
  struck.channel(480, 0x80, 60, 0);  // the new note's On came first: this ends the old one
  struck.channel(960, 0x80, 60, 0);
  const std::vector<Case> cases = {
      {"a roll faster than the grid, pushed late note by note", song(roll), "/Q16", false,
       "d32d32d32d32d32d32d32d32", "d16d16d16d16d16d16d16d16", "note start"},
      {"a flam merged into its note", song({{470, 10, 38}, {480, 240, 38}}), "/Q16", false,
       "r8.^32.^128v100o3d128d8", "r4 Sub{v100o3d128}d8", "notes of one key merged"},
      {"a flam left at its tick where a finer grid holds it", song({{470, 10, 38}, {480, 240, 38}}), "/Q16",
       false, "r8.^32.^128v100o3d128d8", "r8.^32.^96v100o3d192d8", "note start"},
      {"a key struck again, the old note cut short",
       smf_writer::smfFile(0, 480, {struck.events(false, 960)}), "/Q16", false, "v100o5c4c4",
       "v100o5c8r8c4", "note end"},
      {"a triplet beat among straight eighths written straight",
       song({{0, 230, 60}, {240, 230, 62}, {480, 150, 64}, {640, 150, 65}, {800, 150, 67}, {960, 470, 69}}),
       "/Q", false, "e12f12g12", "e16f16g8", "note start"},
      {"a track played seven ticks late, its offset not found", song(late), "/Q", true,
       "\tOffset:TR(0)=7", "", "grid chosen"},
      {"a pitch-bend value written again",
       song({{0, 960, 60}}, {{0, {0xE0, 0, 64}}, {10, {0xE0, 0, 66}}, {20, {0xE0, 0, 68}},
                             {250, {0xE0, 0, 68}}, {480, {0xE0, 0, 70}}, {490, {0xE0, 0, 64}}}),
       "/Q16", false, "PitchBend(512); ", "PitchBend(512); PitchBend(512); ", "command not in the SMF"},
      {"a rest over a bar line tied", song({{0, 480, 60}, {3840, 480, 62}}), "/Q16", false,
       "r2.\t|\tr1", "r2.\t|\t^1", "rest over a bar line"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem files;
    const GridRun run = runOn(c.smf, {c.option}, files);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_NE(run.mml, nullptr);
    rt::CheckResult result = check(c.smf, {c.option}, run);
    std::string found;
    for (const rt::Difference& d : result.differences) found += rt::describe(d) + "\n";
    EXPECT_EQ(found, "");
    GridRun broken = run;
    std::string text = *run.mml;
    (c.inGridLine ? broken.out : text) = changed(c.inGridLine ? run.out : text, c.from, c.to);
    ASSERT_NE(c.inGridLine ? broken.out : text, "") << "the output holds no " << c.from;
    broken.mml = &text;
    result = check(c.smf, {c.option}, broken);
    found.clear();
    for (const rt::Difference& d : result.differences) found += d.what + "; ";
    EXPECT_NE(found.find(c.found + ";"), std::string::npos) << found;
  }
}

// The pressure of a key byte above 127 is a value of its own, not one of
// the key the byte less its top bit names: with a grid the second
// message here is dropped as equal to the first (disabled until the
// conversion tells the two apart).
TEST(GridRules, DISABLED_KeyPressureOfAKeyByteAbove127Stays) {
  const Bytes smf = song({}, {{0, {0xA0, 0x7F, 0}}, {480, {0xA0, 0xFF, 0}}});
  MemoryFileSystem files;
  const GridRun run = runOn(smf, {"/Q16"}, files);
  const rt::CheckResult result = check(smf, {"/Q16"}, run);
  EXPECT_TRUE(result.differences.empty()) << rt::describe(result.differences[0]);
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
