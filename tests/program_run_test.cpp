// The program run as a user runs it, on the files that the in-process tests
// convert: the demo piece and a RIFF MIDI file.

#include <gtest/gtest.h>

#include "tests/conversion.h"
#include "tests/run_program.h"

namespace vantrel::test {
namespace {

TEST(ProgramRun, ConvertsTheDemo) {
  ScratchDir scratch;
  scratch.write("demo.mid", demoSmf());

  ProgramRun plain = runVantrel({"demo.mid"}, scratch.path());
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(scratch.read("demo.mml"), sourceFile("examples/demo.mml"));

  ProgramRun kana = runVantrel({"/J", "/Fmkana", "demo"}, scratch.path());
  ASSERT_EQ(kana.status, 0) << kana.err;
  EXPECT_EQ(scratch.read("kana.mml"), sourceFile("examples/demo_kana.mml"));
}

TEST(ProgramRun, ReadsAnRmiFile) {
  Track t;
  t.text(0, 0x03, "Lead").on(0, 1, 60).off(480, 1, 60, 0).on(0, 1, 64).off(960, 1, 64, 0).end();
  const Bytes song = makeSmf(0, 480, {t});
  ScratchDir dir;
  dir.write("song.rmi", smf_writer::riffForm("RMID", {smf_writer::riffChunk("data", song)}));
  ProgramRun run = runVantrel({"song.rmi"}, dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(dir.read("song.mml"), convertBytes(song).mml);
}

}  // namespace
}  // namespace vantrel::test
