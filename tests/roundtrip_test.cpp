// Round trip: every note and command of an SMF comes back out of the MML
// text that vantrel writes from it, at its tick, with its key, velocity and
// length. Checked on generated files with many option sets; and the check
// itself is shown to catch a shifted length, a dropped note, a wrong
// velocity and a wrong refusal.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/conversion.h"
#include "tools/roundtrip/comparison.h"
#include "tools/roundtrip/smf_expectation.h"
#include "tools/roundtrip/smf_generator.h"

namespace vantrel::test {
namespace {

namespace rt = vantrel::roundtrip;

rt::ConversionOptions optionsOf(const std::vector<std::string>& arguments) {
  rt::ConversionOptions options;
  std::string reason;
  EXPECT_TRUE(rt::parseOptions(arguments, options, reason)) << reason;
  return options;
}

rt::CheckResult checkText(const Bytes& smf, const std::vector<std::string>& arguments,
                          const std::string& mml, int status = 0, const std::string& error = "") {
  return rt::checkConversion(smf, optionsOf(arguments), mml, status, error);
}

std::string listed(const rt::CheckResult& result, std::size_t most = 12) {
  std::string out;
  for (std::size_t i = 0; i < result.differences.size() && i < most; ++i) {
    out += rt::describe(result.differences[i]) + "\n";
  }
  if (result.differences.size() > most) {
    out += "... " + std::to_string(result.differences.size() - most) + " more\n";
  }
  return out;
}

std::string joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out.empty() ? "(no options)" : out;
}

// ---------------------------------------------------------------------------
// Generated files: a few hundred per run, each with five option sets and one
// of voices or a velocity step.

constexpr int kBlocks = 8;
constexpr std::uint64_t kSeedsPerBlock = 40;
constexpr std::size_t kOptionSets = 5;

class GeneratedFiles : public testing::TestWithParam<int> {};

TEST_P(GeneratedFiles, EveryNoteAndCommandComesThrough) {
  std::uint64_t notes = 0, conversions = 0;
  const std::uint64_t first = 1 + static_cast<std::uint64_t>(GetParam()) * kSeedsPerBlock;
  for (std::uint64_t seed = first; seed < first + kSeedsPerBlock; ++seed) {
    const rt::GeneratedSmf file = rt::generateSmf(seed);
    std::vector<std::vector<std::string>> sets = rt::optionSetsFor(seed, file.division, kOptionSets);
    sets.push_back(rt::voiceOptionSet(seed, file.division));
    for (const std::vector<std::string>& set : sets) {
      const Conversion c = convertBytes(file.bytes, set);
      const rt::CheckResult result = checkText(file.bytes, set, c.mml, c.status, c.error);
      EXPECT_TRUE(result.differences.empty()) << "seed " << seed << ", " << joined(set) << ":\n"
                                              << listed(result);
      EXPECT_FALSE(result.refused) << "seed " << seed << " made a file that is refused";
      notes += result.notes;
      ++conversions;
    }
  }
  EXPECT_EQ(conversions, kSeedsPerBlock * (kOptionSets + 1));
  // Files of a few dozen notes each: the check must have had notes to find.
  EXPECT_GT(notes, 20 * conversions);
}

INSTANTIATE_TEST_SUITE_P(Seeds, GeneratedFiles, testing::Range(0, kBlocks));

TEST(Generator, SameSeedSameFileAndOptions) {
  EXPECT_EQ(rt::generateSmf(77).bytes, rt::generateSmf(77).bytes);
  EXPECT_NE(rt::generateSmf(77).bytes, rt::generateSmf(78).bytes);
  EXPECT_EQ(rt::optionSetsFor(77, 480, 5), rt::optionSetsFor(77, 480, 5));
  EXPECT_TRUE(rt::optionSetsFor(77, 480, 5).front().empty());
}

// What real files do, the generated ones must do too, and often enough.
TEST(Generator, CoversWhatSequencerFilesDo) {
  std::set<std::string> seen;
  std::set<int> metaTypes;
  for (std::uint64_t seed = 1; seed <= 200; ++seed) {
    const rt::GeneratedSmf generated = rt::generateSmf(seed);
    for (const auto& set : rt::optionSetsFor(seed, generated.division, kOptionSets)) {
      for (const std::string& option : set) {
        seen.insert(option[1] == 'A' ? "/A" : option.substr(0, 3));
      }
    }
    rt::SmfFile file;
    ASSERT_FALSE(rt::readSmf(generated.bytes, 0, file)) << "seed " << seed;
    seen.insert("format " + std::to_string(file.format));
    if (file.tracks.size() >= 6) seen.insert("many tracks");
    if (file.division % 2 == 1) seen.insert("odd division");
    if (file.division <= 24) seen.insert("small division");
    if (file.division >= 1920) seen.insert("large division");
    for (const rt::SmfTrack& track : file.tracks) {
      const auto& e = track.events;
      for (std::size_t i = 0; i < e.size(); ++i) {
        const int kind = e[i].status & 0xF0;
        if (e[i].runningStatus) seen.insert("running status");
        if (e[i].status == 0xFF) metaTypes.insert(e[i].data1);
        if (e[i].status == 0xFF && e[i].data1 == 0x58 && e[i].tick > 0) {
          const bool onBar = e[i].tick % (4u * static_cast<unsigned>(file.division)) == 0;
          seen.insert(onBar ? "time signature on a bar line" : "time signature off the bars");
        }
        if (e[i].status == 0xF0 || e[i].status == 0xF7)
          seen.insert("sysex " + std::to_string(e[i].status));
        if (kind == 0xA0 || kind == 0xC0 || kind == 0xD0 || kind == 0xE0) {
          seen.insert("message " + std::to_string(kind));
        }
        if (kind == 0xB0 && i + 2 < e.size() && e[i + 1].delta == 0 && e[i + 2].delta == 0) {
          if (e[i].data1 == 0 && e[i + 1].data1 == 32 && (e[i + 2].status & 0xF0) == 0xC0)
            seen.insert("bank");
          if (e[i].data1 == 101 && e[i + 1].data1 == 100 && e[i + 2].data1 == 6) seen.insert("rpn");
          if (e[i].data1 == 99 && e[i + 1].data1 == 98 && e[i + 2].data1 == 6) seen.insert("nrpn");
        }
        if (kind != 0x90 || e[i].data2 == 0) continue;
        // How the note ends, and what happens at its end.
        bool ended = false;
        for (std::size_t j = i + 1; j < e.size() && !ended; ++j) {
          const bool sameKey =
              e[j].data1 == e[i].data1 && (e[j].status & 0x0F) == (e[i].status & 0x0F);
          const int k = e[j].status & 0xF0;
          if (sameKey && k == 0x90 && e[j].data2 != 0) seen.insert("re-struck");
          if (sameKey && (k == 0x80 || (k == 0x90 && e[j].data2 == 0))) {
            ended = true;
            if (e[j].tick == e[i].tick) seen.insert("zero length");
            if (e[j].tick - e[i].tick > 8u * static_cast<unsigned>(file.division))
              seen.insert("long note");
            // Legato: the next Note On of the channel at the Off's tick, before or after it.
            for (std::size_t n = 0; n < e.size(); ++n) {
              if (n != i && e[n].status == e[i].status && e[n].data2 != 0 &&
                  e[n].tick == e[j].tick && e[n].tick > e[i].tick) {
                seen.insert(n < j ? "legato, on first" : "legato, off first");
              }
            }
          }
        }
        if (!ended) seen.insert("no note off");
      }
    }
  }
  // Options: the prefix of each, "/A" for every pickup.
  const char* const kFeatures[] = {
      "format 0", "format 1", "many tracks", "odd division", "small division", "large division",
      "running status", "sysex 240", "sysex 247", "message 160", "message 192", "message 208",
      "message 224", "bank", "rpn", "nrpn", "re-struck", "zero length", "long note",
      "legato, on first", "legato, off first", "no note off", "time signature on a bar line",
      "time signature off the bars", "/J", "/B-", "/C0", "/C-", "/A", "/Mc", "/Mm", "/MA", "/Ma",
      "/Mb", "/Mp", "/Mx"};
  for (const char* feature : kFeatures) {
    EXPECT_TRUE(seen.count(feature)) << feature;
  }
  for (int type : {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x20, 0x21, 0x2F, 0x51, 0x54,
                   0x58, 0x59, 0x7F}) {
    EXPECT_TRUE(metaTypes.count(type)) << "meta type " << type;
  }
}

// ---------------------------------------------------------------------------
// The SMF side: the pairing rule, on the cases where it matters.

TEST(ExpectedNotes, FollowThePairingRule) {
  Track t;
  t.on(0, 1, 60, 100)
      .on(0, 1, 60, 90)
      .off(480, 1, 60)  // struck twice: both end at the one Off
      .on(0, 1, 62, 80)
      .off(480, 1, 62)
      .on(0, 1, 64, 70)  // legato, Off stored first
      .on(480, 1, 65, 60)
      .off(0, 1, 64)  // legato, On stored first
      .on(0, 1, 67, 50)
      .raw(0, {0x90, 67, 0})  // zero length: not written
      .off(480, 1, 65)
      .on(0, 2, 48, 40)  // never ended: lasts to the end
      .on(0, 3, 60, 30)
      .on(480, 3, 60, 20)
      .off(0, 3, 60)  // struck again, its Note On first: the Off ends the note before
      .off(480, 3, 60)
      .end(960);
  const rt::Expectation e = rt::expectFromSmf(makeSmf(0, 480, {t}), {});
  ASSERT_FALSE(e.refusal);
  ASSERT_EQ(e.model.tracks.size(), 1u);
  const auto& sections = e.model.tracks[0].sections;
  ASSERT_EQ(sections.size(), 4u);  // system, channels 1 to 3
  EXPECT_EQ(sections[1].notes, (std::vector<rt::Note>{{0, 60, 100, 480},
                                                      {0, 60, 90, 480},
                                                      {480, 62, 80, 480},
                                                      {960, 64, 70, 480},
                                                      {1440, 65, 60, 480}}));
  EXPECT_EQ(sections[2].notes, (std::vector<rt::Note>{{1920, 48, 40, 1920}}));
  EXPECT_EQ(sections[3].notes, (std::vector<rt::Note>{{1920, 60, 30, 480}, {2400, 60, 20, 480}}));
}

TEST(ExpectedCommands, IdiomsOnlyWhenWholeAndFiltersApplied) {
  Track t;
  t.cc(0, 1, 0, 1)
      .cc(0, 1, 32, 2)
      .program(0, 1, 5)  // bank select
      .cc(10, 1, 101, 0)
      .cc(0, 1, 100, 0)
      .cc(0, 1, 6, 12)  // pitch bend range
      .cc(10, 1, 99, 3)
      .cc(0, 2, 7, 9)
      .cc(0, 1, 98, 4)  // another channel between
      .cc(0, 1, 6, 5)
      .end(0);
  const Bytes smf = makeSmf(0, 480, {t});
  const rt::Expectation all = rt::expectFromSmf(smf, {});
  ASSERT_EQ(all.model.tracks[0].sections.size(), 3u);
  EXPECT_EQ(all.model.tracks[0].sections[1].commands,
            (std::vector<rt::Command>{{0, "Voice(6,1,2); "},
                                      {10, "BR(12); "},
                                      {20, "y99,3; "},
                                      {20, "y98,4; "},
                                      {20, "DataMSB(5); "}}));
  // Without program changes the bank select is three separate commands...
  rt::ConversionOptions noPrograms;
  noPrograms.filterMask = rt::kLeaveOutProgramChange;
  EXPECT_EQ(rt::expectFromSmf(smf, noPrograms).model.tracks[0].sections[1].commands[0].text,
            "y0,1; ");
  // ...and without controllers only the program change is left of it.
  rt::ConversionOptions noControllers;
  noControllers.filterMask = rt::kLeaveOutControlChange | rt::kLeaveOutMeta;
  const rt::Expectation filtered = rt::expectFromSmf(smf, noControllers);
  const auto& sections = filtered.model.tracks[0].sections;
  ASSERT_EQ(sections.size(), 1u);  // nothing of channel 2 and no system section are left
  EXPECT_EQ(sections[0].commands, (std::vector<rt::Command>{{0, "Voice(6); "}}));
}

// ---------------------------------------------------------------------------
// The check catches what it must. The song: a main-line note, a chord (one
// note of it in a sub-block), a note under a controller, a tempo.

Bytes smallSong() {
  Track conductor;
  conductor.tempo(0, 500000).timeSignature(0, 4, 2).end(1920);
  Track part;
  part.on(0, 1, 60, 100)
      .off(480, 1, 60)  // c4
      .on(0, 1, 64, 100)
      .on(0, 1, 67, 100)
      .off(480, 1, 64)
      .off(0, 1, 67)  // Sub{e4}g4
      .on(0, 1, 72, 80)
      .cc(240, 1, 7, 100)
      .off(240, 1, 72)  // Sub{v80>c4}r8V(100); r8
      .end(480);
  return makeSmf(1, 480, {conductor, part});
}

// `mml` with `from` replaced by `to` once; the text must hold `from`.
std::string changed(const std::string& mml, const std::string& from, const std::string& to) {
  const std::size_t at = mml.find(from);
  EXPECT_NE(at, std::string::npos) << "no \"" << from << "\" in the text";
  if (at == std::string::npos) return mml;
  return mml.substr(0, at) + to + mml.substr(at + from.size());
}

bool has(const rt::CheckResult& result, int channel, std::uint64_t tick, const std::string& what,
         const std::string& expected, const std::string& found) {
  for (const rt::Difference& d : result.differences) {
    if (d.track == 1 && d.channel == channel && d.tick == tick && d.what == what &&
        d.expected.find(expected) != std::string::npos &&
        d.found.find(found) != std::string::npos) {
      return true;
    }
  }
  return false;
}

class CheckCatches : public testing::TestWithParam<const char*> {
 protected:
  std::vector<std::string> options() const {
    return std::string(GetParam()).empty() ? std::vector<std::string>{}
                                           : std::vector<std::string>{GetParam()};
  }
  bool kana() const { return std::string(GetParam()) == "/J"; }
  // The words of the dialect in use, for the texts to change.
  std::string word(const char* mml, const char* kanaWord) const { return kana() ? kanaWord : mml; }
};

TEST_P(CheckCatches, NothingInTheUntouchedText) {
  const Conversion c = convertBytes(smallSong(), options());
  ASSERT_EQ(c.status, 0);
  const rt::CheckResult result = checkText(smallSong(), options(), c.mml);
  EXPECT_TRUE(result.differences.empty()) << listed(result);
  EXPECT_EQ(result.notes, 4u);
  EXPECT_EQ(result.commands, 3u);  // tempo, time signature, volume
}

TEST_P(CheckCatches, AShiftedLength) {
  const Conversion c = convertBytes(smallSong(), options());
  // c4 becomes c8: the note is short, and everything after it comes early.
  const std::string c4 = word("o5c4",
                              "\x89\xB9\x8A\x4B"
                              "5\x83\x68"
                              "4");  // 音階5ド4
  const std::string c8 = word("o5c8",
                              "\x89\xB9\x8A\x4B"
                              "5\x83\x68"
                              "8");
  const rt::CheckResult result = checkText(smallSong(), options(), changed(c.mml, c4, c8));
  EXPECT_TRUE(has(result, 1, 0, "note length", "length 480", "length 240")) << listed(result);
  EXPECT_TRUE(has(result, 1, 480, "note missing", "key 64", "none")) << listed(result);
  EXPECT_TRUE(has(result, 1, 240, "note not in the SMF", "none", "key 64")) << listed(result);
  EXPECT_TRUE(has(result, 1, 1200, "command missing", "V(100); ", "none")) << listed(result);
}

TEST_P(CheckCatches, ADroppedNote) {
  const Conversion c = convertBytes(smallSong(), options());
  const std::string sub = word(" Sub{e4}",
                               " Sub{\x83\x7E"
                               "4}");  // Sub{ミ4}
  const rt::CheckResult result = checkText(smallSong(), options(), changed(c.mml, sub, ""));
  ASSERT_EQ(result.differences.size(), 1u) << listed(result);
  EXPECT_TRUE(has(result, 1, 480, "note missing", "key 64 (o5e) velocity 100 length 480", "none"))
      << listed(result);
}

TEST_P(CheckCatches, AWrongVelocity) {
  const Conversion c = convertBytes(smallSong(), options());
  const std::string v = word("v80",
                             "\x89\xB9\x97\xCA"
                             "80");  // 音量80
  const std::string w = word("v81",
                             "\x89\xB9\x97\xCA"
                             "81");
  const rt::CheckResult result = checkText(smallSong(), options(), changed(c.mml, v, w));
  ASSERT_EQ(result.differences.size(), 1u) << listed(result);
  EXPECT_TRUE(has(result, 1, 960, "note velocity", "velocity 80", "velocity 81")) << listed(result);
}

TEST_P(CheckCatches, AChangedOrMovedCommand) {
  const Conversion c = convertBytes(smallSong(), options());
  rt::CheckResult result = checkText(smallSong(), options(), changed(c.mml, "V(100); ", "V(99); "));
  EXPECT_TRUE(has(result, 1, 1200, "command", "V(100); ", "V(99); ")) << listed(result);
  // The rest before the command made longer: the command comes late.
  result = checkText(smallSong(), options(), changed(c.mml, "8V(100); ", "4V(100); "));
  EXPECT_TRUE(has(result, 1, 1200, "command missing", "V(100); ", "none")) << listed(result);
  EXPECT_TRUE(has(result, 1, 1440, "command not in the SMF", "none", "V(100); ")) << listed(result);
}

INSTANTIATE_TEST_SUITE_P(Dialects, CheckCatches, testing::Values("", "/J"));

TEST(CheckCatchesRefusals, OnlyTheRightMessage) {
  Track t;
  t.meta(0, 0x51, {0x07, 0xA1}).end(0);  // a tempo of two bytes
  const Bytes smf = makeSmf(0, 480, {t});
  const Conversion c = convertBytes(smf);
  ASSERT_EQ(c.status, 1);
  rt::CheckResult result = checkText(smf, {}, c.mml, c.status, c.error);
  EXPECT_TRUE(result.differences.empty()) << listed(result);
  EXPECT_TRUE(result.refused);
  EXPECT_EQ(result.refusal, "tempo of wrong length");
  // A refusal with another message, or none at all, is a difference.
  result = checkText(smf, {}, c.mml, 1,
                     std::string(rt::faults::kPrefix) + rt::faults::kBadMetaEvent.text);
  EXPECT_EQ(result.differences.size(), 1u);
  result = checkText(smf, {}, c.mml, 0, "");
  ASSERT_EQ(result.differences.size(), 1u);
  EXPECT_EQ(result.differences[0].what, "refusal");
  // With meta events left out there is nothing to refuse.
  const Conversion filtered = convertBytes(smf, {"/Mm"});
  EXPECT_EQ(filtered.status, 0);
  EXPECT_TRUE(checkText(smf, {"/Mm"}, filtered.mml).differences.empty());
}

// Many small faults in generated texts: each text changed in one length, one
// velocity or one note, and each change is found.
TEST(CheckCatchesMutations, InGeneratedTexts) {
  int tried = 0;
  for (std::uint64_t seed = 5000; seed < 5030; ++seed) {
    const rt::GeneratedSmf file = rt::generateSmf(seed);
    const Conversion c = convertBytes(file.bytes);
    ASSERT_EQ(c.status, 0);
    // A length before a bar line, a velocity, a sub-block's note, an octave.
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"4\t|\t", "8\t|\t"}, {"v1", "v2"}, {" Sub{", " Sub{r"}, {"o5", "o6"}}) {
      const std::size_t at = c.mml.find(from, c.mml.size() / 3);
      if (at == std::string::npos) continue;
      const std::string mutated = c.mml.substr(0, at) + to + c.mml.substr(at + from.size());
      EXPECT_FALSE(checkText(file.bytes, {}, mutated).differences.empty())
          << "seed " << seed << ": \"" << from << "\" changed to \"" << to << "\" was not found";
      ++tried;
    }
  }
  EXPECT_GT(tried, 60);
}

}  // namespace
}  // namespace vantrel::test
