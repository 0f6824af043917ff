// The preview of a file for the web page's piano roll: the header, the bar
// structure and the notes as the conversion reads them, a RIFF form (.rmi)
// unwrapped as the conversion unwraps it, and a fault as the program prints it.

#include "mml/preview.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "app/memory_file_system.h"
#include "app/program.h"
#include "tests/conversion.h"

namespace vantrel::test {
namespace {

using NoteRow = std::tuple<std::uint32_t, int, int, std::uint64_t, std::uint64_t>;

std::vector<NoteRow> rows(const Preview& preview) {
  std::vector<NoteRow> out;
  for (const PreviewNote& n : preview.notes) out.emplace_back(n.track, n.channel, n.key, n.start, n.end);
  return out;
}

Preview previewOf(const Bytes& smf, const std::vector<std::string>& options = {}) {
  return makePreview(smf, settingsFor(options));
}

Bytes twoTracks() {
  Track conductor;
  conductor.timeSignature(0, 3, 2).keySignature(0, 1, 0).timeSignature(1440, 6, 3).end(960);
  Track melody;
  melody.on(0, 1, 60)
      .off(480, 1, 60)
      .on(0, 2, 64)
      .on(0, 2, 67)
      .raw(240, {0x91, 64, 0})  // a Note On of velocity 0 ends 64
      .off(240, 2, 67)
      .on(0, 10, 36)  // never ended: lasts to the end of its track
      .end(960);
  return makeSmf(1, 480, {conductor, melody});
}

// A RIFF MIDI form of type RMID holding `smf` as its data chunk, after an
// INFO list.
Bytes rmi(const Bytes& smf) {
  return smf_writer::riffForm(
      "RMID", {smf_writer::riffChunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 1, 0, 0, 0, 'x'}),
               smf_writer::riffChunk("data", smf)});
}

// The program's listing of the preview's rhythm entries.
std::string listingOf(const Preview& p) {
  std::string text;
  for (const RhythmEntry& e : p.rhythm) {
    text += "Pointer:" + std::to_string(static_cast<std::int32_t>(e.tick)) + "\tLength:" +
            std::to_string(e.barLength) + "\tKey:" + std::to_string(int{e.key}) +
            "\tmi:" + std::to_string(int{e.mode}) + "\n";
  }
  return text;
}

TEST(Preview, HeaderRhythmAndNotes) {
  const Preview p = previewOf(twoTracks());
  EXPECT_TRUE(p.headerRead);
  EXPECT_EQ(p.fault, "");
  EXPECT_EQ(std::make_tuple(p.format, p.trackCount, p.division), std::make_tuple(1, 2, 480));
  EXPECT_EQ(rows(p), (std::vector<NoteRow>{{1, 0, 60, 0, 480},
                                           {1, 1, 64, 480, 720},
                                           {1, 1, 67, 480, 960},
                                           {1, 9, 36, 960, 1920}}));
  EXPECT_EQ(p.lastEnd, 2400u);  // the conductor track ends at 1440 + 960
  // The rhythm table is the one the conversion lists, sentinel included.
  ASSERT_EQ(p.rhythm.size(), 3u);
  EXPECT_EQ(std::make_tuple(p.rhythm[0].tick, int(p.rhythm[0].numerator), int(p.rhythm[0].denominator),
                            int(p.rhythm[0].key), int(p.rhythm[0].mode), p.rhythm[0].barLength),
            std::make_tuple(std::uint64_t{0}, 3, 4, 1, 0, 1440u));
  EXPECT_EQ(std::make_tuple(p.rhythm[1].tick, int(p.rhythm[1].numerator), int(p.rhythm[1].denominator),
                            p.rhythm[1].barLength),
            std::make_tuple(std::uint64_t{1440}, 6, 8, 1440u));
  EXPECT_EQ(p.rhythm[2].tick, kSentinelTick);
  EXPECT_EQ(listingOf(p), convertBytes(twoTracks()).listing);
}

