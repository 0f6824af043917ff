// --tracks and --channels: which sections each track block keeps, the time
// kept by every track's system events, and the faults of a choice that the
// file cannot meet, each with the argument as typed.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/memory_file_system.h"
#include "tests/conversion.h"
#include "tests/expected_texts.h"
#include "tests/run_program.h"

namespace vantrel::test {
namespace {

// Each block's channel sections, "TR(0): | TR(1): 1 2 | TR(2): 10", and
// whether the conductor's tempo stayed.
std::string sectionsOf(const std::string& mml) {
  std::string text;
  for (std::size_t at = mml.find("TR("); at != std::string::npos;) {
    const std::size_t next = mml.find("\r\nTR(", at);
    const std::string block = mml.substr(at, next == std::string::npos ? next : next - at);
    text += (text.empty() ? "" : " | ") + block.substr(0, block.find(')') + 1) + ":";
    for (std::size_t c = block.find("CH("); c != std::string::npos; c = block.find("CH(", c + 1)) {
      text += " " + block.substr(c + 3, block.find(')', c) - c - 3);
    }
    if (block.find("Tempo(") != std::string::npos) text += " tempo";
    at = next == std::string::npos ? next : next + 2;
  }
  return text;
}

TEST(Choice, TracksAndChannelsKeepTheirSectionsAndEveryTrackItsTime) {
  Track conductor;
  conductor.tempo(0, 500000).timeSignature(0, 3, 2).end(1440);
  Track piano;
  piano.on(0, 1, 60).off(480, 1, 60).on(0, 2, 48).off(480, 2, 48).end();
  Track drums;
  drums.text(0, 3, "Drums").on(0, 10, 36).off(240, 10, 36).end();
  const Bytes song = makeSmf(1, 480, {conductor, piano, drums});
  const std::string all = "TR(0): tempo | TR(1): 1 2 | TR(2): 10";

  // オプションが不正です。： and the argument, then the text.
  const std::string prefix = expected::kOptionFault;
  //  番号の並びが不正です。（例：1-3,5）
  const std::string badList = " \x94\xD4\x8D\x86\x82\xCC\x95\xC0\x82\xD1\x82\xAA\x95\x73\x90\xB3"
                              "\x82\xC5\x82\xB7\x81\x42\x81\x69\x97\xE1\x81\x46" "1-3,5\x81\x6A";
  //  指定したトラックはこのファイルにありません。
  const std::string noTrack = " \x8E\x77\x92\xE8\x82\xB5\x82\xBD\x83\x67\x83\x89\x83\x62\x83\x4E"
                              "\x82\xCD\x82\xB1\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC9"
                              "\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42";
  //  指定したチャンネルはこのファイルで使われていません。
  const std::string noChannel = " \x8E\x77\x92\xE8\x82\xB5\x82\xBD\x83\x60\x83\x83\x83\x93\x83\x6C"
                                "\x83\x8B\x82\xCD\x82\xB1\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B"
                                "\x82\xC5\x8E\x67\x82\xED\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9"
                                "\x82\xF1\x81\x42";
  //  指定したトラックとチャンネルには音符もチャンネルメッセージもありません。
  const std::string nothing = " \x8E\x77\x92\xE8\x82\xB5\x82\xBD\x83\x67\x83\x89\x83\x62\x83\x4E"
                              "\x82\xC6\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B\x82\xC9\x82\xCD"
                              "\x89\xB9\x95\x84\x82\xE0\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B"
                              "\x83\x81\x83\x62\x83\x5A\x81\x5B\x83\x57\x82\xE0\x82\xA0\x82\xE8"
                              "\x82\xDC\x82\xB9\x82\xF1\x81\x42";
  struct Case {
    std::vector<std::string> options;
    std::string sections;  // of a conversion
    std::string error;     // of a refusal
  };
  const std::vector<Case> cases = {
      {{}, all, ""},
      {{"--tracks=0-2"}, all, ""},
      {{"--tracks=1"}, "TR(0): tempo | TR(1): 1 2 | TR(2):", ""},
      {{"--channels=2,10"}, "TR(0): tempo | TR(1): 2 | TR(2): 10", ""},
      {{"--tracks=2,1", "--channels=1,1"}, "TR(0): tempo | TR(1): 1 | TR(2):", ""},
      {{"--channels=1-9"}, "", prefix + "--channels=1-9" + noChannel},
      {{"--tracks="}, "", prefix + "--tracks=" + badList},
      {{"--tracks=1-"}, "", prefix + "--tracks=1-" + badList},
      {{"--tracks=2-1"}, "", prefix + "--tracks=2-1" + badList},
      {{"--channels=0"}, "", prefix + "--channels=0" + badList},
      {{"--channels=17"}, "", prefix + "--channels=17" + badList},
      {{"--channels=1;2"}, "", prefix + "--channels=1;2" + badList},
      {{"--tracks=1,3"}, "", prefix + "--tracks=1,3" + noTrack},
      {{"--channels=1,3"}, "", prefix + "--channels=1,3" + noChannel},
      {{"--tracks=0"}, "", prefix + "--tracks=0" + nothing},
      {{"--tracks=2", "--channels=1"}, "", prefix + "--tracks=2 --channels=1" + nothing},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.options;
    SCOPED_TRACE(args.empty() ? "all" : args[0]);
    args.push_back("song.mid");
    MemoryFileSystem files;
    files.addFile("song.mid", std::string(song.begin(), song.end()));
    const ProgramRun run = runInMemory(args, files);
    const std::string* mml = files.file("song.mml");
    if (c.error.empty()) {
      ASSERT_EQ(run.status, 0) << run.err;
      ASSERT_NE(mml, nullptr);
      EXPECT_EQ(sectionsOf(*mml), c.sections);
    } else {
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.err, c.error + "\n");
      EXPECT_EQ(mml, nullptr) << "a refused choice makes no file";
    }
  }
}

}  // namespace
}  // namespace vantrel::test
