#include "tools/roundtrip/comparison.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <map>
#include <numeric>
#include <optional>
#include <string>

#include "tools/roundtrip/grid_lengths.h"
#include "tools/roundtrip/grid_notes.h"
#include "tools/roundtrip/grid_points.h"
#include "tools/roundtrip/text_forms.h"

namespace vantrel::roundtrip {
namespace {

const char* const kPitchNames[12] = {"c",  "c+", "d",  "d+", "e",  "f",
                                     "f+", "g",  "g+", "a",  "a+", "b"};

class Comparer {
 public:
  Comparer(const Expectation& expected, const ConversionOptions& options)
      : expected_(expected), options_(options) {
    if (expected.gridStep != 0) {
      // Lengths are whole steps of the grids' common step, its note value
      // the least that both grids' values divide.
      const std::uint64_t triplet = expected.tripletStep;
      const std::uint64_t common = triplet != 0 ? std::gcd(expected.gridStep, triplet) : expected.gridStep;
      lengthNote_ = 4 * static_cast<std::uint64_t>(expected.model.division) / common;
      grid_.emplace(expected.rhythm, options.pickupTicks > 0, common);
    }
  }

  std::uint64_t finer = 0;

  std::vector<Difference> run(const Model& found) {
    const Model& want = expected_.model;
    compareNumber("header chunk size", want.headerSize, found.headerSize);
    compareNumber("format", want.format, found.format);
    compareNumber("track count", want.trackCount, found.trackCount);
    compareNumber("division", want.division, found.division);
    const std::size_t common = std::min(want.tracks.size(), found.tracks.size());
    for (std::size_t t = 0; t < common; ++t)
      compareTrack(static_cast<int>(t), want.tracks[t], found.tracks[t]);
    for (std::size_t t = common; t < want.tracks.size(); ++t) {
      add(static_cast<int>(t), -1, 0, "track", "a track block", "none");
    }
    for (std::size_t t = common; t < found.tracks.size(); ++t) {
      add(static_cast<int>(t), -1, 0, "track", "no track block", "a track block");
    }
    return std::move(differences_);
  }

 private:
  void add(int track, int channel, std::uint64_t tick, std::string what, std::string expected,
           std::string found) {
    differences_.push_back(
        {track, channel, tick, std::move(what), std::move(expected), std::move(found)});
  }

  void compareNumber(const char* what, std::int64_t want, std::int64_t found, int track = -1) {
    if (want != found) add(track, -1, 0, what, std::to_string(want), std::to_string(found));
  }

  static std::string sectionSummary(const Section& s) {
    return "a section with " + std::to_string(s.notes.size()) + " notes and " +
           std::to_string(s.commands.size()) + " commands";
  }

  void compareTrack(int track, const Track& want, const Track& found) {
    compareNumber("track chunk size", want.size, found.size, track);
    // A channel's voices are its sections one after the other.
    std::map<int, const Section*> wanted;
    std::map<int, std::vector<const Section*>> got;
    for (const Section& s : want.sections) wanted[s.channel] = &s;
    for (const Section& s : found.sections) got[s.channel].push_back(&s);
    for (const auto& [channel, section] : wanted) {
      auto other = got.find(channel);
      if (other == got.end()) {
        add(track, channel, 0, "section", sectionSummary(*section), "none");
      } else {
        compareSection(track, *section, other->second);
      }
    }
    for (const auto& [channel, sections] : got) {
      if (!wanted.count(channel))
        add(track, channel, 0, "section", "none", sectionSummary(*sections.front()));
    }
  }

