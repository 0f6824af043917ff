// Writes the seed corpus of the fuzz targets (fuzz/corpus): each seed is four
// option bytes (see fuzz/fuzz_input.h) followed by an SMF. There is one
// small file for every kind of event, idiom and meta event the converter
// writes, one for each fault of the header, the track chunks and the
// events, the demo piece, and files from the round-trip generator as
// sequencers write them (many tracks, chords, idioms, rhythm changes) that
// fit the fuzzer's input length.
//
//   vantrel_fuzz_seeds FOLDER [GENERATED]    (GENERATED files, default 12)

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tools/roundtrip/smf_generator.h"
#include "tools/smf_writer/smf_writer.h"

namespace {

using vantrel::smf_writer::Bytes;
using vantrel::smf_writer::Track;

constexpr std::size_t kLongestInput = 4096;

// Option bytes: byte 0 bit 0 /J, bit 1 /B-, bits 2-4 the /C choice, bits 5-7
// the /A choice; byte 1 the /M letters (bit 7: none, and bits 0-2 the grid);
// bytes 2-3 a number N.
const Bytes kPlain = {0, 0x80, 0, 0};
const Bytes kKana = {0x01, 0x80, 0, 0};
const Bytes kNoBars = {0x02, 0x80, 0, 0};
const Bytes kEveryNote = {1 << 2, 0x80, 0, 0};            // /C0
const Bytes kNoBreaks = {2 << 2, 0x80, 0, 0};             // /C-1
const Bytes kPickup480 = {3 << 5, 0x80, 0x01, 0xE0};      // /A480
const Bytes kLongPickup = {3 << 5, 0x80, 0x1C, 0x20};     // /A7200, longer than a bar
const Bytes kFilterAll = {0, 0x01, 0, 0};                 // /MA
const Bytes kFilterSome = {0, 0x7E, 0, 0};                // /Ma /Mb /Mc /Mm /Mp /Mx
const Bytes kGrid16 = {0, 0x82, 0, 0};                    // /Q16
const Bytes kGridChosen = {0, 0x81, 0, 0};                // /Q

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A file of `tracks`: format 0 for one track and 1 for more unless given,
// and as many tracks announced unless given.
Bytes smf(const std::vector<Track>& tracks, int format = -1, int division = 480, int count = -1) {
  Bytes out = vantrel::smf_writer::headerChunk(
      static_cast<std::uint32_t>(format >= 0 ? format : tracks.size() == 1 ? 0 : 1),
      static_cast<std::uint32_t>(count >= 0 ? count : static_cast<int>(tracks.size())),
      static_cast<std::uint32_t>(division));
  for (const Track& t : tracks) out = out + vantrel::smf_writer::trackChunk(t.data());
  return out;
}

std::vector<std::pair<std::string, Bytes>> handMadeSeeds(const Bytes& demo) {
  std::vector<std::pair<std::string, Bytes>> seeds;
  auto add = [&](std::string name, Bytes bytes) {
    seeds.emplace_back(std::move(name), std::move(bytes));
  };

  const Track melody = Track()
                           .raw(0, {0x90, 60, 100}).raw(480, {0x80, 60, 64}).raw(0, {0x90, 62, 90})
                           .raw(240, {62, 0}).raw(0, {64, 80}).raw(720, {64, 0})
                           .raw(480, {0x90, 96, 100}).raw(960, {0x80, 96, 0})
                           .raw(0, {0x90, 24, 127}).raw(1920, {0x80, 24, 0}).end();
  add("notes", kPlain + smf({melody}));
  add("notes_kana", kKana + smf({melody}));
  add("notes_no_bars", kNoBars + smf({melody}));
  add("notes_every_note", kEveryNote + smf({melody}));
  add("notes_no_breaks", kNoBreaks + smf({melody}));
  add("notes_pickup", kPickup480 + smf({melody}));
  add("notes_long_pickup", kLongPickup + smf({melody}));

  const Track chord = Track()
                          .raw(0, {0x90, 60, 100}).raw(0, {0x90, 64, 100}).raw(0, {0x90, 67, 100})
                          .raw(960, {0x80, 60, 0}).raw(0, {0x80, 64, 0}).raw(0, {0x80, 67, 0})
                          .raw(0, {0x91, 40, 70}).raw(100, {0x91, 41, 70}).raw(100, {0x81, 40, 0})
                          .raw(100, {0x81, 41, 0}).raw(0, {0x92, 50, 255}).raw(0, {0x82, 50, 0})
                          .raw(0, {0x92, 51, 60})  // the last note has no end
                          .end();
  add("chord_overlap", kPlain + smf({chord}));

  const Track channel = Track()
                            .raw(0, {0xA0, 60, 30}).raw(10, {0xB0, 7, 100}).raw(0, {0xB0, 38, 5})
                            .raw(0, {0xB0, 70, 1}).raw(0, {0xC0, 5}).raw(10, {0xD0, 40})
                            .raw(10, {0xE0, 0, 64}).raw(0, {0xE3, 127, 127}).raw(0, {0xB0, 1, 2})
                            .raw(0, {0xB0, 5, 2}).raw(0, {0xB0, 6, 2}).raw(0, {0xB0, 10, 2})
                            .raw(0, {0xB0, 11, 2}).raw(0, {0xB0, 65, 2}).raw(0, {0xB0, 91, 2})
                            .raw(0, {0xB0, 93, 2}).raw(0, {0xB0, 94, 2}).end();
  add("channel_messages", kPlain + smf({channel}));
  add("channel_filtered", kFilterSome + smf({channel}));
  add("channel_filtered_all", kFilterAll + smf({channel}));

  const Track idioms =
      Track()
          .raw(0, {0xB0, 0, 1}).raw(0, {0xB0, 32, 2}).raw(0, {0xC0, 3})
          .raw(0, {0xB1, 101, 0}).raw(0, {0xB1, 100, 0}).raw(0, {0xB1, 6, 12})
          .raw(0, {0xB1, 101, 0}).raw(0, {0xB1, 100, 1}).raw(0, {0xB1, 6, 64})
          .raw(0, {0xB1, 101, 0}).raw(0, {0xB1, 100, 2}).raw(0, {0xB1, 6, 64})
          .raw(0, {0xB1, 101, 1}).raw(0, {0xB1, 100, 5}).raw(0, {0xB1, 6, 9})
          .raw(0, {0xB2, 99, 1}).raw(0, {0xB2, 98, 8}).raw(0, {0xB2, 6, 3})
          // broken: a late second message, a wrong third, another channel
          .raw(0, {0xB3, 0, 1}).raw(5, {0xB3, 32, 2}).raw(0, {0xC3, 3})
          .raw(0, {0xB4, 99, 1}).raw(0, {0xB4, 98, 8}).raw(0, {0xB4, 7, 3})
          .raw(0, {0xB5, 101, 0}).raw(0, {0xB6, 100, 0}).raw(0, {0xB5, 6, 1})
          .raw(0, {0xB7, 0, 1}).raw(0, {32, 2}).raw(0, {0xC7, 4})
          .end();
  add("idioms", kPlain + smf({idioms}));

  const Track system =
      Track()
          .meta(0, 0x00, {0x00, 0x01}).text(0, 0x01, "text\nline").text(0, 0x02, "(c)")
          .text(0, 0x03, "name").text(0, 0x04, "piano").text(0, 0x05, "la").text(0, 0x06, "A")
          .text(0, 0x07, "cue").meta(0, 0x20, {0x00}).meta(0, 0x21, {0x01})
          .meta(0, 0x51, {0x07, 0xA1, 0x20}).meta(0, 0x51, {0x00, 0x00, 0x00})
          .meta(0, 0x54, {0x60, 0x00, 0x00, 0x00, 0x00}).meta(0, 0x58, {0x03, 0x02, 0x18, 0x08})
          .meta(0, 0x58, {0x04, 0x20, 0x18, 0x08}).meta(0, 0x59, {0xFE, 0x01})
          .meta(0, 0x7F, {0x43, 0x7B, 0x01}).meta(0, 0x7F, {})
          .raw(0, {0xF0, 3, 0x43, 0x10, 0xF7}).raw(0, {0xF7, 2, 0x01, 0xF7}).raw(0, {0xF0, 0})
          .meta(0, 0x7F, Bytes(200, 0))
          .end();
  add("meta_and_sysex", kPlain + smf({system}));
  add("meta_and_sysex_kana", kKana + smf({system}));

  const Track conductor = Track()
                              .meta(0, 0x58, {0x03, 0x02, 0x18, 0x08})
                              .meta(0, 0x59, {0x02, 0x00})
                              .meta(1440, 0x58, {0x06, 0x03, 0x18, 0x08})
                              .meta(1000, 0x58, {0x05, 0x04})
                              .meta(0, 0x58, {0x00, 0x02, 0x18, 0x08})
                              .meta(0, 0x58, {0x04, 0x08, 0x18, 0x08})
                              .meta(500, 0x59, {0xF9, 0x01})
                              .end();
  const Track rests = Track()
                          .raw(0, {0x90, 60, 100}).raw(7200, {0x80, 60, 0}).raw(3000, {0x90, 61, 1})
                          .raw(100, {0x80, 61, 0}).end();
  add("rhythm_changes", kPlain + smf({conductor, rests}));
  add("rhythm_changes_pickup", kLongPickup + smf({conductor, rests}));
  add("rhythm_changes_every_note", kEveryNote + smf({conductor, rests}));
  add("grid_sixteenths", kGrid16 + smf({melody}));
  add("grid_chosen", kGridChosen + smf({conductor, rests}));
  // Chunks of types a reader does not know, before, between and after the
  // tracks: passed over.
  const Bytes junk = {'J', 'u', 'n', 'k', 0, 0, 0, 3, 'a', 'b', 'c'};
  const Bytes two = smf({conductor, rests});
  const std::size_t second = 14 + vantrel::smf_writer::trackChunk(conductor.data()).size();
  add("unknown_chunks", kPlain + Bytes(two.begin(), two.begin() + 14) + junk +
                            Bytes(two.begin() + 14, two.begin() + static_cast<std::ptrdiff_t>(second)) +
                            junk + Bytes(two.begin() + static_cast<std::ptrdiff_t>(second), two.end()) +
                            junk);
  add("division_one", kPlain + smf({Track()
                                         .meta(0, 0x58, {0x01, 0x03, 0x18, 0x08})
                                         .raw(0, {0x90, 1, 1}).raw(9, {0x80, 1, 1}).end()},
                                   -1, 1));
  add("odd_lengths", kPlain + smf({Track()
                                        .raw(0, {0x90, 70, 1}).raw(100, {0x80, 70, 1})
                                        .raw(0, {0x90, 70, 1}).raw(50000, {0x80, 70, 1}).end()},
                                  -1, 7));

  // Faults of the header chunk, the track chunks and the events.
  const Bytes melodyFile = smf({melody});
  add("fault_short_file", kPlain + Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0});
  add("fault_no_mthd",
      kPlain + Bytes{'R', 'I', 'F', 'F'} + Bytes(melodyFile.begin() + 4, melodyFile.end()));
  add("fault_format2", kPlain + smf({melody}, 2));
  add("fault_format3", kPlain + smf({melody}, 3));
  add("fault_no_tracks", kPlain + smf({}, 1));
  add("fault_format0_tracks", kPlain + smf({melody, melody}, 0));
  add("fault_zero_division", kPlain + smf({melody}, -1, 0));
  add("fault_smpte", kPlain + smf({melody}, -1, 0xE728));
  add("fault_no_mtrk", kPlain + smf({melody}, 1, 480, 2));
  add("fault_mtrk_cut",
      kPlain + Bytes(melodyFile.begin(), melodyFile.begin() + 14) + Bytes{'M', 'T', 'r'});
  add("fault_cut_in_event", kPlain + smf({Track().raw(0, {0x90, 60})}));
  add("fault_cut_in_varlen", kPlain + smf({Track().bytes({0x81, 0x80})}));
  add("fault_cut_in_meta", kPlain + smf({Track().raw(0, {0xFF, 0x01, 10, 65})}));
  add("fault_no_end", kPlain + smf({Track().raw(0, {0x90, 60, 1}).raw(10, {0x80, 60, 1})}));
  add("fault_undefined_status", kPlain + smf({Track().raw(0, {0xF1}).end()}));
  add("no_running_status",
      kPlain + smf({Track().raw(0, {0x40}).raw(0, {0x91, 1, 1}).raw(1, {2, 0}).end()}));
  const std::pair<int, Bytes> wrongLengths[] = {
      {0x00, {0x01}},       {0x20, {}},     {0x21, {0x01, 0x02}},       {0x2F, {0x00}},
      {0x51, {0x01, 0x02}}, {0x54, {0x01}}, {0x58, {0x04, 0x02, 0x18}}, {0x59, {0x01}},
      {0x60, {}}};
  for (const auto& [type, data] : wrongLengths) {
    char name[16];
    std::snprintf(name, sizeof name, "fault_meta_%02x", type);
    add(name, kPlain + smf({Track().meta(0, type, data).end()}));
  }

