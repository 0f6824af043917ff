// The program as a user runs it: which names it announces, which files it
// reads and creates, what it refuses, and its exit status. Most cases run on
// files in memory; a real disk and terminal where only they can tell.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/option_texts.h"
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

// What a person reads at a terminal: the terminal's language and encoding
// chosen from the locale, each kind of refused argument named with what was
// expected, names as they were typed. The same command lines redirected get
// the program's own bytes, as they always have.
TEST(CommandLineTerminal, TextsInTheTerminalsLanguageAndTheRecordUnchanged) {
  struct Case {
    std::vector<std::string> environment;
    std::vector<std::string> args;
    std::string shown;   // standard output and standard error together
    std::string record;  // the same, redirected
  };
  const std::vector<std::string> en = {"LANG=en_US.UTF-8"};
  const std::vector<std::string> ja = {"LANG=ja_JP.UTF-8"};
  const std::string refused = ex::kOptionFault;
  const std::string bare = refused + "\n";
  const std::string q16En = "Invalid argument: /q16\n  Did you mean /Q16?\n";
  const std::string q16Ja = "オプションが不正です。：/q16\n  /Q16 のことですか？\n";
  const std::string names = "SMF = song.mid\nMML = song.mml\n";
  const std::vector<Case> cases = {
      // The language and the encoding, from the locale.
      {ja, {"/q16"}, q16Ja, bare},
      {{"LANG=C.UTF-8"}, {"/q16"}, q16Ja, bare},
      {{"LANG=de_DE.UTF-8"}, {"/q16"}, q16En, bare},
      {{"LANG=ja_JP.UTF-8", "LC_ALL=C"}, {"/q16"}, q16En, bare},
      {{"LANG=POSIX"}, {"/q16"}, q16En, bare},
      {{}, {"/q16"}, q16En, bare},
      {{"LANG=de_DE.ISO-8859-1", "LANGUAGE=ja"}, {"/q16"}, q16En, bare},
      {{"LANG=en_US.UTF-8", "LC_MESSAGES=ja_JP.UTF-8"}, {"/q16"}, q16Ja, bare},
      {{"LANG=ja_JP.UTF-8", "LANGUAGE=en_GB:ja"}, {"/q16"}, q16En, bare},
      {{"LANG=ja_JP.SJIS"}, {"/q16"},
       refused + "/q16\n  /Q16 \x82\xCC\x82\xB1\x82\xC6\x82\xC5\x82\xB7\x82\xA9\x81\x48\n", bare},
      {{"LANG=ja_JP.eucJP"}, {"/q16"},
       "\xA5\xAA\xA5\xD7\xA5\xB7\xA5\xE7\xA5\xF3\xA4\xAC\xC9\xD4\xC0\xB5\xA4\xC7\xA4\xB9\xA1\xA3\xA1\xA7"
       "/q16\n  /Q16 \xA4\xCE\xA4\xB3\xA4\xC8\xA4\xC7\xA4\xB9\xA4\xAB\xA1\xA9\n", bare},
      // Each kind of refused argument.
      {en, {"/Z", "song"}, "Invalid argument: /Z\n  There is no such option; vantrel --help lists them all.\n", bare},
      {ja, {"/Z"}, "オプションが不正です。：/Z\n  そのようなオプションはありません。vantrel --help で一覧を表示します。\n", bare},
      {en, {"--quantise=16", "song"}, "Invalid argument: --quantise=16\n  Did you mean --quantize=16?\n", bare},
      {en, {"-version"}, "Invalid argument: -version\n  Did you mean --version?\n", bare},
      {en, {"/tmp/x/song.mid"}, "Invalid argument: /tmp/x/song.mid\n"
       "  A file name that begins with / needs -- before it: vantrel -- /tmp/x/song.mid\n", bare},
      {ja, {"-take2.mid"}, "オプションが不正です。：-take2.mid\n"
       "  - で始まるファイル名の前には -- を置きます：vantrel -- -take2.mid\n", bare},
      {en, {"/Q", "16", "song"}, "Invalid argument: song\n  The SMF file is named twice: 16, then song.\n"
       "  /Q takes its value attached, with no space: /Q16\n", refused + ex::kSecondSmf + "\n"},
      {en, {"song", "-Q", "16"}, "Invalid argument: 16\n  The SMF file is named twice: song, then 16.\n"
       "  -Q takes its value attached, with no space: -Q16\n", refused + ex::kSecondSmf + "\n"},
      {ja, {"--quantize", "16", "song"}, "オプションが不正です。：song\n  SMFファイルが2回以上指定されました：16、song\n"
       "  --quantize の値は空白を入れずに続けて書きます：--quantize=16\n", refused + ex::kSecondSmf + "\n"},
      {en, {"song", "out.mml"}, "Invalid argument: out.mml\n  The SMF file is named twice: song, then out.mml.\n"
       "  The MML file is named with /Fm: /Fmout.mml\n", refused + ex::kSecondSmf + "\n"},
      {en, {"/Fm", "out.mml", "song"}, "Invalid argument: /Fm\n"
       "  /Fm takes its value attached, with no space: /Fmout.mml\n", refused + ex::kNoOutputName + "\n"},
      {ja, {"-B", "-"}, "オプションが不正です。：-B\n  -B の値は空白を入れずに続けて書きます：-B-\n", refused + "/B\n"},
      {en, {"/Fma", "/Fmb"}, "Invalid argument: /Fmb\n  The MML file is named twice: /Fma, then /Fmb.\n",
       refused + ex::kSecondOutput + "\n"},
      {en, {"/MX"}, "Invalid argument: /MX\n  Did you mean /Mx?\n", refused + "/M\n"},
      {en, {"/C", "x"}, "Invalid argument: /C\n"
       "  /C<n>                 bars per line (default 4); 0: a line break after\n"
       "                        every note or rest; -1: no counted line breaks\n", refused + "/C\n"},
      {en, {"/Q7", "song"}, names + "Invalid argument: /Q7\n"
       "  The grid's note value is a whole number that divides the ticks of a\n"
       "  whole note in the file, or auto:\n"
       "  /Q<n>  /Q             put the notes on a grid of nth notes (/Q16: 16ths);\n"
       "                        /Q alone or /Qauto: a grid chosen from the file\n"
       "  --quantize[=n|auto]   the same as /Q<n>, /Q and /Qauto\n",
       names + refused + "/Q7" + ex::kBadGrid},
      // Faults of the data and of files: English, or the program's own words.
      {en, {"曲"}, "SMF = 曲.mid\nMML = 曲.mml\n"
       "The SMF file's data is invalid: no MThd chunk (not a Standard MIDI File).\n",
       "SMF = 曲.mid\nMML = 曲.mml\n" + ex::dataFault(ex::kNoMThd)},
      {{"LANG=C.UTF-8"}, {"曲"}, "SMF = 曲.mid\nMML = 曲.mml\n"
       "SMFファイルのデータが不正です。\nMThdチャンクがありません。\n",
       "SMF = 曲.mid\nMML = 曲.mml\n" + ex::dataFault(ex::kNoMThd)},
      {en, {"/Fm曲.mid", "曲"}, "SMF = 曲.mid\nMML = 曲.mid\n"
       "曲.mid: this is the SMF file itself; the MML cannot be written over it.\n",
       "SMF = 曲.mid\nMML = 曲.mid\n曲.mid: " + std::string(ex::kSameFile) + "\n"},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.environment) trace += a + " ";
    for (const std::string& a : c.args) trace += " " + a;
    SCOPED_TRACE(trace);
    ScratchDir dir;
    dir.write("song.mid", noteFile());
    dir.write("曲.mid", Bytes{'n', 'o', 't', ' ', 'M', 'I', 'D', 'I', ' ', 'a', 't', ' ', 'a', 'l', 'l'});
    const ProgramRun shown = runVantrelOnTerminal(c.args, dir.path(), c.environment);
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.out, c.shown);
    const ProgramRun record = runVantrel(c.args, dir.path(), c.environment);
    EXPECT_EQ(record.status, 1);
    EXPECT_EQ(record.out + record.err, c.record);
  }
}

