#include "mml/convert.h"

#include <vector>

#include "mml/converter.h"
#include "mml/text_writer.h"
#include "rhythm/rhythm_table.h"
#include "smf/riff.h"
#include "smf/smf_header.h"
#include "smf/smf_messages.h"

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

Outcome convert(std::span<const std::uint8_t> file, const Settings& settings, Sink& mml,
                Sink& console) {
  const std::span<const std::uint8_t> smf = unwrapRiff(file);
  SmfHeader header;
  if (const char* fault = header.readHeader(smf)) return {fault, 0};

  TextWriter output(mml);
  // Everything written reaches the sink before the outcome is known. A fault
  // met after the sink failed is not what stopped the conversion.
  auto finish = [&output](const char* fault) {
    const bool failedBefore = output.failed();
    output.flush();
    return Outcome{failedBefore ? nullptr : fault, output.error()};
  };

  writeFileHeader(output, header);
  RhythmTable rhythm;
  std::vector<TrackChunk> tracks;
  if (const char* fault =
          buildRhythmTable(smf, header, settings.filterMask, settings.pickupTicks, rhythm, tracks)) {
    return finish(fault);
  }
  const std::string listing = rhythm.listing();
  console.write(listing.data(), listing.size());
  console.flush();

  Converter converter(smf, header, rhythm, settings, output);
  for (int index = 0; index < header.trackCount; ++index) {
    const char* fault = converter.convertTrack(index, tracks[index]);
    if (fault != nullptr || output.failed()) return finish(fault);
  }
  return finish(nullptr);
}

const char* checkHeader(std::span<const std::uint8_t> smf) {
  SmfHeader header;
  return header.readHeader(unwrapRiff(smf));
}

std::string dataFaultMessage(const char* fault) {
  return std::string(messages::kDataFaultPrefix) + fault;
}

}  // namespace vantrel
