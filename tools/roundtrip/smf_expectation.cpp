#include "tools/roundtrip/smf_expectation.h"

#include <algorithm>
#include <map>
#include <string>

#include "tools/roundtrip/auto_grid.h"
#include "tools/roundtrip/grid_points.h"
#include "tools/roundtrip/section_grid.h"
#include "tools/roundtrip/text_forms.h"

namespace vantrel::roundtrip {
namespace {

bool isChannelMessage(std::uint8_t status) { return status >= 0x80 && status < 0xF0; }

// Where an event of the file's `tick` is written: there, or on a grid at the
// nearest point of its section's grid once the track's offset is taken off.
struct Placement {
  const SectionGrid* grid = nullptr;
  std::int32_t offset = 0;

  std::uint64_t operator()(std::uint64_t tick) const {
    return grid ? grid->nearest(movedBack(tick, offset)) : tick;
  }
};

// The check that writing a system event makes first, if it fails.
std::optional<faults::Fault> systemEventFault(const SmfEvent& event) {
  if (event.status != 0xFF) {
    if (event.status == 0xF0 || event.status == 0xF7) return std::nullopt;
    return faults::kInvalidMidiEvent;
  }
  struct Rule {
    std::uint8_t type;
    std::size_t length;
    faults::Fault fault;
  };
  static const Rule kRules[] = {
      {0x00, 2, faults::kBadSequenceNumber}, {0x20, 1, faults::kBadChannelPrefix},
      {0x21, 1, faults::kBadPort},           {0x2F, 0, faults::kBadEndOfTrack},
      {0x51, 3, faults::kBadTempo},          {0x54, 5, faults::kBadSmpteOffset},
      {0x58, 4, faults::kBadTimeSignature},  {0x59, 2, faults::kBadKeySignature},
  };
  for (const Rule& rule : kRules) {
    if (event.data1 == rule.type) {
      if (event.data.size() != rule.length) return rule.fault;
      return std::nullopt;
    }
  }
  const std::uint8_t type = event.data1;
  if ((type >= 0x01 && type <= 0x07) || type == 0x7F) return std::nullopt;
  return faults::kBadMetaEvent;
}

std::string quoted(const char* word, std::span<const std::uint8_t> text, const char* ending) {
  std::string out = word;
  out += "{\"";
  out.append(text.begin(), text.end());
  out += '"';
  out += ending;
  return out;
}

// The command of a system event; empty for the end of the track.
std::string systemCommand(const SmfEvent& event) {
  const auto data = event.data;
  if (event.status == 0xF0) return joined("SysEx = $F0,", hexList(data), ";\n\t");
  if (event.status == 0xF7) return joined("SysEx = ", hexList(data), ";\n\t");
  switch (event.data1) {
    case 0x00:
      return joined("DirectSMF($FF,$00,$02,", hexList(data), "); ");
    case 0x01:
      return quoted("MetaText=", data, "};\n\t");
    case 0x02:
      return quoted("Copyright=", data, "};\n\t");
    case 0x03:
      return quoted("TrackName=", data, "};\n\t");
    case 0x04:
      return quoted("InstrumentName=", data, "};\n\t");
    case 0x05:
      return quoted("Lyric=", data, "}; ");
    case 0x06:
      return quoted("Marker=", data, "}; ");
    case 0x07:
      return quoted("CuePoint=", data, "}; ");
    case 0x20:
      return joined("ChannelPrefix(", data[0], "); ");
    case 0x21:
      return joined("Port(", data[0], "); ");
    case 0x2F:
      return "";
    case 0x51: {
      const std::uint32_t micros = (data[0] << 16) | (data[1] << 8) | data[2];
      if (micros == 0) return joined("DirectSMF($FF,$51,$03,", hexList(data), ");\n\t");
      return joined("Tempo(", 60000000u / micros, ");\n\t");
    }
    case 0x54:
      return joined("DirectSMF($FF,$54,$05,", hexList(data), "); ");
    case 0x58:
      if (data[1] >= 32) return joined("DirectSMF($FF,$58,$04,", hexList(data), ");\n\t");
      return joined("TimeSignature(", data[0], ",", std::int64_t{1} << data[1], ");\n\t");
    case 0x59:
      return joined("DirectSMF($FF,$59,$02,", hexList(data), ");\n\t");
    default: {  // 0x7F, sequencer specific
      std::string out =
          joined("DirectSMF($FF,$7F,", varLenList(static_cast<std::uint32_t>(data.size())));
      if (!data.empty()) out += joined(",", hexList(data));
      return joined(out, ");\n\t");
    }
  }
}

const char* namedController(std::uint8_t controller) {
  switch (controller) {
    case 1:
      return "M(";
    case 5:
      return "PT(";
    case 6:
      return "DataMSB(";
    case 7:
      return "V(";
    case 10:
      return "P(";
    case 11:
      return "EP(";
    case 65:
      return "PS(";
    case 91:
      return "Reverb(";
    case 93:
      return "Chorus(";
    case 94:
      return "VAR(";
    default:
      return nullptr;
  }
}

// Bank select (0, 32, program), NRPN (99, 98, 6) and RPN (101, 100, 6): three
// messages of one channel, one right after the other in the track and at one
// tick, are one command. Returns it, or nothing when the two events after
// `index` are not the idiom's.
std::optional<std::string> idiom(const std::vector<SmfEvent>& events, std::size_t index,
                                 const Placement& placed) {
  const SmfEvent& first = events[index];
  const std::uint8_t controller = first.data1;
  if (controller != 0 && controller != 99 && controller != 101) return std::nullopt;
  if (index + 2 >= events.size()) return std::nullopt;
  const SmfEvent& second = events[index + 1];
  const SmfEvent& third = events[index + 2];
  const std::uint8_t secondController = controller == 0 ? 32 : controller == 99 ? 98 : 100;
  // On a grid, three messages that the grid puts on one tick.
  const std::uint64_t tick = placed(first.tick);
  if (placed(second.tick) != tick || second.status != first.status ||
      second.data1 != secondController) {
    return std::nullopt;
  }
  if (placed(third.tick) != tick) return std::nullopt;
  const long long m = first.data2, l = second.data2;
  if (controller == 0) {
    if (third.status != (0xC0 | (first.status & 0x0F))) return std::nullopt;
    return joined("Voice(", third.data1 + 1, ",", m, ",", l, "); ");
  }
  if (third.status != first.status || third.data1 != 6) return std::nullopt;
  const long long d = third.data2;
  if (controller == 99) return joined("NRPN(", m, ",", l, ",", d, "); ");
  switch (m * 128 + l) {
    case 0:
      return joined("BR(", d, "); ");
    case 1:
      return joined("FineTune(", d, "); ");
    case 2:
      return joined("CoarseTune(", d, "); ");
    default:
      return joined("RPN(", m, ",", l, ",", d, "); ");
  }
}

std::string channelCommand(const SmfEvent& event) {
  switch (event.status & 0xF0) {
    case 0xA0:
      return joined("DirectSMF($A0+Channel-1,", event.data1, ",", event.data2, "); ");
    case 0xB0:
      if (const char* named = namedController(event.data1))
        return joined(named, event.data2, "); ");
      return joined("y", event.data1, ",", event.data2, "; ");
    case 0xC0:
      return joined("Voice(", event.data1 + 1, "); ");
    case 0xD0:
      return joined("DirectSMF($D0+Channel-1,", event.data1, "); ");
    default:  // 0xE0
      return joined("PitchBend(", event.data1 + 128 * event.data2 - 8192, "); ");
  }
}

// The tick where each note of `channel` in `track` ends, by the index of its
// Note On: a Note Off (or a Note On of velocity 0) ends every note of its
// key that sounds, but a key struck again while a note of it sounds, whose
// first Note Off lies at its own tick: that one ends the note before, and
// the new note sounds on to the next. A note that nothing ends lasts to the
// end of the track.
std::map<std::size_t, std::uint64_t> noteEnds(const SmfTrack& track, std::uint8_t channel) {
  struct Sounding {
    std::size_t index;
    bool struckAgain;
  };
  std::map<std::size_t, std::uint64_t> ends;
  std::vector<std::vector<Sounding>> sounding(256);
  for (std::size_t i = 0; i < track.events.size(); ++i) {
    const SmfEvent& e = track.events[i];
    if ((e.status & 0x0F) != channel || e.status >= 0xF0) continue;
    const std::uint8_t kind = e.status & 0xF0;
    std::vector<Sounding>& notes = sounding[e.data1];
    if (kind == 0x90 && e.data2 != 0) {
      notes.push_back({i, !notes.empty()});
    } else if (kind == 0x80 || kind == 0x90) {
      std::vector<Sounding> left;
      for (const Sounding& note : notes) {
        if (note.struckAgain && track.events[note.index].tick == e.tick) {
          left.push_back({note.index, false});
        } else {
          ends[note.index] = e.tick;
        }
      }
      notes = std::move(left);
    }
  }
  for (const std::vector<Sounding>& notes : sounding) {
    for (const Sounding& note : notes) ends[note.index] = track.endTick;
  }
  return ends;
}

Section systemSection(const SmfTrack& track, const Placement& placed, bool& any) {
  Section section;
  section.channel = 0;
  for (const SmfEvent& event : track.events) {
    if (event.status < 0xF0) continue;
    any = true;
    const std::uint64_t tick = placed(event.tick);
    // The end of the track is selected, but no time is written up to it.
    if (!(event.status == 0xFF && event.data1 == 0x2F)) section.endTick = tick;
    std::string text = systemCommand(event);
    if (!text.empty()) section.commands.push_back({tick, std::move(text)});
  }
  return section;
}

Section channelSection(const SmfTrack& track, int channel, bool& any) {
  Section section;
  section.channel = channel;
  std::vector<bool> consumed(track.events.size(), false);
  const std::map<std::size_t, std::uint64_t> ends = noteEnds(track, static_cast<std::uint8_t>(channel - 1));
  for (std::size_t i = 0; i < track.events.size(); ++i) {
    const SmfEvent& event = track.events[i];
    if (!isChannelMessage(event.status) || (event.status & 0x0F) + 1 != channel) continue;
    any = true;
    section.endTick = event.tick;
    if (consumed[i]) continue;
    const std::uint8_t kind = event.status & 0xF0;
    if (kind == 0x80 || (kind == 0x90 && event.data2 == 0)) continue;
    if (kind == 0x90) {
      const std::uint64_t end = ends.at(i);
      if (end > event.tick) {
        section.notes.push_back({event.tick, event.data1, event.data2, end - event.tick});
        if (end == track.endTick) section.hangingEndTick = end;
      }
      continue;
    }
    if (kind == 0xB0) {
      if (std::optional<std::string> text = idiom(track.events, i, Placement{})) {
        consumed[i + 1] = consumed[i + 2] = true;
        section.commands.push_back({event.tick, *text});
        continue;
      }
    }
    section.commands.push_back({event.tick, channelCommand(event)});
  }
  return section;
}

// The controller whose value a later one at the same grid point overrides:
// each controller number (but those of the bank-select, RPN and NRPN idioms
// and the channel mode messages), pitch bend, channel pressure and the
// pressure of each key, as a number; -1 for an event that always stays.
int valueSlot(const SmfEvent& event) {
  switch (event.status & 0xF0) {
    case 0xB0: {
      const int c = event.data1;
      if (c == 0 || c == 6 || c == 32 || c == 38 || (c >= 96 && c <= 101) || c >= 120) return -1;
      return c;
    }
    case 0xE0:
      return 128;
    case 0xD0:
      return 129;
    case 0xA0:
      return 130 + event.data1;
    default:
      return -1;
  }
}

int valueOf(const SmfEvent& event) {
  switch (event.status & 0xF0) {
    case 0xE0:
      return event.data1 + 128 * event.data2;
    case 0xD0:
      return event.data1;
    default:
      return event.data2;
  }
}

// The note starts of `channel` in `track` that its grid is chosen from,
// moved back by the track's offset.
std::vector<std::uint64_t> noteStarts(const SmfTrack& track, int channel, std::int32_t offset) {
  std::vector<std::uint64_t> starts;
  for (const SmfEvent& e : track.events) {
    if (e.status == (0x90 | (channel - 1)) && e.data2 != 0) starts.push_back(movedBack(e.tick, offset));
  }
  return starts;
}

// A channel's section on a grid. Its notes are those of the file as played
// (moved back by the track's offset): where they must stand the comparison
// works out beside the text's (see grid_notes.h). Its commands stand
// at the nearest point of the section's grid, in the file's order; of the
// values of one controller at one point only the last is written, and a
// value equal to the one in effect is not written at all.
Section gridChannelSection(const SmfTrack& track, int channel, const Placement& placed,
                           bool& any) {
  Section section;
  section.channel = channel;
  std::vector<bool> consumed(track.events.size(), false);
  const std::map<std::size_t, std::uint64_t> ends = noteEnds(track, static_cast<std::uint8_t>(channel - 1));
  struct Placed {
    std::uint64_t tick;
    std::size_t index;
    std::string text;
    int slot;
  };
  std::vector<Placed> commands;
  for (std::size_t i = 0; i < track.events.size(); ++i) {
    const SmfEvent& event = track.events[i];
    if (!isChannelMessage(event.status) || (event.status & 0x0F) + 1 != channel) continue;
    const std::uint8_t kind = event.status & 0xF0;
    if (kind == 0x80 || (kind == 0x90 && event.data2 == 0)) continue;
    any = true;
    if (consumed[i]) continue;
    if (kind == 0x90) {
      const std::uint64_t tick = movedBack(event.tick, placed.offset);
      const std::uint64_t end = movedBack(ends.at(i), placed.offset);
      section.playedNotes.push_back({tick, event.data1, event.data2, end - tick});
      continue;
    }
    const std::uint64_t tick = placed(event.tick);
    if (kind == 0xB0) {
      if (std::optional<std::string> text = idiom(track.events, i, placed)) {
        consumed[i + 1] = consumed[i + 2] = true;
        commands.push_back({tick, i, *text, -1});
        continue;
      }
    }
    commands.push_back({tick, i, channelCommand(event), valueSlot(event)});
  }
  // The points only grow in the file's order: a later value of a controller
  // at the same point is the next one of it.
  std::map<int, std::size_t> lastOfSlot;
  std::vector<bool> overridden(commands.size(), false);
  for (std::size_t c = 0; c < commands.size(); ++c) {
    if (commands[c].slot < 0) continue;
    const auto last = lastOfSlot.find(commands[c].slot);
    if (last != lastOfSlot.end() && commands[last->second].tick == commands[c].tick) {
      overridden[last->second] = true;
    }
    lastOfSlot[commands[c].slot] = c;
  }
  std::map<int, int> inEffect;
  for (std::size_t c = 0; c < commands.size(); ++c) {
    const Placed& command = commands[c];
    if (overridden[c]) continue;
    if (command.slot >= 0) {
      const int value = valueOf(track.events[command.index]);
      const auto effect = inEffect.find(command.slot);
      if (effect != inEffect.end() && effect->second == value) continue;
      inEffect[command.slot] = value;
    }
    section.endTick = std::max(section.endTick, command.tick);
    section.commands.push_back({command.tick, command.text});
  }
  return section;
}

// The bar layout: 4/4 at 0, the pickup's 4/4, then the time signatures of all
// tracks (the last one met at a tick wins). Signatures that give no usable
// bar (numerator 0, a note value past 1/128, a bar of 0 ticks) are passed over.
std::vector<RhythmChange> rhythmOf(const SmfFile& file, const ConversionOptions& options) {
  std::map<std::uint64_t, RhythmChange> changes;
  auto insert = [&](std::uint64_t tick, unsigned numerator, unsigned exponent) {
    if (numerator == 0 || exponent > 7) return;
    const unsigned denominator = 1u << exponent;
    const std::uint32_t bar =
        static_cast<std::uint32_t>(file.division) * 4 * numerator / denominator;
    if (bar == 0) return;
    changes[tick] = {tick, numerator, denominator, bar};
  };
  insert(0, 4, 2);
  if (options.pickupTicks != 0) insert(static_cast<std::uint32_t>(options.pickupTicks), 4, 2);
  for (const SmfTrack& track : file.tracks) {
    for (const SmfEvent& event : track.events) {
      if (event.status == 0xFF && event.data1 == 0x58 && event.data.size() >= 2) {
        insert(event.tick, event.data[0], event.data[1]);
      }
    }
  }
  std::vector<RhythmChange> out;
  for (const auto& [tick, change] : changes) out.push_back(change);
  return out;
}

}  // namespace

Expectation expectFromSmf(std::span<const std::uint8_t> smf, const ConversionOptions& options,
                          const GridPlan* reported) {
  Expectation expectation;
  // A grid value of no number or 0 is refused before the file is read.
  if (options.gridValueRefused) {
    expectation.refusal = SmfRefusal{faults::kBadGrid};
    return expectation;
  }
  SmfFile file;
  expectation.refusal = readSmf(smf, options.filterMask, file);
  // After the header, and before any track, a grid whose step is no whole
  // number of ticks at the file's time base.
  const bool headerRead = !expectation.refusal || expectation.refusal->track >= 0;
  if (headerRead && options.gridNote != 0 && options.gridNote != kAutoGridNote &&
      gridStepOf(options.gridNote, file.division) == 0) {
    expectation.refusal = SmfRefusal{faults::kBadGrid};
  }
  if (expectation.refusal) return expectation;

  // Tracks are written one after the other, each starting with its system
  // events: the first faulty system event stops the conversion.
  for (std::size_t t = 0; t < file.tracks.size() && !expectation.refusal; ++t) {
    for (const SmfEvent& event : file.tracks[t].events) {
      if (event.status < 0xF0) continue;
      if (std::optional<faults::Fault> fault = systemEventFault(event)) {
        expectation.refusal = SmfRefusal{*fault, static_cast<int>(t), event.tick};
        break;
      }
    }
  }

  Model& model = expectation.model;
  model.headerSize = file.headerSize;
  model.format = file.format;
  model.division = file.division;
  model.trackCount = static_cast<int>(file.tracks.size());
  expectation.rhythm = rhythmOf(file, options);
  if (options.gridNote != 0) {
    const bool pickup = options.pickupTicks > 0;
    GridPlan& plan = expectation.plan;
    plan.note = options.gridNote;
    if (options.gridNote == kAutoGridNote) {
      expectation.autoPlan = chooseAutoGrid(file, expectation.rhythm, pickup);
      // A plan whose steps are no whole ticks is not the program's: the
      // check's own places the events, and the line is reported as it differs.
      const bool usable = reported && gridStepOf(reported->note, file.division) != 0 &&
                          (reported->tripletNote == 0 ||
                           gridStepOf(reported->tripletNote, file.division) != 0);
      plan = usable ? *reported : expectation.autoPlan;
    }
    expectation.gridNote = plan.note;
    expectation.gridStep = gridStepOf(plan.note, file.division);
    expectation.tripletStep = plan.tripletNote != 0 ? gridStepOf(plan.tripletNote, file.division) : 0;
    if (expectation.gridStep != 0) {
      expectation.bars = std::make_shared<const GridPoints>(expectation.rhythm, pickup, expectation.gridStep);
    }
  }
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    const SmfTrack& smfTrack = file.tracks[t];
    Track& track = model.tracks.emplace_back();
    track.size = smfTrack.size;
    const std::int32_t offset = expectation.plan.offset(t);
    for (int pass = 0; pass <= 16; ++pass) {
      bool any = false;
      Section section;
      if (!expectation.bars) {
        section = pass == 0 ? systemSection(smfTrack, Placement{}, any) : channelSection(smfTrack, pass, any);
      } else {
        const SectionGrid grid(expectation.bars, expectation.gridStep, expectation.tripletStep,
                               static_cast<std::uint64_t>(file.division),
                               pass == 0 ? std::vector<std::uint64_t>() : noteStarts(smfTrack, pass, offset));
        const Placement placed{&grid, offset};
        section = pass == 0 ? systemSection(smfTrack, placed, any)
                            : gridChannelSection(smfTrack, pass, placed, any);
        if (any) expectation.sectionGrids.emplace(std::make_pair(static_cast<int>(t), pass), grid);
      }
      if (any) track.sections.push_back(std::move(section));
    }
  }
  return expectation;
}

}  // namespace vantrel::roundtrip
