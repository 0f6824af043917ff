#include "mml/convert.h"

#include <string>
#include <utility>

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

}  // namespace

Fault convert(std::span<const std::uint8_t> input, const Settings& settings, Sink& mml,
              Sink& console, const Schedule& schedule) {
  const std::span<const std::uint8_t> smf = unwrapRiff(input);
  SmfHeader header;
  if (const FaultKind fault = header.read(smf); fault != FaultKind::kNone) return Fault{fault};
  Walk walk = walkTracks(smf, header, settings.filterMask);

  TextWriter output(mml);
  writeFileHeader(output, header);
  if (!walk.chunksWhole()) {
    output.flush();
    return walk.fault;
  }
  const RhythmTable rhythm(walk.timeSignatures, std::move(walk.keySignatures), header.division,
                           settings.pickupTicks);
  rhythm.writeListing(console);
  console.flush();

  const TrackPlan plan{smf,         header,  rhythm,
                       settings,    walk.tracks,
                       walk.fault ? walk.faultTrack : kNoFault,
                       walk.faultEvent};
  writeTracks(plan, output, schedule);
  output.flush();
  return walk.fault;
}

FaultKind checkHeader(std::span<const std::uint8_t> smf) {
  SmfHeader header;
  return header.read(unwrapRiff(smf));
}

}  // namespace vantrel
