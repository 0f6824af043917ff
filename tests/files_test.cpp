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
    files.addFile("song.mid", text(song));
    c.setUp(files);
    const ProgramRun run = runInMemory(c.args, files);
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
  for (int number : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
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