  void compareSection(int track, const Section& want, const std::vector<const Section*>& voices) {
    const Section& found = *voices.front();
    std::vector<Note> notes;
    for (const Section* voice : voices) notes.insert(notes.end(), voice->notes.begin(), voice->notes.end());
    // The line runs to its last event; only a note still sounding at the end
    // of the track may take it on to there (on a grid: to the end of the
    // last note as placed). Time after that is not written. Of a channel's
    // voices, the first runs so; the others end before.
    std::uint64_t last = std::max(want.endTick, want.hangingEndTick);
    if (grid_) {
      std::uint64_t end = want.endTick;
      for (const Note& n : notes) end = std::max(end, n.tick + n.duration);
      last = end;
      if (found.endTick != end) {
        add(track, want.channel, found.endTick, "end of the line",
            joined("the line's time up to its last event, tick ", end),
            joined("up to tick ", found.endTick));
      }
      const SectionGrid& grid = expected_.sectionGrids.at({track, want.channel});
      std::vector<Difference> placed =
          checkGridNotes(track, want.channel, want.playedNotes, notes, grid,
                         expected_.plan.offset(static_cast<std::size_t>(track)), velocityTolerance(), finer);
      differences_.insert(differences_.end(), placed.begin(), placed.end());
    } else {
      if (found.endTick != want.endTick &&
          !(want.hangingEndTick && found.endTick == want.hangingEndTick)) {
        add(track, want.channel, found.endTick, "end of the line",
            "the line's time up to tick " + std::to_string(want.endTick) +
                (want.hangingEndTick && want.hangingEndTick != want.endTick
                     ? joined(" or ", want.hangingEndTick)
                     : std::string()),
            "up to tick " + std::to_string(found.endTick));
      }
      compareNotes(track, want.channel, want.notes, notes);
    }
    for (const Section* voice : voices) {
      if (voice == &found) continue;
      if (voice->endTick > last) {
        add(track, want.channel, voice->endTick, "end of a voice's line",
            joined("up to tick ", last, " at most"), joined("up to tick ", voice->endTick));
      }
      if (!voice->commands.empty()) {
        add(track, want.channel, voice->commands.front().tick, "command in a voice",
            "commands only in the channel's first voice", printable(voice->commands.front().text));
      }
    }
    compareTimed(track, want.channel, "command", want.commands, found.commands);
    checkVoices(track, want.channel, voices);
    for (const Section* voice : voices) {
      std::vector<Command> marks;
      for (const RhythmChange& change : expected_.rhythm) {
        if (change.tick > 0 && change.tick <= voice->endTick) {
          marks.push_back({change.tick, std::to_string(change.numerator) + "/" +
                                            std::to_string(change.denominator)});
        }
      }
      compareTimed(track, want.channel, "rhythm comment", marks, voice->rhythmMarks);
      checkLayout(track, *voice);
      if (grid_) {
        std::vector<Difference> lengths = checkGridLengths(
            track, *voice, notes, *grid_, lengthNote_, expected_.model.division, options_.barLines);
        differences_.insert(differences_.end(), lengths.begin(), lengths.end());
      }
    }
  }

  // The voices of a channel: without --voices none; with it a comment on
  // each where the channel has several, and on the drum channel always; at
  // most 8 on any other channel, a sub-block only in the 8th, which takes
  // the notes that find no voice free; on the drum channel one key a voice,
  // the lowest first.
  void checkVoices(int track, int channel, const std::vector<const Section*>& voices) {
    const Section& first = *voices.front();
    if (!options_.voices) {
      if (first.voice != 0) {
        add(track, channel, 0, "voice comment", "none without --voices",
            joined("//voice ", first.voice));
      }
      return;
    }
    constexpr int kDrums = 10, kMostVoices = 8;
    const bool drums = channel == kDrums;
    if ((drums || voices.size() > 1) != (first.voice == 1)) {
      add(track, channel, 0, "voice comment",
          drums || voices.size() > 1 ? "//voice 1 on the channel's first section"
                                     : "none for a channel of one voice",
          first.voice ? joined("//voice ", first.voice) : std::string("none"));
    }
    if (!drums && voices.size() > kMostVoices) {
      add(track, channel, 0, "voices", joined(kMostVoices, " at most"), joined(voices.size()));
    }
    int lastKey = -1;
    for (std::size_t v = 0; v < voices.size(); ++v) {
      const Section& voice = *voices[v];
      if (!drums) {
        if (voice.subNotes > 0 && v + 1 != kMostVoices) {
          add(track, channel, 0, "sub-block",
              joined("none in voice ", v + 1, ", only in voice ", kMostVoices),
              joined(voice.subNotes, " notes"));
        }
        continue;
      }
      if (voice.notes.empty()) continue;
      const int key = voice.notes.front().key;
      for (const Note& note : voice.notes) {
        if (note.key != key) {
          add(track, channel, note.tick, "drum voice", joined("key ", key, " alone in voice ", v + 1),
              describe(note));
          break;
        }
      }
      if (key <= lastKey) {
        add(track, channel, 0, "drum voice", joined("keys ascending, after key ", lastKey),
            joined("key ", key, " in voice ", v + 1));
      }
      lastKey = key;
    }
  }

  // How far a written velocity may be from the played one: a velocity step
  // less one, or 0 without a step.
  int velocityTolerance() const {
    return options_.velocityStep > 1 ? static_cast<int>(options_.velocityStep) - 1 : 0;
  }

