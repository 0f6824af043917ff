// The program as a user runs it: which names it announces, which files it
// reads and creates, what it refuses, and its exit status. Most cases run on
// files in memory; a real disk and terminal where only they can tell.

#include <gtest/gtest.h>

#include <filesystem>
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
namespace fs = std::filesystem;

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

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
    MemoryFileSystem files;
    files.addFile(c.smf, text(noteFile()));
    ProgramRun run = runInMemory(c.args, files);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, names(c.smf, c.mml) + kPlainListing);
    const std::vector<std::string> all = files.names();
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()), (std::set<std::string>{c.smf, c.mml}));
    EXPECT_EQ(*files.file(c.mml), convertBytes(noteFile(), c.options).mml);
  }
}

TEST(CommandLineRun, AnExistingOtherOutputIsReplaced) {
  MemoryFileSystem files;
  files.addFile("song.mid", text(noteFile()));
  files.addFile("song.mml", std::string(5000, 'x'));
  ProgramRun run = runInMemory({"song"}, files);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(*files.file("song.mml"), convertBytes(noteFile()).mml);
}

TEST(CommandLineRun, FilesThatCannotBeOpened) {
  {
    SCOPED_TRACE("missing input: no output file is created");
    MemoryFileSystem files;
    ProgramRun run = runInMemory({"/Fmout", "nothere"}, files);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("nothere.mid", "out.mml"));
    EXPECT_EQ(run.err, "nothere.mid: No such file or directory\n");
    EXPECT_TRUE(files.names().empty());
  }
  {
    SCOPED_TRACE("input is a directory");
    MemoryFileSystem files;
    files.addFolder("sub.mid");
    ProgramRun run = runInMemory({"sub.mid"}, files);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "sub.mid: Is a directory\n");
    EXPECT_EQ(files.names(), std::vector<std::string>{"sub.mid"});
  }
  {
    SCOPED_TRACE("output in a missing directory");
    MemoryFileSystem files;
    files.addFile("song.mid", text(noteFile()));
    ProgramRun run = runInMemory({"/Fmnodir/x", "song"}, files);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("song.mid", "nodir/x.mml"));
    EXPECT_EQ(run.err, "nodir/x.mml: No such file or directory\n");
    EXPECT_EQ(files.names(), std::vector<std::string>{"song.mid"});
  }
}

// An output that is the input file itself, however it is spelled, is refused
// before anything is created or truncated: on the real disk, which knows
// every spelling of a file.
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

// A file whose header is refused creates no output and leaves an existing
// one as it was; a later data fault keeps in the output file every byte
// written before it.
TEST(CommandLineRun, DataFaultsLeaveWhatWasWrittenBeforeThem) {
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "header fault: an existing output stays" : "header fault: no output");
    MemoryFileSystem files;
    files.addFile("song.mid", text(makeSmf(2, 480, {Track().end()})));
    if (existing) files.addFile("song.mml", "old");
    ProgramRun run = runInMemory({"song"}, files);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("song.mid", "song.mml"));
    EXPECT_EQ(run.err, std::string(ex::kDataFault) + ex::kFormat2);
    if (existing) {
      EXPECT_EQ(*files.file("song.mml"), "old");
    } else {
      EXPECT_EQ(files.names(), std::vector<std::string>{"song.mid"});
    }
  }
  {
    SCOPED_TRACE("second track cut short: only the header comment, no listing");
    MemoryFileSystem files;
    Track cut;
    cut.on(0, 1, 60).raw(480, {0x80, 60});
    files.addFile("song.mid", text(makeSmf(1, 480, {Track().end(), cut})));
    ProgramRun run = runInMemory({"song"}, files);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("song.mid", "song.mml"));
    EXPECT_EQ(run.err, std::string(ex::kDataFault) + ex::kCutShort);
    EXPECT_EQ(*files.file("song.mml"), ex::headerComment(6, 1, 2, 480));
  }
  {
    SCOPED_TRACE("fault during conversion: the text up to it is kept");
    MemoryFileSystem files;
    Track t;
    t.text(0, 0x03, "Lead").raw(480, {0xF4}).end();
    Bytes smf = makeSmf(1, 480, {t});
    files.addFile("song.mid", text(smf));
    ProgramRun run = runInMemory({"song"}, files);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, names("song.mid", "song.mml") + kPlainListing);
    EXPECT_EQ(run.err, std::string(ex::kDataFault) + ex::kInvalidEvent);
    std::string file = *files.file("song.mml");
    EXPECT_EQ(file, convertBytes(smf).mml);
    EXPECT_GT(file.size(), ex::headerComment(6, 1, 1, 480).size());
  }
}