// What the page plays and names: the tempo map of all tracks in tick order,
// each track's first name, and every note's velocity.
TEST(Preview, TemposNamesAndVelocities) {
  Track conductor;
  conductor.text(0, 3, "Song").tempo(0, 600000).tempo(960, 400000).end();
  Track melody;
  melody.text(0, 3, "Lead").text(0, 3, "Other").tempo(480, 500000).on(0, 1, 60, 90).off(480, 1, 60).end();
  Track drums;
  drums.on(0, 10, 36, 127).off(240, 10, 36).end();
  for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"/Q"}, {"/Q16"}}) {
    {
      SCOPED_TRACE(options.empty() ? "no grid" : options[0]);
      const Preview p = previewOf(makeSmf(1, 480, {conductor, melody, drums}), options);
      ASSERT_EQ(p.tempos.size(), 3u);
      EXPECT_EQ(std::make_tuple(p.tempos[0].tick, p.tempos[1].tick, p.tempos[2].tick),
                std::make_tuple(0u, 480u, 960u));
      EXPECT_EQ(std::make_tuple(p.tempos[0].microseconds, p.tempos[1].microseconds, p.tempos[2].microseconds),
                std::make_tuple(600000u, 500000u, 400000u));
      EXPECT_EQ(p.trackNames, (std::vector<std::string>{"Song", "Lead", ""}));
      ASSERT_EQ(p.notes.size(), 2u);
      EXPECT_EQ(int{p.notes[0].velocity}, 90);
      EXPECT_EQ(int{p.notes[1].velocity}, 127);
    }
  }
}