  // Notes are a set: same start, key, velocity and length is a match. What is
  // left is paired by start and key, then by start, to say what differs.
  void compareNotes(int track, int channel, std::vector<Note> want, std::vector<Note> found) {
    std::sort(want.begin(), want.end());
    std::sort(found.begin(), found.end());
    if (velocityTolerance() > 0) matchWithinStep(want, found);
    std::vector<Note> missing, extra;
    std::set_difference(want.begin(), want.end(), found.begin(), found.end(),
                        std::back_inserter(missing));
    std::set_difference(found.begin(), found.end(), want.begin(), want.end(),
                        std::back_inserter(extra));
    auto pairUp = [&](auto sameSlot) {
      for (auto m = missing.begin(); m != missing.end();) {
        auto e = std::find_if(extra.begin(), extra.end(),
                              [&](const Note& n) { return sameSlot(*m, n); });
        if (e == extra.end()) {
          ++m;
          continue;
        }
        std::string what =
            m->key != e->key ? "note key"
            : m->velocity != e->velocity
                ? (m->duration != e->duration ? "note velocity and length" : "note velocity")
                : "note length";
        if (m->tick != e->tick) {
          what = m->duration != e->duration ? "note start and length" : "note start";
          add(track, channel, m->tick, what, describe(*m),
              joined(describe(*e), " at tick ", e->tick));
        } else {
          add(track, channel, m->tick, what, describe(*m), describe(*e));
        }
        extra.erase(e);
        m = missing.erase(m);
      }
    };
    pairUp([](const Note& a, const Note& b) { return a.tick == b.tick && a.key == b.key; });
    pairUp([](const Note& a, const Note& b) { return a.tick == b.tick; });
    for (const Note& n : missing) add(track, channel, n.tick, "note missing", describe(n), "none");
    for (const Note& n : extra)
      add(track, channel, n.tick, "note not in the SMF", "none", describe(n));
  }

  // With a velocity step a note may sound up to the step less one from its
  // own velocity: of the notes of one start, key and length, those paired in the order of their velocities that are that
  // near are taken as the expected ones.
  void matchWithinStep(std::vector<Note> want, std::vector<Note>& found) const {
    const auto slot = [](const Note& n) { return std::tuple(n.tick, n.key, n.duration); };
    const auto bySlot = [&](const Note& a, const Note& b) {
      return std::tuple(a.tick, a.key, a.duration, a.velocity) <
             std::tuple(b.tick, b.key, b.duration, b.velocity);
    };
    std::sort(want.begin(), want.end(), bySlot);
    std::sort(found.begin(), found.end(), bySlot);
    const int tolerance = velocityTolerance();
    std::size_t w = 0;
    for (std::size_t f = 0; f < found.size();) {
      while (w < want.size() && slot(want[w]) < slot(found[f])) ++w;
      std::size_t wEnd = w, fEnd = f;
      while (wEnd < want.size() && slot(want[wEnd]) == slot(found[f])) ++wEnd;
      while (fEnd < found.size() && slot(found[fEnd]) == slot(found[f])) ++fEnd;
      for (std::size_t i = 0; w + i < wEnd && f + i < fEnd; ++i) {
        if (std::abs(want[w + i].velocity - found[f + i].velocity) <= tolerance) {
          found[f + i].velocity = want[w + i].velocity;
        }
      }
      w = wEnd;
      f = fEnd;
    }
    std::sort(found.begin(), found.end());
  }

  // Commands keep their order within a tick; each tick's lists are aligned by
  // their longest common run, and what is left is reported.
  void compareTimed(int track, int channel, const char* what, const std::vector<Command>& want,
                    const std::vector<Command>& found) {
    std::map<std::uint64_t, std::pair<std::vector<std::string>, std::vector<std::string>>> byTick;
    for (const Command& c : want) byTick[c.tick].first.push_back(c.text);
    for (const Command& c : found) byTick[c.tick].second.push_back(c.text);
    for (const auto& [tick, lists] : byTick) {
      const auto& [a, b] = lists;
      if (a == b) continue;
      // Longest common subsequence table, from the back.
      std::vector<std::vector<int>> common(a.size() + 1, std::vector<int>(b.size() + 1, 0));
      for (std::size_t i = a.size(); i-- > 0;) {
        for (std::size_t j = b.size(); j-- > 0;) {
          common[i][j] = a[i] == b[j] ? common[i + 1][j + 1] + 1
                                      : std::max(common[i + 1][j], common[i][j + 1]);
        }
      }
      std::size_t i = 0, j = 0;
      while (i < a.size() || j < b.size()) {
        if (i < a.size() && j < b.size() && a[i] == b[j]) {
          ++i, ++j;
        } else if (i < a.size() && j < b.size() && common[i + 1][j + 1] == common[i][j]) {
          add(track, channel, tick, what, printable(a[i++]), printable(b[j++]));
        } else if (j >= b.size() || (i < a.size() && common[i + 1][j] >= common[i][j + 1])) {
          add(track, channel, tick, std::string(what) + " missing", printable(a[i++]), "none");
        } else {
          add(track, channel, tick, std::string(what) + " not in the SMF", "none",
              printable(b[j++]));
        }
      }
    }
  }

