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
      {"two notes of a key that meet: placed on a finer grid, neither moved far",
       notesFile({{0, 100, 60}, {10, 100, 60}, {130, 200, 62}}), {"/Q16"}, "v100o5c128c32.^128d8"},
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

// Every note in time: where notes come faster than the grid, a finer grid
// for them; a beat of triplets among straight ones; a file played late; and
// only what sounds of a controller.
TEST(Grid, NoNoteDrifts) {
  struct Case {
    const char* what;
    Bytes smf;
    std::vector<std::string> options;
    std::string pass;   // the text of channel 1
    std::string grid;   // the grid's line
  };
  std::vector<Note> roll, late;
  for (std::uint32_t k = 0; k < 8; ++k) roll.push_back({60 * k, 30, 38});
  for (std::uint32_t k = 0; k < 4; ++k) late.push_back({7 + 240 * k, 233, 60 + static_cast<int>(k)});
  const Bytes restruck =
      makeSmf(0, 480, {Track().on(0, 1, 60).on(480, 1, 60).off(0, 1, 60).off(480, 1, 60).end(0)});
  const std::vector<Case> cases = {
      {"a roll of 32nds under a grid of 16ths", notesFile(roll), {"/Q16"},
       "v100o3d32d32d32d32d32d32d32d32", "Grid:1/16\tStep:120"},
      {"a flam: its grace note on a 128th before the beat", notesFile({{470, 10, 38}, {480, 240, 38}}),
       {"/Q16"}, "r8.^32.^128v100o3d128d8", "Grid:1/16\tStep:120"},
      {"a key struck again", restruck, {"/Q16"}, "v100o5c4c4", "Grid:1/16\tStep:120"},
      {"a beat of triplets among straight eighths",
       notesFile({{0, 230, 60}, {240, 230, 62}, {480, 150, 64}, {640, 150, 65}, {800, 150, 67},
                  {960, 470, 69}}),
       {"/Q"}, "v100o5c8d8e12f12g12a4", "Grid:1/8+1/12\tStep:240+160"},
      {"played seven ticks late", notesFile(late), {"/Q"}, "v100o5c8c+8d8d+8",
       "Grid:1/8+1/12\tStep:240+160\tOffset:TR(0)=7"},
      {"a pitch-bend stream: the last at each point, no value again",
       notesFile({{0, 960, 60}}, {{0, {0xE0, 0, 64}}, {10, {0xE0, 0, 66}}, {20, {0xE0, 0, 68}},
                                  {250, {0xE0, 0, 68}}, {480, {0xE0, 0, 70}}, {490, {0xE0, 0, 64}}}),
       {"/Q16"}, " Sub{v100o5c2}PitchBend(512); r4PitchBend(0); r4", "Grid:1/16\tStep:120"},
      {"a rest over bar lines starts again after each", notesFile({{0, 480, 60}, {3840, 480, 62}}),
       {"/Q16"}, "v100o5c4r2.\t|\tr1\t|\td4", "Grid:1/16\tStep:120"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Conversion result = convertBytes(c.smf, c.options);
    EXPECT_EQ(result.status, 0) << result.error;
    EXPECT_EQ(passText(result.mml, 1), c.pass);
    EXPECT_NE(result.listing.find(c.grid + "\n"), std::string::npos) << result.listing;
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
      // Its two notes lie within 2 ticks of quarters: the coarsest pair of
      // grids serves.
      {{"--quantize=auto", "song"}, 0, names + listing + "Grid:1/8+1/12\tStep:240+160\n", ""},
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
