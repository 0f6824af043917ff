// The grid (/Q, --quantize): where notes and events land, how their lengths
// are written, and the values refused.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/memory_file_system.h"
#include "tests/conversion.h"
#include "tests/expected_texts.h"
#include "tests/run_program.h"

namespace vantrel::test {
namespace {

namespace ex = expected;

// A note of channel 1 from `tick` for `length` ticks.
struct Note {
  std::uint32_t tick, length;
  int key;
};

// One track of notes (and the other events of `extra`, at their ticks).
Bytes notesFile(const std::vector<Note>& notes,
                const std::vector<std::pair<std::uint32_t, Bytes>>& extra = {}) {
  smf_writer::TimedTrack track;
  for (const auto& [tick, bytes] : extra) track.add(tick, bytes);
  for (const Note& n : notes) {
    track.channel(n.tick, 0x90, n.key, 100);
    track.channel(n.tick + n.length, 0x80, n.key, 0);
  }
  return smf_writer::smfFile(0, 480, {track.events(false, track.lastTick())});
}

TEST(Grid, NotesAndEventsOnTheGrid) {
  struct Case {
    const char* what;
    Bytes smf;
    std::vector<std::string> options;
    std::string pass;  // the text of channel 1
  };
  const Bytes timeSignature78{0xFF, 0x58, 0x04, 7, 3, 24, 8};
  const std::vector<Case> cases = {
      {"sixteenths: played a little early and late", notesFile({{0, 470, 60}, {478, 250, 62}, {725, 230, 64}}),
       {"/Q16"}, "v100o5c4d8e8"},
      {"eighth-note triplets", notesFile({{0, 150, 60}, {160, 150, 62}, {320, 150, 64}}), {"/Q12"},
       "v100o5c12d12e12"},
      {"a pickup is divided from its downbeat", notesFile({{470, 480, 60}, {950, 480, 62}}),
       {"/Q16", "/A480"}, "r4\n\t//Rhythm = 4/4\n\tv100o5c4d4"},
      {"two notes of a key that meet: the later takes the next point",
       notesFile({{0, 100, 60}, {10, 100, 60}, {130, 200, 62}}), {"/Q16"}, "v100o5c16 Sub{c16}d8"},
      {"a note shorter than a step lasts a step", notesFile({{0, 10, 60}, {480, 480, 62}}), {"/Q16"},
       "v100o5c16r8.d4"},
      {"a controller between notes", notesFile({{0, 235, 60}, {245, 235, 62}}, {{235, {0xB0, 7, 90}}}),
       {"/Q16"}, "v100o5c8V(90); d8"},
      {"a 7/8 bar under an eighth-note grid",
       notesFile({{0, 830, 60}, {835, 845, 62}}, {{0, timeSignature78}}), {"/Q8"}, "v100o5c4.d2\t|\t"},
      {"a 7/8 bar under a triplet grid: its short last step",
       notesFile({{0, 830, 60}, {835, 845, 62}}, {{0, timeSignature78}}), {"/Q12"},
       "v100o5c3^12d3^12^24\t|\t"},
      {"auto: on the grid of sixteenths", notesFile({{0, 470, 60}, {478, 250, 62}, {725, 230, 64}}),
       {"/Q"}, "v100o5c4d8e8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Conversion result = convertBytes(c.smf, c.options);
    EXPECT_EQ(result.status, 0) << result.error;
    EXPECT_EQ(passText(result.mml, 1), c.pass);
  }
}

TEST(Grid, ItsLineAfterTheListingAndTheValuesRefused) {
  const Bytes song = notesFile({{0, 470, 60}, {478, 250, 62}});
  const std::string listing = "Pointer:0\tLength:1920\tKey:0\tmi:0\nPointer:-1\tLength:1920\tKey:0\tmi:0\n";
  const std::string refused = ex::kBadGrid;
  const std::string names = "SMF = song.mid\nMML = song.mml\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  };
  const std::vector<Case> cases = {
      {{"/Q16", "song"}, 0, names + listing + "Grid:1/16\tStep:120\n", ""},
      {{"--quantize=12", "song"}, 0, names + listing + "Grid:1/12\tStep:160\n", ""},
      // Its two notes lie within 2 ticks of quarters: the coarsest grid serves.
      {{"--quantize=auto", "song"}, 0, names + listing + "Grid:1/4\tStep:480\n", ""},
      // The step is known only with the file's time base: 1920 / 7 is no whole number.
      {{"/Q7", "song"}, 1, names, std::string(ex::kOptionFault) + "/Q7" + refused},
      {{"/Q0", "song"}, 1, "", std::string(ex::kOptionFault) + "/Q0" + refused},
      {{"/Qx", "song"}, 1, "", std::string(ex::kOptionFault) + "/Qx" + refused},
      {{"--quantize=1/16", "song"}, 1, "", std::string(ex::kOptionFault) + "--quantize=1/16" + refused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    MemoryFileSystem files;
    files.addFile("song.mid", std::string(song.begin(), song.end()));
    const ProgramRun run = runInMemory(c.args, files);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(files.file("song.mml") != nullptr, c.status == 0);
  }
}

}  // namespace
}  // namespace vantrel::test