  add("demo", kPlain + demo);
  add("demo_kana_c0", Bytes{0x01 | 1 << 2, 0x80, 0, 0} + demo);
  add("demo_filtered", kFilterSome + demo);
  return seeds;
}

// Option bytes for a generated file: plain, kana with a break after every
// note, no bar lines, a pickup of a quarter, and some filters.
Bytes generatedOptions(std::uint64_t seed, int division) {
  switch (seed % 5) {
    case 0: return {0x00, 0x80, 0, 0};
    case 1: return {0x01 | 1 << 2, 0x80, 0, 0};
    case 2: return {0x02, 0x80, 0, 0};
    case 3:
      return {3 << 5, 0x80, static_cast<std::uint8_t>(division >> 8),
              static_cast<std::uint8_t>(division)};
    default: return {0x00, 0x26, 0, 0};  // /Ma /Mb /Mp
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: vantrel_fuzz_seeds FOLDER [GENERATED]\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const int generated = argc > 2 ? std::atoi(argv[2]) : 12;
  std::filesystem::create_directories(folder);

  std::ifstream demoFile(std::filesystem::path(VANTREL_SOURCE_DIR) / "examples" / "demo.mid",
                         std::ios::binary);
  const Bytes demo{std::istreambuf_iterator<char>(demoFile), std::istreambuf_iterator<char>()};
  if (demo.empty()) {
    std::cerr << "cannot read examples/demo.mid\n";
    return 1;
  }
  std::vector<std::pair<std::string, Bytes>> seeds = handMadeSeeds(demo);
  int written = 0;
  for (std::uint64_t seed = 1; written < generated && seed < 10000; ++seed) {
    const vantrel::roundtrip::GeneratedSmf smf = vantrel::roundtrip::generateSmf(seed);
    Bytes input = generatedOptions(seed, smf.division) + smf.bytes;
    if (input.size() > kLongestInput) continue;
    seeds.emplace_back("generated_" + std::to_string(seed), std::move(input));
    ++written;
  }
  for (const auto& [name, bytes] : seeds) {
    std::ofstream out(folder / (name + ".bin"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::cerr << "cannot write " << (folder / (name + ".bin")).string() << "\n";
      return 1;
    }
  }
  std::cout << seeds.size() << " seeds written to " << folder.string() << "\n";
  return 0;
}
