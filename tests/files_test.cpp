// The output replaces an earlier file only when the conversion has ended:
// whatever fails (the disk, a rename, a signal), the earlier file stays as
// it was and no new file is left behind; where a new file cannot serve, the
// output is written in place. Files that cannot be read are named in the
// message, and change nothing.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/memory_file_system.h"
#include "mml/convert.h"
#include "tests/expected_texts.h"
#include "tests/run_program.h"
#include "tests/conversion.h"

namespace vantrel::test {
namespace {

namespace ex = expected;
using Call = MemoryFileSystem::Call;

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Far more MML than one block of the writer, so that a disk that fills up
// refuses it while the conversion still runs; `fault` adds a track after it
// with an event that no file may hold.
Bytes longSong(bool fault = false) {
  Track t;
  for (int i = 0; i < 20000; ++i) t.on(0, 1, 60 + i % 12).off(100, 1, 60 + i % 12, 0);
  t.end();
  if (!fault) return makeSmf(0, 480, {t});
  Track faulty;
  faulty.raw(0, {0xF4}).end();
  return makeSmf(1, 480, {t, faulty});
}

// The MML of `song` as the conversion writes it.
std::string mmlOf(const Bytes& song) {
  StringSink mml, console;
  vantrel::convert(song, Settings{}, mml, console);
  return mml.text;
}

// Runs the program with `args` on files that hold `song` as song.mid and
// what `setUp` adds.
ProgramRun runOnSong(const Bytes& song, const std::function<void(MemoryFileSystem&)>& setUp,
                     const std::vector<std::string>& args, MemoryFileSystem& files) {
  files.addFile("song.mid", text(song));
  setUp(files);
  return runInMemory(args, files);
}

TEST(OutputFile, ReplacedOnlyByAFinishedConversion) {
  const std::string full = "song.mml: No space left on device\n";
  const std::string fault = std::string(ex::kDataFault) + ex::kInvalidEvent;
  const std::vector<std::string> usual = {"song.mid", "song.mml"};
  struct Case {
    const char* what;
    bool faultInData;
    std::function<void(MemoryFileSystem&)> setUp;  // song.mid is there already
    std::vector<std::string> args;
    int status;
    std::string err;
    const char* output;  // what song.mml holds: "old", "new" (the MML) or nullptr: none
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"a new output", false, [](MemoryFileSystem&) {}, {"song"}, 0, "", "new", usual},
      {"an earlier output replaced", false, [](MemoryFileSystem& f) { f.addFile("song.mml", "old"); },
       {"song"}, 0, "", "new", usual},
      {"the disk full part way", false,
       [](MemoryFileSystem& f) {
         f.addFile("song.mml", "old");
         f.spaceLeft = 100000;
       },
       {"song"}, 1, full, "old", usual},
      {"the disk full part way, no earlier output", false,
       [](MemoryFileSystem& f) { f.spaceLeft = 100000; }, {"song"}, 1, full, nullptr, {"song.mid"}},
      {"the disk full, and a fault in the data after it", true,
       [](MemoryFileSystem& f) {
         f.addFile("song.mml", "old");
         f.spaceLeft = 100000;
       },
       {"song"}, 1, fault + full, "old", usual},
      {"a fault in the data: the text before it is kept", true,
       [](MemoryFileSystem& f) { f.addFile("song.mml", "old"); }, {"song"}, 1, fault, "new", usual},
      {"the rename fails", false,
       [](MemoryFileSystem& f) {
         f.addFile("song.mml", "old");
         f.fail = [](Call call, const std::string&) { return call == Call::kReplace ? EIO : 0; };
       },
       {"song"}, 1, "song.mml: Input/output error\n", "old", usual},
      {"a folder that takes no new file: in place", false,
       [](MemoryFileSystem& f) {
         f.addFile("song.mml", "old");
         f.closeFolder("");
       },
       {"song"}, 0, "", "new", usual},
      {"a symbolic link stays a link, its file replaced", false,
       [](MemoryFileSystem& f) {
         f.addFile("sub/real.mml", "old");
         f.addLink("song.mml", "sub/real.mml");
       },
       {"song"}, 0, "", "new", {"song.mid", "song.mml", "sub/real.mml"}},
      {"a file of two names: in place", false,
       [](MemoryFileSystem& f) {
         f.addFile("song.mml", "old");
         f.addHardLink("song.mml", "other.mml");
       },
       {"song"}, 0, "", "new", {"other.mml", "song.mid", "song.mml"}},
      {"a device that refuses: in place", false,
       [](MemoryFileSystem& f) { f.addDevice("song.mml", ENOSPC); }, {"song"}, 1, full, nullptr, usual},
      {"a folder as output", false, [](MemoryFileSystem& f) { f.addFolder("song.mml"); }, {"song"}, 1,
       "song.mml: Is a directory\n", nullptr, usual},
      {"an output in a folder that takes none", false,
       [](MemoryFileSystem& f) { f.closeFolder("sub"); }, {"/Fmsub/x", "song"}, 1,
       "sub/x.mml: Permission denied\n", nullptr, {"song.mid"}},
      {"an input that fails part way", false,
       [](MemoryFileSystem& f) {
         f.addFile("song.mml", "old");
         f.fail = [](Call call, const std::string&) { return call == Call::kRead ? EIO : 0; };
       },
       {"song"}, 1, "song.mid: Input/output error\n", "old", usual},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes song = longSong(c.faultInData);
    MemoryFileSystem files;
    const ProgramRun run = runOnSong(song, c.setUp, c.args, files);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
    const std::string* output = files.file("song.mml");
    if (c.output == nullptr) {
      EXPECT_EQ(output, nullptr);
    } else {
      ASSERT_NE(output, nullptr);
      // Not compared with EXPECT_EQ: a difference would print megabytes.
      EXPECT_TRUE(*output == (c.output == std::string("old") ? "old" : mmlOf(song))) << output->size();
    }
    EXPECT_EQ(files.names(), c.names);
  }
}

// Where the new file cannot take the earlier one's place as that was, the
// finished text is copied into the earlier file, which stays the same file;
// where that file cannot be written either, the rename decides.
TEST(OutputFile, WhereTheRenameCannotServeTheFinishedTextIsCopiedIntoTheEarlierFile) {
  const auto renameFails = [](int error) {
    return [error](Call call, const std::string&) { return call == Call::kReplace ? error : 0; };
  };
  const auto attributesStay = [](Call call, const std::string&) {
    return call == Call::kKeepAttributes ? EPERM : 0;
  };
  struct Case {
    const char* what;
    std::function<int(Call, const std::string&)> fail;
    std::uint32_t mode;  // of the earlier song.mml
    bool faultInData;
    int status;
    std::string err;
    const char* output;  // "old" or "new"
    bool sameFile;       // song.mml is still the earlier file
  };
  const std::string fault = std::string(ex::kDataFault) + ex::kInvalidEvent;
  const std::vector<Case> cases = {
      {"a file mounted on its own", renameFails(EBUSY), 0644, false, 0, "", "new", true},
      {"another file system", renameFails(EXDEV), 0644, false, 0, "", "new", true},
      {"a sticky folder over another's file", renameFails(EPERM), 0644, false, 0, "", "new", true},
      {"a rename refused", renameFails(EACCES), 0644, false, 0, "", "new", true},
      {"a fault in the data: the text before it copied", renameFails(EBUSY), 0644, true, 1, fault, "new",
       true},
      {"a refused rename, and a file that cannot be written", renameFails(EBUSY), 0444, false, 1,
       "song.mml: Device or resource busy\n", "old", true},
      {"an owner or attributes that cannot be given", attributesStay, 0644, false, 0, "", "new", true},
      {"... to a file that cannot be written: replaced", attributesStay, 0444, false, 0, "", "new", false},
      {"a refused rename, and a copy that cannot open the file",
       [](Call call, const std::string&) {
         return call == Call::kReplace ? EBUSY : call == Call::kOpenForWriting ? EACCES : 0;
       },
       0644, false, 1, "song.mml: Permission denied\n", "old", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes song = longSong(c.faultInData);
    MemoryFileSystem files;
    files.addFile("song.mid", text(song));
    files.addFile("song.mml", "old", c.mode);
    NodeInfo before, after;
    files.info("song.mml", before);
    files.fail = c.fail;
    const ProgramRun run = runInMemory({"song"}, files);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
    files.info("song.mml", after);
    EXPECT_EQ(after.inode == before.inode, c.sameFile);
    EXPECT_TRUE(*files.file("song.mml") == (c.output == std::string("old") ? "old" : mmlOf(song)));
    EXPECT_EQ(files.names(), (std::vector<std::string>{"song.mid", "song.mml"}));
  }
}

// The output is written where the user asked, whatever its name and
// however much text it takes, unless the user capped it.
TEST(OutputFile, LongNamesStreamsAndTheCap) {
  const Bytes song = longSong();
  const std::string mml = mmlOf(song);
  const std::string longName = std::string(251, 'x') + ".mml";  // 255 bytes, the most
  const std::string capped = "song.mml: MML\x82\xAA--max-output\x82\xCC\x8F\xE3\x8C\xC0\x82\xF0"
                             "\x92\xB4\x82\xA6\x82\xE9\x82\xBD\x82\xDF\x81\x41\x8F\x91\x82\xAB"
                             "\x8F\x6F\x82\xB5\x82\xF0\x8E\x7E\x82\xDF\x82\xDC\x82\xB5\x82\xBD\x81\x42\n";
  const std::string size = std::to_string(mml.size());
  const std::string refused = std::string(ex::kOptionFault) + "--max-output\n";
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::function<void(MemoryFileSystem&)> setUp;
    int status;
    std::string err;
    std::string output;  // of `name`
    std::string name;
  };
  const auto none = [](MemoryFileSystem&) {};
  const auto earlier = [](MemoryFileSystem& f) { f.addFile("song.mml", "old"); };
  const std::vector<Case> cases = {
      {"a name of 255 bytes", {"/Fm" + longName, "song"}, none, 0, "", mml, longName},
      {"a stream is appended to, not emptied", {"/Fmout.log", "song"},
       [](MemoryFileSystem& f) { f.addStream("out.log", "earlier\n"); }, 0, "", "earlier\n" + mml, "out.log"},
      {"a cap below the text", {"--max-output=1K", "song"}, earlier, 1, capped, "old", "song.mml"},
      {"a cap below the text, no earlier output", {"--max-output=1K", "song"}, none, 1, capped, "",
       "song.mml"},
      {"a cap of the text's size", {"--max-output=" + size, "song"}, earlier, 0, "", mml, "song.mml"},
      {"a cap a byte short", {"--max-output=" + std::to_string(mml.size() - 1), "song"}, earlier, 1,
       capped, "old", "song.mml"},
      {"a cap in mebibytes", {"--max-output=1M", "song"}, earlier, 0, "", mml, "song.mml"},
      {"a cap in gibibytes, past 32 bits", {"--max-output=5G", "song"}, earlier, 0, "", mml, "song.mml"},
      {"a cap of no number", {"--max-output=1T", "song"}, earlier, 1, refused, "old", "song.mml"},
      {"a cap of nothing", {"--max-output=", "song"}, earlier, 1, refused, "old", "song.mml"},
      {"a cap past 64 bits", {"--max-output=17179869184G", "song"}, earlier, 1, refused, "old",
       "song.mml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem files;
    const ProgramRun run = runOnSong(song, c.setUp, c.args, files);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
    const std::string* output = files.file(c.name);
    if (c.output.empty()) {
      EXPECT_EQ(output, nullptr);
    } else {
      ASSERT_NE(output, nullptr);
      EXPECT_TRUE(*output == c.output) << output->size();
    }
    // No file of this run's is left beside it.
    EXPECT_LE(files.names().size(), 2u);
  }
}

TEST(OutputFile, KeepsThePermissionsOfTheFileItReplaces) {
  MemoryFileSystem files;
  files.addFile("song.mid", text(longSong()));
  files.addFile("song.mml", "old", 0600);
  ASSERT_EQ(runInMemory({"song"}, files).status, 0);
  NodeInfo info;
  files.info("song.mml", info);
  EXPECT_EQ(info.mode, 0600u);
}

TEST(InputFile, ReadOnceWhateverHappensToTheFile) {
  const Bytes song = longSong();
  {
    SCOPED_TRACE("cut while it is read: a cut file");
    MemoryFileSystem files;
    files.addFile("song.mid", text(song));
    files.fail = [&](Call call, const std::string& name) {
      if (call == Call::kRead) files.truncate(name, song.size() / 2);
      return 0;
    };
    const ProgramRun run = runInMemory({"song"}, files);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string(ex::kDataFault) + ex::kCutShort);
    EXPECT_EQ(*files.file("song.mml"), ex::headerComment(6, 0, 1, 480));  // the text before the cut
  }
  {
    SCOPED_TRACE("replaced while it is read: the file as it was opened");
    MemoryFileSystem files;
    files.addFile("song.mid", text(song));
    files.fail = [&](Call call, const std::string& name) {
      if (call == Call::kRead) files.addFile(name, "other");
      return 0;
    };
    EXPECT_EQ(runInMemory({"song"}, files).status, 0);
    EXPECT_EQ(*files.file("song.mml"), mmlOf(song));
  }
  {
    SCOPED_TRACE("not MIDI: read no further than its first bytes");
    MemoryFileSystem files;
    files.addFile("zero.mid", std::string(1 << 20, '\0'));
    int reads = 0;
    files.fail = [&](Call call, const std::string&) { return call == Call::kRead && ++reads > 1 ? EIO : 0; };
    const ProgramRun run = runInMemory({"zero"}, files);
    EXPECT_EQ(run.err, std::string(ex::kDataFault) + ex::kNoMThd);
    EXPECT_EQ(files.names(), std::vector<std::string>{"zero.mid"});
  }
}

// What only a process shows: the end by a signal, a closed standard output.
TEST(OutputFile, ASignalLeavesTheEarlierOutputAndNoNewFile) {
  // Big enough to take a tenth of a second or more.
  Track t;
  for (int i = 0; i < 1000000; ++i) t.on(0, 1 + i % 16, 40 + i % 48).off(60, 1 + i % 16, 40 + i % 48, 0);
  t.end();
  const Bytes song = makeSmf(0, 480, {t});
  for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM,
                     SIGPROF, SIGKILL}) {
    SCOPED_TRACE(strsignal(number));
    ScratchDir dir;
    dir.write("song.mid", song);
    dir.write("song.mml", Bytes{'o', 'l', 'd'});
    StartedVantrel run({"song"}, dir.path());
    // Stopped once its new file is there.
    for (int wait = 0; wait < 5000 && dir.names().size() < 3; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(dir.names().size(), 3u) << "no new file appeared";
    run.signal(number);
    EXPECT_EQ(run.wait(), 128 + number);
    EXPECT_EQ(dir.read("song.mml"), "old");
    // A kill cannot be answered: its new file stays, hidden.
    if (number != SIGKILL) {
      EXPECT_EQ(dir.names(), (std::set<std::string>{"song.mid", "song.mml"}));
    }
  }
}

TEST(OutputFile, AClosedStandardOutputTakesNoFilesPlace) {
  ScratchDir dir;
  dir.write("song.mid", longSong());
  StartedVantrel run({"song"}, dir.path(), /*closeStandardOutput=*/true);
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(dir.read("song.mml"), mmlOf(longSong()));
}

}  // namespace
}  // namespace vantrel::test