  // The time-signature change in effect at `tick`.
  const RhythmChange& changeAt(std::uint64_t tick) const {
    auto after =
        std::upper_bound(expected_.rhythm.begin(), expected_.rhythm.end(), tick,
                         [](std::uint64_t t, const RhythmChange& c) { return t < c.tick; });
    return *(after - 1);
  }

  // A bar line stands only where a bar ends: a whole number of bars after the
  // change in effect (never on a change, which its comment announces). A
  // pickup shifts the bars of the first change to end on the pickup; inside a
  // pickup longer than the first bar no bar ends. Counted line breaks
  // likewise, every `lineBars` bars.
  void checkLayout(int track, const Section& found) {
    if (options_.pickupTicks < 0 || expected_.rhythm.empty()) return;
    const std::int64_t pickup = options_.pickupTicks;
    const bool longPickup = pickup > std::int64_t{expected_.rhythm.front().barLength};
    auto onBars = [&](std::uint64_t tick, std::uint64_t bars) {
      if (longPickup && static_cast<std::int64_t>(tick) < pickup) return false;
      const RhythmChange& change = changeAt(tick);
      const std::int64_t span = static_cast<std::int64_t>(std::uint64_t{change.barLength} * bars);
      std::int64_t origin = static_cast<std::int64_t>(change.tick);
      if (change.tick == 0 && pickup > 0) origin = pickup - span;
      return tick != change.tick && (static_cast<std::int64_t>(tick) - origin) % span == 0;
    };
    for (std::uint64_t tick : found.barLines) {
      if (!options_.barLines) {
        add(track, found.channel, tick, "bar line", "none with /B-", "\\t|\\t");
      } else if (!onBars(tick, 1)) {
        add(track, found.channel, tick, "bar line", "bar lines only where a bar ends", "\\t|\\t");
      }
    }
    for (std::uint64_t tick : found.lineBreaks) {
      if (!options_.barLines || options_.lineBars < 0) {
        add(track, found.channel, tick, "line break", "none counted with /B- or /C below 0",
            "\\n\\t");
      } else if (options_.lineBars > 0 && options_.lineBars <= 0xFFFF &&
                 !onBars(tick, static_cast<std::uint64_t>(options_.lineBars))) {
        add(track, found.channel, tick, "line break",
            "counted line breaks only every " + std::to_string(options_.lineBars) + " bars",
            "\\n\\t");
      }
    }
  }