// The usage at a terminal, in its language; redirected, the program's own.
TEST(CommandLineTerminal, Usage) {
  ScratchDir dir;
  const ProgramRun english = runVantrelOnTerminal({"--help"}, dir.path(), {"LANG=en_US.UTF-8"});
  EXPECT_EQ(english.status, 0);
  EXPECT_EQ(english.out, terminalUsage(Reader::kEnglish));
  // A path read as /h: the usage, and a word on the path.
  const std::vector<std::string> path = {"/home/me/song.mid"};
  const ProgramRun japanese = runVantrelOnTerminal(path, dir.path(), {"LANG=C.UTF-8"});
  EXPECT_EQ(japanese.status, 0);
  EXPECT_NE(japanese.out.find("  /H  --help            ヘルプを表示する。\n"), std::string::npos)
      << japanese.out;
  const std::string note = "/home/me/song.mid はオプション /h と解釈しました。\n"
                           "  / で始まるファイル名の前には -- を置きます：vantrel -- /home/me/song.mid\n";
  ASSERT_GT(japanese.out.size(), note.size());
  EXPECT_EQ(japanese.out.substr(japanese.out.size() - note.size()), note);
  EXPECT_EQ(runVantrel(path, dir.path(), {"LANG=en_US.UTF-8"}).out, usageText());
}

}  // namespace
}  // namespace vantrel::test
