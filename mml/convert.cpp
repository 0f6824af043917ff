#include "mml/convert.h"

#include <string>
#include <utility>

#include "grid/grid.h"
#include "grid/grid_choice.h"
#include "mml/text_writer.h"
#include "rhythm/rhythm_table.h"
#include "smf/riff.h"
#include "smf/smf_header.h"
#include "smf/walk.h"

namespace vantrel {
namespace {

void writeFileHeader(TextWriter& output, const SmfHeader& header) {
  output.write(
      "//--------------------------------------\n"
      "//\t\tVANTREL\n"
      "//--------------------------------------\n"
      "//MThd Infomation :\n"
      "//\tSize = ");
  output.writeUnsigned(header.size);
  output.write("\n//\tFormat = ");
  output.writeUnsigned(header.format);
  output.write("\n//\tTrack = ");
  output.writeUnsigned(header.trackCount);
  output.write("\n//\nSystem.ControllerShift = 0;\nSystem.TimeBase = ");
  output.writeUnsigned(header.division);
  output.write(";\n\nInclude(stdmsg.h);\n\n\n\n");
}

// Whether the grid asked for has a step of whole ticks (auto always has).
bool gridFits(const Settings& settings, const SmfHeader& header) {
  return settings.gridNote == 0 || settings.gridNote == kAutoGrid ||
         gridStep(settings.gridNote, header.division) != 0;
}

// The grid after the listing: "Grid:1/16\tStep:120".
void writeGridLine(Sink& console, std::uint32_t note, std::uint16_t division) {
  const std::string line = "Grid:1/" + std::to_string(note) +
                           "\tStep:" + std::to_string(gridStep(note, division)) + "\n";
  console.write(line.data(), line.size());
}

}  // namespace

Fault convert(std::span<const std::uint8_t> input, const Settings& settings, Sink& mml,
              Sink& console, const Schedule& schedule) {
  const std::span<const std::uint8_t> smf = unwrapRiff(input);
  SmfHeader header;
  if (const FaultKind fault = header.read(smf); fault != FaultKind::kNone) return Fault{fault};
  if (!gridFits(settings, header)) return FaultKind::kBadGrid;
  Walk walk = walkTracks(smf, header, settings.filterMask, schedule);

  TextWriter output(mml);
  writeFileHeader(output, header);
  if (!walk.chunksWhole()) {
    output.flush();
    return walk.fault;
  }
  const RhythmTable rhythm(walk.timeSignatures, std::move(walk.keySignatures), header.division,
                           settings.pickupTicks);
  rhythm.writeListing(console);
  const std::uint32_t gridNote =
      settings.gridNote == kAutoGrid
          ? chooseGridNote(smf, walk, EventFilter(settings.filterMask), rhythm,
                           settings.pickupTicks, header.division)
          : settings.gridNote;
  if (gridNote != 0) writeGridLine(console, gridNote, header.division);
  console.flush();

  const TrackPlan plan{smf,      header,      rhythm,
                       settings, gridNote,    walk.tracks,
                       walk.fault ? walk.faultTrack : kNoFault,
                       walk.faultEvent};
  writeTracks(plan, output, schedule);
  output.flush();
  return walk.fault;
}

FaultKind checkHeader(std::span<const std::uint8_t> smf, const Settings& settings) {
  SmfHeader header;
  if (const FaultKind fault = header.read(unwrapRiff(smf)); fault != FaultKind::kNone) return fault;
  return gridFits(settings, header) ? FaultKind::kNone : FaultKind::kBadGrid;
}

}  // namespace vantrel