  const Expectation& expected_;
  const ConversionOptions& options_;
  std::optional<GridPoints> grid_;  // of the common step of the grids, for lengths
  std::uint64_t lengthNote_ = 0;
  std::vector<Difference> differences_;
};

// What the program said of its grid, against what it was asked for and,
// for /Q without a value, the check's own choice.
void checkGridReport(const Expectation& expected, const ConversionOptions& options,
                     std::string_view console, std::vector<Difference>& differences) {
  std::string printed;
  const bool readable = reportedGrid(console, printed).has_value();
  const std::string found = printed.empty() ? std::string("no grid line")
                                            : printable(printed) + (readable ? "" : " (unreadable)");
  if (options.gridNote == 0) {
    if (!printed.empty()) differences.push_back({-1, -1, 0, "grid line", "none without /Q", found});
    return;
  }
  const bool automatic = options.gridNote == kAutoGridNote;
  const GridPlan want = automatic ? expected.autoPlan : GridPlan{options.gridNote, 0, {}};
  if (want.note == 0 || gridStepOf(want.note, expected.model.division) == 0) {
    if (!printed.empty()) {
      differences.push_back({-1, -1, 0, "grid line", "none: no grid step is whole", found});
    }
    return;
  }
  const std::string wanted = printable(gridLine(want, expected.model.division));
  if (found != wanted) {
    differences.push_back({-1, -1, 0, automatic ? "grid chosen" : "grid line", wanted, found});
  }
}

// The message vantrel gives for `fault`.
std::string refusalMessage(const faults::Fault& fault, const ConversionOptions& options) {
  if (std::string_view(fault.text) == faults::kBadGrid.text) {
    return std::string(faults::kOptionPrefix) + options.gridArgument + fault.text;
  }
  return std::string(faults::kPrefix) + fault.text;
}

}  // namespace

std::vector<Difference> compareModels(const Expectation& expected, const Model& found,
                                      const ConversionOptions& options, std::uint64_t* finer) {
  Comparer comparer(expected, options);
  std::vector<Difference> differences = comparer.run(found);
  if (finer) *finer += comparer.finer;
  return differences;
}

CheckResult checkConversion(std::span<const std::uint8_t> smf, const ConversionOptions& options,
                            std::string_view mml, int status, std::string_view error,
                            std::optional<std::string_view> console) {
  CheckResult result;
  std::optional<GridPlan> reported;
  if (console && options.gridNote == kAutoGridNote) {
    std::string printed;
    reported = reportedGrid(*console, printed);
  }
  const Expectation expected = expectFromSmf(smf, options, reported ? &*reported : nullptr);
  if (expected.gridStep != 0) {
    result.gridNote = expected.gridNote;
    result.tripletNote = expected.plan.tripletNote;
    result.offsets = !expected.plan.offsets.empty();
  }
  for (const Track& track : expected.model.tracks) {
    for (const Section& section : track.sections) {
      result.notes += section.notes.size() + section.playedNotes.size();
      result.commands += section.commands.size();
    }
  }

  if (status != 0) {
    result.refused = true;
    result.refusal = "unknown fault";
    for (const faults::Fault& fault : faults::kAll) {
      if (error == std::string(faults::kPrefix) + fault.text) result.refusal = fault.label;
    }
    if (error == refusalMessage(faults::kBadGrid, options)) result.refusal = faults::kBadGrid.label;
    const std::string message = expected.refusal ? expected.refusal->fault.label : "no fault";
    if (!expected.refusal || error != refusalMessage(expected.refusal->fault, options)) {
      result.differences.push_back({expected.refusal ? expected.refusal->track : -1, -1,
                                    expected.refusal ? expected.refusal->tick : 0, "refusal",
                                    message,
                                    printable(error) + " (status " + std::to_string(status) + ")"});
    }
    return result;
  }
  if (expected.refusal) {
    result.differences.push_back({expected.refusal->track, -1, expected.refusal->tick, "refusal",
                                  expected.refusal->fault.label, "a finished conversion"});
    return result;
  }
  // On a grid only where a step of it is whole: /Q finds none on some time
  // bases, and the text is then written as without one.
  Reading reading = readMml(mml, options.kana, expected.gridStep != 0);
  result.differences = std::move(reading.problems);
  if (console) checkGridReport(expected, options, *console, result.differences);
  if (options.gridNote == kAutoGridNote && expected.autoPlan.note != 0 && !console) {
    result.differences.push_back({-1, -1, 0, "grid chosen",
                                  "the program's standard output, to read the grid it chose",
                                  joined("none (the check would choose ",
                                         printable(gridLine(expected.autoPlan, expected.model.division)), ")")});
  }
  std::vector<Difference> more = compareModels(expected, reading.model, options, &result.finerNotes);
  result.differences.insert(result.differences.end(), more.begin(), more.end());
  for (const Track& track : reading.model.tracks) {
    for (const Section& section : track.sections) {
      if (section.channel > 0) {
        result.channelNotes += section.notes.size();
        result.subNotes += section.subNotes;
        result.velocityWords += section.velocityWords;
        result.channelBytes += section.textBytes;
        result.channelLines += section.textLines;
      }
      result.lengths += section.lengths.size();
      for (const WrittenLength& length : section.lengths) {
        if (length.value == 0) ++result.lengthsInTicks;
        if (length.dots >= 2) ++result.lengthsDotted;
      }
    }
  }
  return result;
}

std::string describe(const Note& note) {
  std::string name =
      note.key >= 0 ? "o" + std::to_string(note.key / 12) + kPitchNames[note.key % 12] : "?";
  return "key " + std::to_string(note.key) + " (" + name + ") velocity " +
         std::to_string(note.velocity) + " length " + std::to_string(note.duration);
}

std::string describe(const Difference& d) {
  std::string where;
  if (d.track >= 0) where += "track " + std::to_string(d.track) + ", ";
  if (d.channel == 0) where += "system, ";
  if (d.channel > 0) where += "channel " + std::to_string(d.channel) + ", ";
  where += "tick " + std::to_string(d.tick);
  return where + ": " + d.what + ": expected " + d.expected + ", found " + d.found;
}

}  // namespace vantrel::roundtrip
