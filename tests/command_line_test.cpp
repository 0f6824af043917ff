// The program as a user runs it: which names it announces, which files it
// reads and creates, what it refuses, and its exit status.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/expected_texts.h"
#include "tests/run_program.h"
#include "tests/smf_builder.h"

namespace vantrel::test {
namespace {

namespace ex = expected;
namespace fs = std::filesystem;

Bytes noteFile() {
  Track t;
  t.on(0, 1, 60).off(480, 1, 60, 0).end();
  return makeSmf(0, 480, {t});
}

const char kPlainListing[] =
    "Pointer:0\tLength:1920\tKey:0\tmi:0\n"
    "Pointer:-1\tLength:1920\tKey:0\tmi:0\n";

std::string names(const std::string& smf, const std::string& mml) {
  return "SMF = " + smf + "\nMML = " + mml + "\n";
}

struct NameCase {
  std::vector<std::string> args;
  std::string smf;  // announced, and put in the directory beforehand
  std::string mml;  // announced, and the one file that must appear
  std::vector<std::string> options;  // the same options, for the in-process conversion
};

TEST(CommandLineRun, NamesAreDerivedAnnouncedAndTheOutputWritten) {
  const std::vector<NameCase> cases = {
      {{"song"}, "song.mid", "song.mml", {}},
      {{"song.mid"}, "song.mid", "song.mml", {}},
      {{"song.smf"}, "song.smf", "song.mml", {}},
      {{"a.b.mid"}, "a.b.mid", "a.mml", {}},
      {{"/Fmout", "song"}, "song.mid", "out.mml", {}},
      {{"song", "-Fmout.txt"}, "song.mid", "out.txt", {}},
      {{"/J", "song"}, "song.mid", "song.mml", {"/J"}},
      {{"-C0", "-B-", "song"}, "song.mid", "song.mml", {"/C0", "/B-"}},
  };
  for (const NameCase& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += " " + a;
    SCOPED_TRACE(trace);
    ScratchDir dir;
    dir.write(c.smf, noteFile());
    ProgramRun run = runVantrel(c.args, dir.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, names(c.smf, c.mml) + kPlainListing);
    EXPECT_EQ(dir.names(), (std::set<std::string>{c.smf, c.mml}));
    EXPECT_EQ(dir.read(c.mml), convert(noteFile(), c.options).mml);
  }
}

TEST(CommandLineRun, AnExistingOtherOutputIsReplaced) {
  ScratchDir dir;
  dir.write("song.mid", noteFile());
  dir.write("song.mml", Bytes(5000, 'x'));
  ProgramRun run = runVantrel({"song"}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(dir.read("song.mml"), convert(noteFile()).mml);
}

TEST(CommandLineRun, FilesThatCannotBeOpened) {
  {
    SCOPED_TRACE("missing input: no output file is created");
    ScratchDir dir;
    ProgramRun run = runVantrel({"/Fmout", "nothere"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("nothere.mid", "out.mml"));
    EXPECT_EQ(run.err, "nothere.mid: No such file or directory\n");
    EXPECT_TRUE(dir.names().empty());
  }
  {
    SCOPED_TRACE("input is a directory");
    ScratchDir dir;
    fs::create_directory(dir.path() / "sub.mid");
    ProgramRun run = runVantrel({"sub.mid"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("sub.mid: ", 0), 0u) << run.err;
    EXPECT_EQ(dir.names(), std::set<std::string>{"sub.mid"});
  }
  {
    SCOPED_TRACE("output in a missing directory");
    ScratchDir dir;
    dir.write("song.mid", noteFile());
    ProgramRun run = runVantrel({"/Fmnodir/x", "song"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("song.mid", "nodir/x.mml"));
    EXPECT_EQ(run.err, "nodir/x.mml: No such file or directory\n");
    EXPECT_EQ(dir.names(), std::set<std::string>{"song.mid"});
  }
}

// An output that is the input file itself, however it is spelled, is refused
// before anything is created or truncated.
TEST(CommandLineRun, OutputThatIsTheInputIsRefused) {
  struct Case {
    std::vector<std::string> args;
    std::string smf, mml;
  };
  const std::vector<Case> cases = {
      {{"x.mml"}, "x.mml", "x.mml"},
      {{"/Fmsong.mid", "song"}, "song.mid", "song.mid"},
      {{"/Fm./song.mid", "song"}, "song.mid", "./song.mid"},
      {{"/Fmsong.mid", "./song.mid"}, "./song.mid", "song.mid"},
      {{"/Fmsub/../song.mid", "song"}, "song.mid", "sub/../song.mid"},
      {{"/Fmlink.mml", "song"}, "song.mid", "link.mml"},
      {{"/Fmsong.mid", "link.mml"}, "link.mml", "song.mid"},
      {{"/Fmhard.mml", "song"}, "song.mid", "hard.mml"},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += " " + a;
    SCOPED_TRACE(trace);
    ScratchDir dir;
    dir.write("song.mid", noteFile());
    dir.write("x.mml", noteFile());
    fs::create_directory(dir.path() / "sub");
    fs::create_symlink("song.mid", dir.path() / "link.mml");
    fs::create_hard_link(dir.path() / "song.mid", dir.path() / "hard.mml");
    auto before = dir.names();
    ProgramRun run = runVantrel(c.args, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names(c.smf, c.mml));
    EXPECT_EQ(run.err, c.mml + ": " + ex::kSameFile + "\n");
    EXPECT_EQ(dir.names(), before);
    Bytes smf = noteFile();
    std::string original(smf.begin(), smf.end());
    EXPECT_EQ(dir.read("song.mid"), original);
    EXPECT_EQ(dir.read("x.mml"), original);
  }
}

// A data fault keeps in the output file every byte written before it.
TEST(CommandLineRun, DataFaultsLeaveWhatWasWrittenBeforeThem) {
  {
    SCOPED_TRACE("header fault: output created and empty");
    ScratchDir dir;
    Bytes smf = makeSmf(2, 480, {Track().end()});
    dir.write("song.mid", smf);
    ProgramRun run = runVantrel({"song"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("song.mid", "song.mml"));
    EXPECT_EQ(run.err, std::string(ex::kDataFault) + ex::kFormat2);
    EXPECT_EQ(dir.read("song.mml"), "");
  }
  {
    SCOPED_TRACE("second track cut short: only the header comment, no listing");
    ScratchDir dir;
    Track cut;
    cut.on(0, 1, 60).raw(480, {0x80, 60});
    Bytes smf = makeSmf(1, 480, {Track().end(), cut});
    dir.write("song.mid", smf);
    ProgramRun run = runVantrel({"song"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("song.mid", "song.mml"));
    EXPECT_EQ(run.err, std::string(ex::kDataFault) + ex::kCutShort);
    EXPECT_EQ(dir.read("song.mml"), ex::headerComment(6, 1, 2, 480));
  }
  {
    SCOPED_TRACE("fault during conversion: the text up to it is on disk");
    ScratchDir dir;
    Track t;
    t.text(0, 0x03, "Lead").raw(480, {0xF4}).end();
    Bytes smf = makeSmf(1, 480, {t});
    dir.write("song.mid", smf);
    ProgramRun run = runVantrel({"song"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("song.mid", "song.mml") + kPlainListing);
    EXPECT_EQ(run.err, std::string(ex::kDataFault) + ex::kInvalidEvent);
    std::string file = dir.read("song.mml");
    EXPECT_EQ(file, convert(smf).mml);
    EXPECT_GT(file.size(), ex::headerComment(6, 1, 1, 480).size());
  }
}

}  // namespace
}  // namespace vantrel::test
