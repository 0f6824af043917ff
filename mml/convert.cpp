#include "mml/convert.h"

#include <string>

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

// The listing of the bar structure, and on a grid the grid's line after it
// ("Grid:1/16\tStep:120"). A console that refuses it does not stop the
// conversion: the MML is what was asked for first, and the console keeps
// its own fault for the front end to report.
void writeListing(const OpenedSong& song, Sink& console) {
  if (song.rhythm.writeListing(console)) return;
  if (song.gridStep != 0) {
    const std::string line = "Grid:1/" + std::to_string(song.settings.gridNote) +
                             "\tStep:" + std::to_string(song.gridStep) + "\n";
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