// Arguments that the historic rules refused and that now have a meaning: "--"
// before a file name, "--help" and "--version". Any other "--" argument is
// refused as it always was.
TEST(CommandLineRun, DoubleDashArguments) {
  struct Case {
    std::vector<std::string> args;  // "{dir}" stands for the folder's absolute path
    int status;
    std::string out;                // standard output, up to the listing
    std::string err;
    std::vector<std::string> made;  // the files the run adds (in {dir})
  };
  const std::string secondName = std::string(ex::kOptionFault) + ex::kSecondSmf + "\n";
  const std::vector<Case> cases = {
      {{"--", "{dir}/my.songs/tune.v2.mid"}, 0,
       names("{dir}/my.songs/tune.v2.mid", "{dir}/my.songs/tune.v2.mml"), "", {"/here/my.songs/tune.v2.mml"}},
      {{"/J", "--", "my.songs/tune"}, 0, names("my.songs/tune.mid", "my.songs/tune.mml"), "",
       {"my.songs/tune.mml"}},
      {{"--", "-song.mid", "/C2"}, 1, "", secondName, {}},
      {{"--", "-song.mid"}, 0, names("-song.mid", "-song.mml"), "", {"-song.mml"}},
      {{"-Fmout", "--", "/song"}, 1, names("/song.mid", "out.mml"),
       "/song.mid: No such file or directory\n", {}},
      {{"song", "--", "song"}, 1, "", secondName, {}},
      {{"--", "--help"}, 1, names("--help.mid", "--help.mml"),
       "--help.mid: No such file or directory\n", {}},
      {{"--help", "song"}, 0, usageText(), "", {}},
      {{"--version"}, 0, "vantrel " VANTREL_VERSION "\n", "", {}},
      {{"--version", "--help"}, 0, usageText(), "", {}},
      {{"--version", "/Bx", "song"}, 1, "", std::string(ex::kOptionFault) + "/B\n", {}},
      {{"--verbose", "song"}, 1, "", std::string(ex::kOptionFault) + "\n", {}},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += " " + a;
    SCOPED_TRACE(trace);
    // The current folder is /here; {dir} names it by its absolute path.
    MemoryFileSystem files;
    auto placed = [&](std::string text) {
      for (std::size_t at; (at = text.find("{dir}")) != std::string::npos;) text.replace(at, 5, "/here");
      return text;
    };
    for (const char* name : {"song.mid", "-song.mid", "my.songs/tune.v2.mid", "my.songs/tune.mid"}) {
      files.addFile(name, text(noteFile()));
      files.addFile(std::string("/here/") + name, text(noteFile()));
    }
    const std::size_t before = files.names().size();
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(placed(a));
    ProgramRun run = runInMemory(args, files);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out.substr(0, placed(c.out).size()), placed(c.out));
    EXPECT_EQ(run.err, c.err);
    const std::string head = ex::headerComment(6, 0, 1, 480);
    for (const std::string& name : c.made) {
      const std::string* made = files.file(name);
      ASSERT_NE(made, nullptr) << name;
      EXPECT_EQ(made->substr(0, head.size()), head) << name;
    }
    EXPECT_EQ(files.names().size(), before + c.made.size());
  }
}

// On a terminal whose locale reads UTF-8, the program's own texts come in
// UTF-8 and names as they were typed; elsewhere as the code page 932 bytes a
// file or a pipe gets.
TEST(CommandLineTerminal, TextsInTheTerminalsEncodingNamesAsTyped) {
  struct Case {
    std::vector<std::string> args;
    std::string lang;
    std::string shown;  // standard output and standard error together
  };
  const std::string notMidi = "SMF = 曲.mid\nMML = 曲.mml\n"
                              "SMFファイルのデータが不正です。\nMThdチャンクがありません。\n";
  const std::vector<Case> cases = {
      {{"/Z"}, "C.UTF-8", "オプションが不正です。：\n"},
      {{"/Fm"}, "ja_JP.utf8", "オプションが不正です。：/F ファイル名が書いてありません。\n"},
      {{"/Z"}, "C", std::string(ex::kOptionFault) + "\n"},
      {{"/Z"}, "ja_JP.SJIS", std::string(ex::kOptionFault) + "\n"},
      {{"曲"}, "en_US.UTF-8", notMidi},
      {{"/Fm曲.mid", "曲"}, "C.UTF-8", "SMF = 曲.mid\nMML = 曲.mid\n曲.mid: "
                                      "SMFファイルと同じファイルには出力できません。\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lang + " " + c.args[0]);
    ScratchDir dir;
    dir.write("曲.mid", Bytes{'n', 'o', 't', ' ', 'M', 'I', 'D', 'I', ' ', 'a', 't', ' ', 'a', 'l', 'l'});
    ProgramRun run = runVantrelOnTerminal(c.args, dir.path(), c.lang);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, c.shown);
  }
  ScratchDir dir;
  ProgramRun usage = runVantrelOnTerminal({"/H"}, dir.path(), "C.UTF-8");
  EXPECT_EQ(usage.status, 0);
  EXPECT_NE(usage.out.find("  /H\t\t\tヘルプを表示する。\r\n"), std::string::npos) << usage.out;
}

}  // namespace
}  // namespace vantrel::test