// With voices each note says which of its channel's voices holds it: the
// chord's highest in the first, the lowest in the third.
TEST(Preview, NotesKnowTheirVoices) {
  const Bytes smf = makeSmf(0, 480, {Track().on(0, 1, 60).on(0, 1, 64).on(0, 1, 67)
                                         .off(480, 1, 60).off(0, 1, 64).off(0, 1, 67).end()});
  std::vector<int> voices;
  for (const PreviewNote& n : previewOf(smf, {"--voices"}).notes) voices.push_back(n.voice);
  EXPECT_EQ(voices, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(previewOf(smf).notes.front().voice, 0);
}

TEST(Preview, PickupAddsItsBarAsTheConversionDoes) {
  const Preview p = previewOf(twoTracks(), {"/A480"});
  ASSERT_EQ(p.rhythm.size(), 4u);
  EXPECT_EQ(p.rhythm[1].tick, 480u);
  EXPECT_EQ(listingOf(p), convertBytes(twoTracks(), {"/A480"}).listing);
}

TEST(Preview, ARiffFormIsReadAsTheSmfInside) {
  const Preview plain = previewOf(twoTracks());
  const Preview wrapped = previewOf(rmi(twoTracks()));
  EXPECT_EQ(wrapped.fault, "");
  EXPECT_TRUE(wrapped.headerRead);
  EXPECT_EQ(rows(wrapped), rows(plain));
  EXPECT_EQ(wrapped.rhythm.size(), plain.rhythm.size());
  EXPECT_EQ(wrapped.lastEnd, plain.lastEnd);
  // And the conversion of the form agrees.
  EXPECT_EQ(convertBytes(rmi(twoTracks())).status, 0);
}

TEST(Preview, AFaultIsTheProgramsMessage) {
  const Bytes good = twoTracks();
  Bytes notMidi = good;
  notMidi[0] = 'X';
  Bytes format2 = good;
  format2[9] = 2;
  Bytes cut = good;
  cut.resize(cut.size() - 6);
  struct Case {
    const char* what;
    Bytes file;
    bool headerRead;
    std::size_t notes;
  };
  for (const Case& c : std::vector<Case>{{"no MThd", notMidi, false, 0},
                                         {"format 2", format2, false, 0},
                                         {"second track cut short", cut, true, 0},
                                         {"empty", {}, false, 0}}) {
    SCOPED_TRACE(c.what);
    const Preview p = previewOf(c.file);
    const Conversion program = convertBytes(c.file);
    EXPECT_EQ(program.status, 1);
    EXPECT_EQ(p.fault, program.error);
    EXPECT_FALSE(p.fault.empty());
    EXPECT_EQ(p.headerRead, c.headerRead);
    EXPECT_TRUE(p.rhythm.empty());
    EXPECT_EQ(p.notes.size(), c.notes);
  }
}

// The preview holds what the MML holds: before a fault, only what the
// conversion writes, and a grid the conversion refuses is refused here too.
TEST(Preview, HoldsWhatTheMmlHolds) {
  Track first;
  first.on(0, 1, 60).off(480, 1, 60).end();
  Track second;
  second.on(0, 1, 62).off(480, 1, 62).end();
  Track undefined;  // a status no file may hold, after a note
  undefined.on(0, 1, 64).off(480, 1, 64).raw(0, {0xF4}).end();
  Bytes cut = makeSmf(1, 480, {first, second});
  cut.resize(cut.size() - 3);
  struct Case {
    const char* what;
    Bytes file;
    std::vector<std::string> options;
    std::vector<NoteRow> notes;
  };
  const std::vector<Case> cases = {
      {"a track cut short: no track is written", cut, {}, {}},
      {"an undefined status in the first track: nothing of its channels, nor of the second",
       makeSmf(1, 480, {undefined, second}), {}, {}},
      {"a fault in the second track: the first whole", makeSmf(1, 480, {first, undefined}), {},
       {{0, 0, 60, 0, 480}}},
      {"a grid whose step is no whole number of ticks", makeSmf(1, 100, {first}), {"/Q12"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Preview p = previewOf(c.file, c.options);
    const Conversion program = convertBytes(c.file, c.options);
    EXPECT_EQ(program.status, 1);
    EXPECT_EQ(p.faultKind, program.fault.kind);
    EXPECT_EQ(rows(p), c.notes);
  }
}

// A front end that converts and shows the file in one call gets the same
// preview as from makePreview, and the program's own bytes.
TEST(Preview, ComesWithTheConversion) {
  const Bytes song = twoTracks();
  MemoryFileSystem files;
  files.addFile("song.mid", std::string(song.begin(), song.end()));
  StringConsole out, err;
  Preview preview;
  const int status = runConversion(optionsFor("song", settingsFor({"/Q16"})), files, out, err, {}, &preview);
  EXPECT_EQ(status, 0) << err.text;
  EXPECT_EQ(*files.file("song.mml"), convertBytes(song, {"/Q16"}).mml);
  EXPECT_EQ(rows(preview), rows(previewOf(song, {"/Q16"})));
  EXPECT_EQ(preview.gridNote, 16u);
  EXPECT_FALSE(preview.lines.empty());
  EXPECT_EQ(preview.barStarts.front(), 0u);
}

// The fault a front end says in its own words is the first the program
// reported, with its subject.
TEST(Preview, TheFirstFaultReported) {
  const Bytes song = twoTracks();
  struct Case {
    const char* what;
    const char* name;  // the file the folder holds
    Options options;
    Fault fault;
  };
  Options capped = optionsFor("song", {});
  capped.outputLimit = 10;
  Options grid = optionsFor("song", settingsFor({"/Q7"}));
  grid.gridArgument = "/Q7";
  const std::vector<Case> cases = {
      {"converted", "song.mid", optionsFor("song", {}), {}},
      {"no such file", "other.mid", optionsFor("song", {}), fileFault("song.mid", ENOENT)},
      {"past the cap", "song.mid", capped, Fault(FaultKind::kOutputTooLong, 0, "song.mml")},
      {"a grid that does not fit", "song.mid", grid, Fault(FaultKind::kBadGrid, 0, "/Q7")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem files;
    files.addFile(c.name, std::string(song.begin(), song.end()));
    StringConsole out, err;
    Fault reported(FaultKind::kBadOption);
    const int status = runConversion(c.options, files, out, err, {}, nullptr, &reported);
    EXPECT_EQ(reported, c.fault);
    EXPECT_EQ(status, c.fault ? 1 : 0);
  }
}

}  // namespace
}  // namespace vantrel::test
