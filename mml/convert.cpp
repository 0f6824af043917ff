#include "mml/convert.h"

#include <string>

#include "grid/grid.h"
#include "mml/text_writer.h"

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

// The grid's line: "Grid:1/16\tStep:120"; with the triplet grid chosen beside
// it, "Grid:1/16+1/24\tStep:120+80"; and the tracks moved back by an offset,
// "\tOffset:TR(2)=7,TR(3)=-5".
std::string gridLine(const OpenedSong& song) {
  // Appended piece by piece, not "text" + a string: GCC 12 sees an overlap
  // there (-Wrestrict) in some builds.
  const GridPlan& grid = song.grid;
  std::string line = "Grid:1/";
  line.append(std::to_string(grid.note));
  if (grid.tripletNote != 0) line.append("+1/").append(std::to_string(grid.tripletNote));
  line.append("\tStep:").append(std::to_string(song.gridStep));
  if (grid.tripletNote != 0) {
    line.append("+").append(std::to_string(gridStep(grid.tripletNote, song.header.division)));
  }
  const char* between = "\tOffset:";
  for (std::size_t t = 0; t < grid.offsets.size(); ++t) {
    if (grid.offsets[t] == 0) continue;
    line.append(between).append("TR(").append(std::to_string(t)).append(")=");
    line.append(std::to_string(grid.offsets[t]));
    between = ",";
  }
  return line + "\n";
}

// The listing of the bar structure, and on a grid the grid's line after it.
// A console that refuses it does not stop the conversion: the MML is what
// was asked for first, and the console keeps its own fault for the front end
// to report.
void writeListing(const OpenedSong& song, Sink& console) {
  if (song.rhythm.writeListing(console)) return;
  if (song.gridStep != 0) {
    const std::string line = gridLine(song);
    if (console.write(line.data(), line.size())) return;
  }
  console.flush();
}

}  // namespace

Fault convert(const OpenedSong& song, Sink& mml, Sink& console, const Schedule& schedule,
              PreviewCollector* preview) {
  TextWriter output(mml);
  writeFileHeader(output, song.header);
  if (song.chunksWhole()) {
    writeListing(song, console);
    writeTracks(song, output, schedule, preview);
  }
  output.flush();
  return song.fault;
}

Fault convert(std::span<const std::uint8_t> smf, const Settings& settings, Sink& mml,
              Sink& console, const Schedule& schedule) {
  OpenedSong song;
  if (Fault fault = openSong(smf, settings, schedule, song)) return fault;
  return convert(song, mml, console, schedule);
}

}  // namespace vantrel
