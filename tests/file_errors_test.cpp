// Files that cannot be read or written completely: the program names the file
// on standard error and ends with status 1, never with success for a file it
// did not write whole, and it changes no file but the output.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/expected_texts.h"
#include "tests/run_program.h"
#include "tests/smf_builder.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

Bytes shortSong() {
  Track t;
  t.text(0, 0x03, "Lead").on(0, 1, 60).off(480, 1, 60, 0).end();
  return makeSmf(0, 480, {t});
}

// Far more MML than the writer buffers, so the file system refuses it while
// the conversion is still running, not only at the final flush.
Bytes longSong() {
  Track t;
  for (int i = 0; i < 4000; ++i) t.on(0, 1, 60 + i % 12).off(100, 1, 60 + i % 12, 0);
  t.end();
  return makeSmf(0, 480, {t});
}

std::string asText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The files every case starts with: the input and a file that no run of the
// program may touch.
void layOut(const ScratchDir& dir, const Bytes& song) {
  dir.write("song.mid", song);
  dir.write("keep.mml", Bytes{'k', 'e', 'e', 'p'});
}

void expectUntouched(const ScratchDir& dir, const Bytes& song) {
  EXPECT_EQ(dir.read("song.mid"), asText(song));
  EXPECT_EQ(dir.read("keep.mml"), "keep");
}

// The line that perror writes for a file: its name first.
void expectNamed(const ProgramRun& run, const std::string& name, const std::string& reason) {
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find(name + ": " + reason + "\n"), std::string::npos) << run.err;
}

TEST(FileErrors, AnOutputThatTheDiskRefusesIsAFault) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string name;  // as the message gives it
    Bytes song;
  };
  const std::vector<Case> cases = {
      // "/Fm/dev/full" would name /dev/full.mml: a name without a dot gets ".mml".
      {"full device, written at the end", {"/Fm/dev/./full", "song"}, "/dev/./full", shortSong()},
      {"full device, written during the conversion", {"/Fm/dev/./full", "song"}, "/dev/./full",
       longSong()},
      {"link to the full device", {"/Fmfull.mml", "song"}, "full.mml", longSong()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    layOut(dir, c.song);
    fs::create_symlink("/dev/full", dir.path() / "full.mml");
    ProgramRun run = runVantrel(c.args, dir.path());
    expectNamed(run, c.name, "No space left on device");
    // The message of the failed write is the only one.
    EXPECT_EQ(run.err, c.name + ": No space left on device\n");
    expectUntouched(dir, c.song);
  }
}

TEST(FileErrors, AFullDiskAtADataFaultIsReportedToo) {
  // The data fault comes first; the flush of what was written before it then
  // fails as well, and the status stays 1.
  Track t;
  t.text(0, 0x03, "Lead").raw(480, {0xF4}).end();
  Bytes song = makeSmf(0, 480, {t});
  ScratchDir dir;
  layOut(dir, song);
  ProgramRun run = runVantrel({"/Fm/dev/./full", "song"}, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, std::string(expected::kDataFault) + expected::kInvalidEvent +
                         "/dev/./full: No space left on device\n");
  expectUntouched(dir, song);
}

TEST(FileErrors, ADirectoryAsOutputIsAFault) {
  // A big input has its output opened while it is walked; what a user sees
  // is the same, with nothing of the walk (the listing) in it.
  Track big;
  for (int i = 0; i < 140000; ++i) big.on(0, 1, 60 + i % 12).off(100, 1, 60 + i % 12, 0);
  big.end();
  for (const Bytes& song : {shortSong(), makeSmf(0, 480, {big})}) {
    SCOPED_TRACE(song.size());
    ScratchDir dir;
    layOut(dir, song);
    fs::create_directory(dir.path() / "out.mml");
    ProgramRun run = runVantrel({"/Fmout", "song"}, dir.path());
    EXPECT_EQ(run.out, "SMF = song.mid\nMML = out.mml\n");
    EXPECT_EQ(run.err, "out.mml: Is a directory\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(fs::is_empty(dir.path() / "out.mml"));
    expectUntouched(dir, song);
  }
}

TEST(FileErrors, AnInputThatCannotBeReadIsAFaultAndTouchesNoOutput) {
  struct Case {
    const char* what;
    std::string input;   // the argument, a name with a dot
    std::string reason;  // the system's description
  };
  const std::vector<Case> cases = {
      {"a directory", "folder.mid", "Is a directory"},
      // Opening works; reading fails (nothing is mapped at address 0).
      {"a device whose reading fails", "memory.mid", "Input/output error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    layOut(dir, shortSong());
    fs::create_directory(dir.path() / "folder.mid");
    fs::create_symlink("/proc/self/mem", dir.path() / "memory.mid");
    // The output that the input's name gives exists already: it stays as it is.
    const std::string output = c.input.substr(0, c.input.find('.')) + ".mml";
    dir.write(output, Bytes{'o', 'l', 'd'});
    ProgramRun run = runVantrel({c.input}, dir.path());
    expectNamed(run, c.input, c.reason);
    EXPECT_EQ(run.out, "SMF = " + c.input + "\nMML = " + output + "\n");
    EXPECT_EQ(dir.read(output), "old");
    expectUntouched(dir, shortSong());
  }
}

TEST(FileErrors, AnInputLargerThanTheMemoryIsAFault) {
#if defined(__SANITIZE_ADDRESS__)
  // AddressSanitizer's allocator ends the process at its own size limit.
  GTEST_SKIP() << "built with AddressSanitizer";
#endif
  // A sparse file of a tebibyte: no disk space, but no memory holds it.
  ScratchDir dir;
  layOut(dir, shortSong());
  fs::resize_file(dir.path() / "song.mid", std::uintmax_t{1} << 40);
  ProgramRun run = runVantrel({"song"}, dir.path());
  expectNamed(run, "song.mid", "Cannot allocate memory");
  EXPECT_FALSE(fs::exists(dir.path() / "song.mml"));
  EXPECT_EQ(dir.read("keep.mml"), "keep");
}

TEST(FileErrors, AnInputWithoutReadPermissionIsAFault) {
  // The superuser reads every file whatever its permissions.
  if (geteuid() == 0) GTEST_SKIP() << "running as root";
  ScratchDir dir;
  layOut(dir, shortSong());
  fs::permissions(dir.path() / "song.mid", fs::perms::none);
  ProgramRun run = runVantrel({"song"}, dir.path());
  fs::permissions(dir.path() / "song.mid", fs::perms::owner_read | fs::perms::owner_write);
  expectNamed(run, "song.mid", "Permission denied");
  EXPECT_FALSE(fs::exists(dir.path() / "song.mml"));
  expectUntouched(dir, shortSong());
}

}  // namespace
}  // namespace vantrel::test
