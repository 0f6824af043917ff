// The command line: what every option letter sets, the faults and their exact
// text, and when the usage text appears instead of a conversion.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "tests/expected_texts.h"
#include "app/memory_file_system.h"
#include "tests/run_program.h"
#include "tests/conversion.h"

namespace vantrel::test {
namespace {

namespace ex = expected;

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string joined(const std::vector<std::string>& args) {
  std::string text = "args:";
  for (const std::string& a : args) text += " [" + a + "]";
  return text;
}

// What a successful parse should leave in the Options, output name derived.
struct Parsed {
  std::string input = "song.mid";
  std::string output = "song.mml";
  int barLines = 1;
  int lineBars = 4;
  int filterMask = 0;
  int pickupTicks = 0;
  int dialect = 0;
  int help = 0;
  bool voices = false;
  std::uint32_t velocityStep = 1;
};

struct ParseCase {
  std::vector<std::string> args;
  Parsed want;
};

const std::vector<ParseCase> kParseCases = {
    {{"song"}, {}},
    {{"song", "/J"}, {.dialect = 1}},
    {{"-J", "song"}, {.dialect = 1}},
    {{"/Jxyz", "song"}, {.dialect = 1}},
    {{"/B-", "song"}, {.barLines = 0}},
    {{"-B-", "song"}, {.barLines = 0}},
    {{"/B-", "/B+1", "song"}, {.barLines = 1}},
    {{"/B+", "/B-junk", "song"}, {.barLines = 0}},
    {{"/C2", "song"}, {.lineBars = 2}},
    {{"-C2", "song"}, {.lineBars = 2}},
    {{"/C0", "song"}, {.lineBars = 0}},
    {{"/C-1", "song"}, {.lineBars = -1}},
    {{"/C3x", "song"}, {.lineBars = 3}},
    {{"/C \t7", "song"}, {.lineBars = 7}},
    {{"/C+5", "song"}, {.lineBars = 5}},
    {{"/C2147483647", "song"}, {.lineBars = 2147483647}},
    {{"/C-2147483648", "song"}, {.lineBars = -2147483647 - 1}},
    {{"/C2", "/C5", "song"}, {.lineBars = 5}},
    {{"/A96", "song"}, {.pickupTicks = 96}},
    {{"-A96", "song"}, {.pickupTicks = 96}},
    {{"/A96", "/A0", "song"}, {.pickupTicks = 0}},
    {{"/A 12beats", "song"}, {.pickupTicks = 12}},
    {{"/A2147483647", "song"}, {.pickupTicks = 2147483647}},
    {{"/Ma", "/Mp", "song"}, {.filterMask = 0x34}},
    {{"/Ma", "song"}, {.filterMask = 0x24}},
    {{"/Mac", "song"}, {.filterMask = 0x24}},
    {{"/Mb", "song"}, {.filterMask = 0x40}},
    {{"/Mc", "song"}, {.filterMask = 0x08}},
    {{"/Mm", "song"}, {.filterMask = 0x400}},
    {{"-Mm", "song"}, {.filterMask = 0x400}},
    {{"/Mp", "song"}, {.filterMask = 0x10}},
    {{"/Mx", "song"}, {.filterMask = 0x300}},
    {{"/MA", "song"}, {.filterMask = 0xFFFF}},
    {{"/Mc", "/Mm", "/MA", "song"}, {.filterMask = 0xFFFF}},
    {{"/MA", "/Mc", "song"}, {.filterMask = 0xFFFF}},
    {{"/H", "song"}, {.help = 1}},
    {{"/h", "song"}, {.help = 1}},
    {{"/?", "song"}, {.help = 1}},
    {{"-?", "song"}, {.help = 1}},
    {{"-Hxyz", "song"}, {.help = 1}},
    // Names: ".mid" only when there is no dot at all; the output name is
    // everything before the first dot, wherever it lies.
    {{"song.smf"}, {.input = "song.smf"}},
    {{"song.MID"}, {.input = "song.MID"}},
    {{"a.b.mid"}, {.input = "a.b.mid", .output = "a.mml"}},
    {{"../x.mid"}, {.input = "../x.mid", .output = ".mml"}},
    {{"dir.d/song"}, {.input = "dir.d/song", .output = "dir.mml"}},
    {{""}, {.input = ".mid", .output = ".mml"}},
    {{"/Fmout", "song"}, {.output = "out.mml"}},
    {{"song", "-Fmout.txt"}, {.output = "out.txt"}},
    {{"/Fmsub/out", "song"}, {.output = "sub/out.mml"}},
    {{"/Fmtwo words", "song"}, {.output = "two words.mml"}},
    {{"--voices", "song"}, {.voices = true}},
    {{"--velocity-step=8", "song"}, {.velocityStep = 8}},
    {{"--velocity-step=127", "--velocity-step=1", "song"}, {.velocityStep = 1}},
};

TEST(OptionsParse, EveryLetterAndPrefixSetsItsField) {
  for (const ParseCase& c : kParseCases) {
    SCOPED_TRACE(joined(c.args));
    // The usage text is the answer to /H; the fields are still parsed.
    std::vector<std::string> args = c.args;
    const CommandLine line = parseCommandLine(args);
    EXPECT_EQ(line.action, c.want.help ? CommandLine::Action::kUsage : CommandLine::Action::kConvert);
    const Options& options = line.options;
    const Settings& settings = options.settings;
    EXPECT_EQ(options.inputName, c.want.input);
    if (!c.want.help) {
      EXPECT_EQ(options.outputName, c.want.output);
    }
    EXPECT_EQ(settings.barLines, c.want.barLines == 1);
    EXPECT_EQ(settings.lineBars, c.want.lineBars);
    EXPECT_EQ(settings.filterMask, c.want.filterMask);
    EXPECT_EQ(settings.pickupTicks, c.want.pickupTicks);
    EXPECT_EQ(settings.dialect, c.want.dialect ? Dialect::kKana : Dialect::kMml);
    EXPECT_EQ(settings.voices, c.want.voices);
    EXPECT_EQ(settings.velocityStep, c.want.velocityStep);
  }
}

// A faulty command line: nothing on standard output, one message on standard
// error, status 1, no file created (song.mid is there for the ones that name
// it, so a wrongly accepted line would create song.mml).
struct FaultCase {
  std::vector<std::string> args;
  std::string text;  // after the option-fault prefix
};

const std::vector<FaultCase> kFaultCases = {
    // Letters not in the table, lowercase forms included, and a bare prefix.
    {{"/"}, ""},
    {{"-", "song"}, ""},
    {{"/x", "song"}, ""},
    {{"/j", "song"}, ""},
    {{"/b+", "song"}, ""},
    {{"/c2", "song"}, ""},
    {{"/a1", "song"}, ""},
    {{"/ma", "song"}, ""},
    {{"/fmout", "song"}, ""},
    {{"//", "song"}, ""},
    {{"-1", "song"}, ""},
    {{"/B", "song"}, "/B"},
    {{"-B", "song"}, "/B"},
    {{"/Bx", "song"}, "/B"},
    {{"/C", "song"}, "/C"},
    {{"-Cx", "song"}, "/C"},
    {{"/C-", "song"}, "/C"},
    {{"/C2147483648", "song"}, "/C"},
    {{"/C-2147483649", "song"}, "/C"},
    {{"/C99999999999999999999", "song"}, "/C"},
    {{"/A", "song"}, "/A"},
    {{"/Ax", "song"}, "/A"},
    {{"/A-1", "song"}, "/A"},
    {{"-A-96", "song"}, "/A"},
    {{"/A2147483648", "song"}, "/A"},
    {{"/M", "song"}, "/M"},
    {{"-Mz", "song"}, "/M"},
    {{"/MB", "song"}, "/M"},
    {{"/F", "song"}, ex::kNoOutputName},
    {{"/Fm", "song"}, ex::kNoOutputName},
    {{"-Fx", "song"}, ex::kNoOutputName},
    {{"/Fxout", "song"}, "/F"},
    {{"/FMout", "song"}, "/F"},
    {{"/Fmout", "/Fmother", "song"}, ex::kSecondOutput},
    {{"/Fmout", "-Fmout", "song"}, ex::kSecondOutput},
    {{"song", "other"}, ex::kSecondSmf},
    {{"song", "song"}, ex::kSecondSmf},
    {{"song", ""}, ex::kSecondSmf},
    // The first fault on the line is the one reported, and any fault beats
    // the usage text, whether asked for or due to a missing name.
    {{"/Z", "/H", "song"}, ""},
    {{"/H", "/Z", "song"}, ""},
    {{"/?", "/Bx"}, "/B"},
    {{"/Cx"}, "/C"},
    {{"/Bx", "/Cx", "song"}, "/B"},
    {{"/Cx", "/Bx", "song"}, "/C"},
    {{"/Fm", "/Fxout", "song"}, ex::kNoOutputName},
    {{"song", "other", "/Bx"}, ex::kSecondSmf},
    {{"/Mz", "song", "other"}, "/M"},
    {{"--velocity-step=0", "song"}, "--velocity-step"},
    {{"--velocity-step=128", "song"}, "--velocity-step"},
    {{"--velocity-step=", "song"}, "--velocity-step"},
    {{"--velocity-step=8x", "song"}, "--velocity-step"},
    {{"--velocity-step", "song"}, ""},
    {{"--voices=2", "song"}, ""},
};

TEST(OptionsFaults, EachIsReportedByteForByteAndTouchesNothing) {
  for (const FaultCase& c : kFaultCases) {
    SCOPED_TRACE(joined(c.args));
    MemoryFileSystem files;
    files.addFile("song.mid", text(makeSmf(0, 480, {Track().end()})));
    ProgramRun run = runInMemory(c.args, files);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, std::string(ex::kOptionFault) + c.text + "\n");
    EXPECT_EQ(files.names(), std::vector<std::string>{"song.mid"});
  }
}

// The usage text, byte for byte, its second line naming the version.
void expectUsage(const std::string& out) {
  EXPECT_EQ(out, usageText());
  EXPECT_NE(out.find("\r\nvantrel version " VANTREL_VERSION "\r\n"), std::string::npos);
}

TEST(OptionsUsage, PrintedWhenAskedOrNoNameAndNothingOpened) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"/H"},
      {"/h"},
      {"/?"},
      {"-H"},
      {"-?"},
      {"/Hxyz"},
      {"song", "/H"},
      {"/h", "song"},
      {"/J"},
      {"/Fmout"},
      {"/B-", "-C2", "/A96", "/Mm", "/J", "/Fmout"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(joined(args));
    MemoryFileSystem files;
    files.addFile("song.mid", text(makeSmf(0, 480, {Track().end()})));
    ProgramRun run = runInMemory(args, files);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    expectUsage(run.out);
    EXPECT_EQ(files.names(), std::vector<std::string>{"song.mid"});
  }
}

}  // namespace
}  // namespace vantrel::test
